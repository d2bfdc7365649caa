#include "squeeze/squeeze.h"

#include <algorithm>
#include <memory>

#include "geometry/assert.h"
#include "squeeze/layout_check.h"
#include "squeeze/shapes.h"
#include "squeeze/worker.h"

namespace tessera {

std::string squeezeRefusal(const SqueezeProblem& problem) {
  if (std::string refusal = containerRefusal(problem); !refusal.empty()) return refusal;
  const Strip strip = containerStrip(problem);
  const Point room = minus(strip.high, strip.low);
  std::string refusing;
  const char* names[3] = {"x", "y", "z"};
  const Polyhedron& c = problem.container;
  for (int a = 0; a < 3; ++a) {
    const double lows[3] = {strip.low.x, strip.low.y, strip.low.z};
    const double highs[3] = {strip.high.x, strip.high.y, strip.high.z};
    const double boxLows[3] = {c.boxMin.x, c.boxMin.y, c.boxMin.z};
    const double boxHighs[3] = {c.boxMax.x, c.boxMax.y, c.boxMax.z};
    if (lows[a] != boxLows[a])
      refusing += std::string(refusing.empty() ? "" : ", ") + "least " + names[a];
    if (highs[a] != boxHighs[a])
      refusing += std::string(refusing.empty() ? "" : ", ") + "largest " + names[a];
  }
  for (int t = 0; t < problem.typeCount(); ++t) {
    bool fits = false;
    for (int o : problem.allowedOrientations[static_cast<std::size_t>(t)]) {
      Polyhedron turned = problem.types[static_cast<std::size_t>(t)];
      turned.transform(problem.orientations[static_cast<std::size_t>(o)]);
      const Point e = minus(turned.boxMax, turned.boxMin);
      fits = fits || (e.x <= room.x && e.y <= room.y && e.z <= room.z);
    }
    if (!fits)
      return "part type \"" + problem.types[static_cast<std::size_t>(t)].name +
             "\" fits in no orientation into a box the containment test accepts (it refuses "
             "points on the container's walls at its " +
             refusing + ")";
  }
  return {};
}

namespace {

SqueezeProgress recordOf(const std::vector<std::unique_ptr<SqueezeWorker>>& workers, double height,
                         double seconds) {
  SqueezeProgress p;
  p.height = height;
  p.seconds = seconds;
  for (const auto& w : workers) {
    p.moves += w->counters().moves;
    p.evaluations += w->counters().evaluations;
    p.exactTests += w->counters().exactTests;
    p.repairs += w->repairs();
    p.improvements += w->improvements();
  }
  return p;
}

}  // namespace

SqueezeResult squeezeLayout(const SqueezeProblem& problem, const std::vector<Pose>& start,
                            const SqueezeOptions& options, const SqueezeObserver& observer) {
  TESSERA_ASSERT(squeezeRefusal(problem).empty());
  TESSERA_ASSERT(options.timeLimit > 0.0 || options.moveBudget > 0);
  TESSERA_ASSERT(options.workers >= 1);
  SqueezeBudget budget;
  budget.started = std::chrono::steady_clock::now();
  budget.timeLimit = options.timeLimit;
  budget.movesPerWorker =
      options.moveBudget == 0
          ? 0
          : (options.moveBudget + static_cast<std::uint64_t>(options.workers) - 1) /
                static_cast<std::uint64_t>(options.workers);
  budget.stop = options.stop;

  const ShapeCatalogue shapes(problem, options.fields);
  // Each worker runs on a thread of the pool; threads beyond one per worker score the sampled
  // poses of a worker together with it.
  const int threads = std::max(1, options.threads);
  WorkerPool pool(std::min(threads, options.workers));
  std::vector<std::unique_ptr<WorkerPool>> scorers;
  std::vector<std::unique_ptr<SqueezeWorker>> workers;
  for (int w = 0; w < options.workers; ++w) {
    scorers.push_back(std::make_unique<WorkerPool>(std::max(1, threads / options.workers)));
    workers.push_back(std::make_unique<SqueezeWorker>(
        problem, shapes, options, budget, *scorers.back(),
        w == 0 ? options.seed : SqueezeRandom::mix(options.seed, static_cast<std::uint64_t>(w))));
  }

  const LayoutCheck check = checkLayout(problem, start);
  for (auto& w : workers) w->start(start, check.feasible(), check.height);
  SqueezeResult result;
  result.poses = start;
  result.feasible = check.feasible();
  double height = check.height;

  // The best of all workers, the first of equal ones: reported, and taken over by the others.
  auto gather = [&]() {
    const SqueezeWorker* best = nullptr;
    for (const auto& w : workers)
      if (w->feasible() && (best == nullptr || w->bestHeight() < best->bestHeight()))
        best = w.get();
    if (best == nullptr) return;
    const bool better = !result.feasible || best->bestHeight() < height;
    if (better) {
      result.poses = best->best();
      result.feasible = true;
      height = best->bestHeight();
      if (observer) observer(result.poses, recordOf(workers, height, budget.seconds()));
    }
  };
  if (workers.size() == 1) {
    workers[0]->work(UINT64_MAX, gather);
  } else {
    const auto stride = static_cast<std::size_t>(pool.size());
    for (std::uint64_t round = 1;; ++round) {
      const std::uint64_t limit = round * options.exchangeEvery;
      pool.runOnAll([&](int thread) {
        for (std::size_t w = static_cast<std::size_t>(thread); w < workers.size(); w += stride)
          workers[w]->work(limit, [] {});
      });
      gather();
      bool all = true;
      for (auto& w : workers) {
        all = all && w->finished();
        if (result.feasible && (!w->feasible() || w->bestHeight() > height))
          w->adopt(result.poses, height);
      }
      if (all) break;
    }
  }
  result.progress = recordOf(workers, height, budget.seconds());
  return result;
}

}  // namespace tessera
