#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "squeeze/distance_field.h"
#include "squeeze/problem.h"
#include "squeeze/separator.h"

// The squeeze: from a feasible layout, lower the height limit a little, repair the overlaps
// that makes, keep the layout when the exact check accepts it, and again; first in larger
// steps (exploration), at the end in ever smaller ones (compression).
namespace tessera {

struct SqueezeOptions {
  std::uint64_t seed = 1;
  int threads = 1;                     // the result is the same for every count
  int workers = 2;                     // paths searched side by side, one per thread at most
  std::uint64_t exchangeEvery = 2000;  // moves of each worker between exchanges of the best
  double timeLimit = 0.0;              // seconds of wall-clock time; 0: none
  std::uint64_t moveBudget = 0;        // moves in all; 0: none. The phases follow this budget when
                                       // it is given, the time limit otherwise; one must be given.
  double explorationShare = 0.8;       // of the budget spent exploring
  double explorationRatio = 0.005;     // the height limit falls by this share per step
  double compressionRatioHigh = 5e-4;  // compression's share falls from this
  double compressionRatioLow = 1e-5;   // to this at the end of the budget
  bool shrinkScales = true;            // a lower limit scales every part's height
  bool settle = false;                 // parts of a new best layout drop as far as they go
  SeparatorOptions separator;
  FieldOptions fields;
  const std::atomic<bool>* stop = nullptr;  // set from outside to end the search early
};

struct SqueezeProgress {
  double height = 0.0;   // of the best feasible layout
  double seconds = 0.0;  // since the search began
  std::uint64_t moves = 0;
  std::uint64_t evaluations = 0;
  std::uint64_t exactTests = 0;
  std::uint64_t repairs = 0;       // repairs started
  std::uint64_t improvements = 0;  // feasible layouts lower than the best before
};

/// Called with every new best feasible layout.
using SqueezeObserver = std::function<void(const std::vector<Pose>&, const SqueezeProgress&)>;

struct SqueezeResult {
  std::vector<Pose> poses;  // the best feasible layout; the start when none was found
  bool feasible = false;    // whether poses passed checkLayout
  SqueezeProgress progress;
};

/// Why the squeeze cannot pack the problem, empty when it can: a container that is no box
/// (containerRefusal), or a part type whose box, turned into any allowed orientation, fits no
/// box the containment test accepts (a part exactly as wide as the container along y, where
/// the wall refuses points on it, is one).
std::string squeezeRefusal(const SqueezeProblem& problem);

/// Squeezes the layout start (of every part of the problem) until the budget is spent. The
/// problem must pass squeezeRefusal. Deterministic: the same problem, start and
/// options give the same result under a move budget.
SqueezeResult squeezeLayout(const SqueezeProblem& problem, const std::vector<Pose>& start,
                            const SqueezeOptions& options, const SqueezeObserver& observer = {});

}  // namespace tessera
