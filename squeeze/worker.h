#pragma once

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "placement/worker_pool.h"
#include "squeeze/separator.h"
#include "squeeze/squeeze.h"

// One path of the squeeze: a separator, its own random stream and its own best layout. The
// search runs one or several of them and lets them exchange their best layouts.
namespace tessera {

/// When a squeeze ends: its start, its limits and the flag from outside.
struct SqueezeBudget {
  std::chrono::steady_clock::time_point started;
  double timeLimit = 0.0;            // seconds; 0: none
  std::uint64_t movesPerWorker = 0;  // 0: none
  const std::atomic<bool>* stop = nullptr;

  double seconds() const;
};

class SqueezeWorker {
 public:
  SqueezeWorker(const SqueezeProblem& problem, const ShapeCatalogue& shapes,
                const SqueezeOptions& options, const SqueezeBudget& budget, WorkerPool& pool,
                std::uint64_t seed);

  /// Starts from a layout whose exact check gave feasible and height.
  void start(const std::vector<Pose>& poses, bool feasible, double height);
  /// Takes over another worker's best layout as its own.
  void adopt(const std::vector<Pose>& poses, double height);
  /// Works until its moves reach moveLimit (looked at between repairs) or the budget ends.
  /// onBest is called with each new best layout.
  template <typename OnBest>
  void work(std::uint64_t moveLimit, OnBest&& onBest) {
    while (!finished() && moves() < moveLimit)
      if (step()) onBest();
  }

  bool finished() const;
  bool feasible() const { return feasible_; }
  double bestHeight() const { return bestHeight_; }
  const std::vector<Pose>& best() const { return best_; }
  std::uint64_t moves() const { return separator_.counters().moves; }
  const SeparatorCounters& counters() const { return separator_.counters(); }
  std::uint64_t repairs() const { return repairs_; }
  std::uint64_t improvements() const { return improvements_; }

 private:
  bool step();  // one repair; true when it gave a new best layout
  bool stepOnce();
  bool repair();
  bool accept(bool first);
  void disrupt();
  void keep(double overlap, const std::vector<Pose>& poses);
  void backToBest();
  double ratio(bool exploring) const;
  double progress() const;

  const SqueezeProblem& problem_;
  const SqueezeOptions& options_;
  const SqueezeBudget& budget_;
  Separator separator_;
  SqueezeRandom random_;
  Strip strip_;  // the container's strip, its top at the container's
  double lowestTop_ = 0.0;
  std::vector<Pose> best_;
  bool feasible_ = false;
  double bestHeight_ = 0.0;
  bool atLimit_ = false;  // the separator works at a limit below the best height
  bool explored_ = true;  // the last step explored
  bool done_ = false;     // nothing lower is possible
  std::vector<std::pair<double, std::vector<Pose>>> kept_;  // exploration's least overlapping
  int stalled_ = 0;                                         // steps in a row that moved nothing
  std::uint64_t repairs_ = 0;
  std::uint64_t improvements_ = 0;
};

}  // namespace tessera
