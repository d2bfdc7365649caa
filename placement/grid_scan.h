#pragma once

#include <mutex>
#include <vector>

#include "geometry/point.h"
#include "placement/bit_grid.h"
#include "placement/bit_rows.h"
#include "placement/exact_fit.h"
#include "placement/placement_rule.h"
#include "placement/scan_cursors.h"
#include "placement/shape_cache.h"

// One orientation's search of the grid in the fast path: the reference's findPosition, a word
// of cells at a time, with the same first cell.
//
// The score of an orientation (by either placement rule) never decreases from one layer to the
// next, and the winner is the least (score, orientation index) among fitting orientations
// scoring below the start value. An orientation stops once its layer's pair cannot be less than
// the least pair already found; that found pair is real, so the winner is never cut short.
// A scan may resume where the orientation's last scan of the evaluation stopped
// (scan_cursors.h); the cells it skips are cells the reference scan would refuse, and it scans
// in the same order, so it finds the same first cell.
namespace tessera {

/// The least (score, orientation, cell) found so far by the scans of one placement; shared by
/// the scanning threads.
struct Best {
  std::mutex mutex;
  double score = 0.0;
  int orientation = -1;
  int x = 0, y = 0, z = 0;

  // (score, k) is less than the least pair found so far.
  bool beatable(double s, int k) {
    std::lock_guard<std::mutex> lock(mutex);
    return s < score || (s == score && k < orientation);
  }
  void offer(double s, int k, int cx, int cy, int cz) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!(s < score || (s == score && k < orientation))) return;
    score = s;
    orientation = k;
    x = cx;
    y = cy;
    z = cz;
  }
};

/// What the scans of one placement read.
struct ScanContext {
  const GridFrame* frame = nullptr;
  const BitGrid* bits = nullptr;
  const PlacedSolids* placed = nullptr;
  const std::vector<int>* inReach = nullptr;  // positions of the parts in reach, in filing order
  PlacementRule rule = PlacementRule::lowestPoint;
  bool resumable = false;  // cursors of this evaluation may be read

  /// The corner of cell (x, y, z): container.boxMin + PBSL * (x, y, z), as cellCorner.
  Point corner(int x, int y, int z) const {
    const Point& o = frame->containerMin;
    return {o.x + frame->pbsl * x, o.y + frame->pbsl * y, o.z + frame->pbsl * z};
  }
};

/// One scanning thread's scratch.
struct ScanScratch {
  FitScratch fit;
  RowBuffers rows;
};

/// The first layer the orientation's next scan looks at.
int firstLayer(const ScanContext& context, const FittedShape& fitted, const ScanCursor& cursor);

/// Scans orientation k's candidate cells, z outermost then x then y, and offers the first that
/// passes the exact fit to best, unless best can no longer be beaten; records in cursor where
/// it stopped.
void scanOrientation(const ScanContext& context, const FittedShape& fitted, ScanCursor& cursor,
                     int k, Best& best, ScanScratch& scratch);

}  // namespace tessera
