#include "squeeze/squeeze.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "geometry/assert.h"
#include "squeeze/layout_check.h"
#include "squeeze/shapes.h"

namespace tessera {

namespace {

using Clock = std::chrono::steady_clock;

// The lowest top any layout can have: the tallest part in its lowest allowed orientation.
double lowestTop(const SqueezeProblem& problem, const ShapeCatalogue& shapes, double floor) {
  double tallest = 0.0;
  for (int t = 0; t < problem.typeCount(); ++t) {
    double lowest = INFINITY;
    for (int o : problem.allowedOrientations[static_cast<std::size_t>(t)])
      lowest = std::min(lowest, shapes.shape(t, o).extent.z);
    tallest = std::max(tallest, lowest);
  }
  return floor + tallest;
}

class Search {
 public:
  Search(const SqueezeProblem& problem, const SqueezeOptions& options,
         const SqueezeObserver& observer)
      : problem_(problem),
        options_(options),
        observer_(observer),
        shapes_(problem, options.fields),
        pool_(std::max(1, options.threads)),
        separator_(problem, shapes_, options.separator, pool_),
        random_(options.seed),
        started_(Clock::now()) {
    TESSERA_ASSERT(options.timeLimit > 0.0 || options.moveBudget > 0);
    strip_ = containerStrip(problem);
    lowestTop_ = lowestTop(problem, shapes_, strip_.low.z);
  }

  SqueezeResult run(const std::vector<Pose>& start) {
    SqueezeResult result;
    result.poses = start;
    const LayoutCheck check = checkLayout(problem_, start);
    result.feasible = check.feasible();
    bestHeight_ = check.height;
    Strip strip = strip_;
    strip.high.z = std::min(strip_.high.z, problem_.container.boxMin.z + check.height);
    separator_.load(start, strip);
    if (!result.feasible) {
      // Repair the start first; its height is the first limit.
      while (!stopNow()) {
        ++repairs_;
        if (separator_.separate(random_, [this] { return stopNow(); }) && accept(result, true))
          break;
      }
    }
    // Exploration stays at a limit it failed to reach, working on the least overlapping
    // layouts it kept there, disrupted; compression goes back to the best layout each time.
    bool atLimit = false;
    bool explored = true;
    std::vector<std::pair<double, std::vector<Pose>>> kept;
    while (result.feasible && !stopNow()) {
      const bool exploring = progress() < options_.explorationShare;
      if (explored && !exploring) {
        strip.high.z = problem_.container.boxMin.z + bestHeight_;
        separator_.load(result.poses, strip);
        atLimit = false;
        kept.clear();
      }
      explored = exploring;
      if (!atLimit) {
        const double current = problem_.container.boxMin.z + bestHeight_;
        // No layout is lower than its tallest part: the limit stops just above that.
        const double floor = lowestTop_ + 1e-9 * bestHeight_;
        if (!(current > floor)) break;
        const double top = std::max(floor, current - bestHeight_ * ratio(exploring));
        separator_.shrink(top, options_.shrinkScales);
        atLimit = true;
      }
      if (repair() && accept(result, false)) {
        atLimit = false;
        kept.clear();
        continue;
      }
      if (exploring) {
        keep(kept, separator_.totalOverlap(), separator_.poses());
        // Rank-biased: the least overlapping layouts are taken up most often.
        const double u = random_.unit();
        const auto& from = kept[static_cast<std::size_t>(u * u * static_cast<double>(kept.size()))];
        Strip limit = strip_;
        limit.high.z = separator_.strip().high.z;
        separator_.load(from.second, limit);
        disrupt();
      } else {
        strip.high.z = problem_.container.boxMin.z + bestHeight_;
        separator_.load(result.poses, strip);
        atLimit = false;
      }
    }
    result.progress = progressRecord();
    return result;
  }

 private:
  bool repair() {
    ++repairs_;
    return separator_.separate(random_, [this] { return stopNow(); });
  }

  // The separator's layout, when the exact check accepts it and it is lower than the best.
  bool accept(SqueezeResult& result, bool first) {
    if (options_.settle) separator_.settle();
    const std::vector<Pose>& poses = separator_.poses();
    const LayoutCheck check = checkLayout(problem_, poses);
    if (!check.feasible()) return false;
    if (!first && !(check.height < bestHeight_)) return false;
    result.poses = poses;
    result.feasible = true;
    bestHeight_ = check.height;
    ++improvements_;
    if (observer_) observer_(result.poses, progressRecord());
    return true;
  }

  static void keep(std::vector<std::pair<double, std::vector<Pose>>>& kept, double overlap,
                   const std::vector<Pose>& poses) {
    constexpr std::size_t kKept = 8;
    auto at = std::upper_bound(kept.begin(), kept.end(), overlap,
                               [](double o, const auto& entry) { return o < entry.first; });
    kept.insert(at, {overlap, poses});
    if (kept.size() > kKept) kept.pop_back();
  }

  // Two parts of different types exchange places.
  void disrupt() {
    const int n = problem_.partCount();
    for (int attempt = 0; attempt < 16; ++attempt) {
      const int a = random_.below(n);
      const int b = random_.below(n);
      if (problem_.partType[static_cast<std::size_t>(a)] ==
          problem_.partType[static_cast<std::size_t>(b)])
        continue;
      separator_.swap(a, b);
      return;
    }
  }

  double ratio(bool exploring) const {
    if (exploring) return options_.explorationRatio;
    const double share = options_.explorationShare;
    const double f = std::clamp((progress() - share) / (1.0 - share), 0.0, 1.0);
    return options_.compressionRatioHigh *
           std::pow(options_.compressionRatioLow / options_.compressionRatioHigh, f);
  }

  double seconds() const {
    return std::chrono::duration<double>(Clock::now() - started_).count();
  }

  double progress() const {
    if (options_.moveBudget > 0)
      return static_cast<double>(separator_.counters().moves) /
             static_cast<double>(options_.moveBudget);
    return seconds() / options_.timeLimit;
  }

  bool stopNow() const {
    if (options_.stop != nullptr && options_.stop->load()) return true;
    if (options_.moveBudget > 0 && separator_.counters().moves >= options_.moveBudget) return true;
    return options_.timeLimit > 0.0 && seconds() >= options_.timeLimit;
  }

  SqueezeProgress progressRecord() const {
    const SeparatorCounters& c = separator_.counters();
    return {bestHeight_, seconds(), c.moves, c.evaluations, c.exactTests, repairs_,
            improvements_};
  }

  const SqueezeProblem& problem_;
  const SqueezeOptions& options_;
  const SqueezeObserver& observer_;
  ShapeCatalogue shapes_;
  WorkerPool pool_;
  Separator separator_;
  SqueezeRandom random_;
  Clock::time_point started_;
  Strip strip_;
  double lowestTop_ = 0.0;
  double bestHeight_ = 0.0;
  std::uint64_t repairs_ = 0;
  std::uint64_t improvements_ = 0;
};

}  // namespace

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
    if (lows[a] != boxLows[a]) refusing += std::string(refusing.empty() ? "" : ", ") + "least " + names[a];
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

SqueezeResult squeezeLayout(const SqueezeProblem& problem, const std::vector<Pose>& start,
                            const SqueezeOptions& options, const SqueezeObserver& observer) {
  TESSERA_ASSERT(squeezeRefusal(problem).empty());
  Search search(problem, options, observer);
  return search.run(start);
}

}  // namespace tessera
