#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Where each orientation's next scan starts, within one evaluation.
//
// Within one evaluation a cell that an orientation's scan refused stays refused: grid cells are
// only ever taken, never freed; a placed part never moves again; the container does not change;
// and a part that has not been placed yet is parked out of reach of every contained candidate.
// So an orientation's next scan may resume where its last one stopped: at the cell it found
// (which may have been taken since, so it is tested again), or at the first cell of the layer
// where it gave up. This holds only when every part is parked on entry and no part is placed
// twice; the evaluator decides that and otherwise never reads a cursor.
// The cursors belong to one evaluation, apart from the fitted shapes (shape_cache.h), which
// outlive it.
namespace tessera {

struct ScanCursor {
  bool set = false;         // a scan of this evaluation stopped; the fields below only then
  int z = 0;                // the layer
  int x = -1;               // the row (-1: the layer's first)
  int y = 0;                // the cell
  int confirmedReach = -1;  // when cell (x, y, z) passed the exact fit: parts in reach then
};

class ScanCursors {
 public:
  /// Forgets every cursor: a new evaluation starts.
  void clear() { bySerial_.clear(); }

  /// The cursors of one shape cache entry (by its serial), one per orientation. The reference
  /// stays valid until clear, so that threads may each write their own orientation's cursor.
  std::vector<ScanCursor>& of(std::uint64_t serial, std::size_t orientations) {
    std::vector<ScanCursor>& cursors = bySerial_[serial];
    if (cursors.size() < orientations) cursors.resize(orientations);
    return cursors;
  }

 private:
  std::unordered_map<std::uint64_t, std::vector<ScanCursor>> bySerial_;
};

}  // namespace tessera
