#pragma once

#include <cstdint>
#include <memory>

#include "model/packing_sequence.h"
#include "model/packing_system.h"
#include "placement/worker_pool.h"

namespace tessera {

/// evaluate with the same layout, grid and efficiency, bit for bit, in far less time. Turned
/// and voxelised parts are kept from one call to the next (per distinct parked geometry and
/// orientation), the grid is searched a word of cells at a time, an orientation stops
/// searching once it can no longer win, its next scan in the same evaluation resumes where
/// this one stopped, only placed parts near a candidate are tested, and orientations are
/// searched on several threads.
/// One evaluator serves one system at a time; a change of container, PBSL, grid or
/// orientation table drops what it kept.
class FastEvaluator {
 public:
  explicit FastEvaluator(int threads = defaultThreadCount());
  ~FastEvaluator();
  FastEvaluator(const FastEvaluator&) = delete;
  FastEvaluator& operator=(const FastEvaluator&) = delete;

  /// The contract of evaluate (placement/evaluation.h).
  double evaluate(PackingSystem& system, const PackingSequence& idSequence);

  int threads() const;

  /// Exact predicate calls (point in solid, solids disjoint) of the last evaluation's
  /// placements: a measure of its work that does not depend on the machine's load.
  std::uint64_t exactTests() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tessera
