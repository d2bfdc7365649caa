#pragma once

#include <memory>

#include "model/packing_sequence.h"
#include "model/project.h"
#include "placement/worker_pool.h"

namespace tessera {

/// The fast path as it was before the shortcuts that span placements (resumed scans, the
/// column index): kept in the benchmark as a second reference, so that layouts too large for
/// the reference path are still checked bit for bit.
///
/// evaluate with the same layout, grid and efficiency, bit for bit, in far less time. Turned
/// and voxelised parts are kept from one call to the next (per distinct parked geometry and
/// orientation), the grid is searched a word of cells at a time, an orientation stops
/// searching once it can no longer win, and orientations are searched on several threads.
/// One evaluator serves one project at a time; a change of container, PBSL or
/// orientation table drops what it kept.
class PreviousFastEvaluator {
 public:
  explicit PreviousFastEvaluator(int threads = defaultThreadCount());
  ~PreviousFastEvaluator();
  PreviousFastEvaluator(const PreviousFastEvaluator&) = delete;
  PreviousFastEvaluator& operator=(const PreviousFastEvaluator&) = delete;

  /// The contract of evaluate (placement/evaluation.h).
  /// evaluate's efficiency; the placed solids by id until the next call.
  double evaluate(const Project& project, const PackingSequence& idSequence);
  const std::vector<Polyhedron>& solids() const;

  int threads() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::vector<Polyhedron> solids_;
};

}  // namespace tessera
