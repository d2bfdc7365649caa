#pragma once

#include <cstdint>
#include <memory>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "placement/occupancy_grid.h"
#include "placement/placement_rule.h"
#include "placement/worker_pool.h"

namespace tessera {

/// The fast path's shortcuts that carry what one placement learnt into the next ones. Each
/// changes how much is searched, never a layout; turned off, the bench and the tests compare
/// the same code with and without them.
struct CrossPlacementShortcuts {
  /// An orientation's next scan in the same evaluation resumes where its last one stopped;
  /// off, every scan starts at the bottom.
  bool resumedScans = true;
  /// A candidate is tested only against the placed parts filed under the floor columns its box
  /// covers; off, against every placed part in reach.
  bool columnIndex = true;
  /// Each thread's exact fit begins with the part that refused its last candidate, also when
  /// that was in an earlier placement; off, only within one placement.
  bool witness = true;

  static CrossPlacementShortcuts none() { return {false, false, false}; }
};

/// Does evaluate's work with the same layout and grid, bit for bit, in far less time. Turned
/// and voxelised parts are kept from one call to the next (per distinct parked geometry and
/// orientation), the grid is searched a word of cells at a time, an orientation stops
/// searching once it can no longer win, its next scan in the same evaluation resumes where
/// this one stopped, only placed parts near a candidate are tested, and orientations are
/// searched on several threads.
/// One evaluator serves one project at a time; a change of container, PBSL or orientation
/// table drops what it kept.
class FastEvaluator {
 public:
  explicit FastEvaluator(int threads = defaultThreadCount(),
                         PlacementRule rule = PlacementRule::lowestPoint,
                         CrossPlacementShortcuts shortcuts = {});
  ~FastEvaluator();
  FastEvaluator(const FastEvaluator&) = delete;
  FastEvaluator& operator=(const FastEvaluator&) = delete;

  /// The contract of evaluate (placement/evaluation.h).
  Layout evaluate(const Project& project, const PackingSequence& idSequence);

  int threads() const;

  /// The grid as the last evaluation left it.
  const OccupancyGrid& grid() const;

  /// Exact predicate calls (point in solid, solids disjoint) of the last evaluation's
  /// placements: a measure of its work that does not depend on the machine's load.
  std::uint64_t exactTests() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tessera
