#include "squeeze/worker.h"

#include <algorithm>
#include <cmath>

#include "squeeze/layout_check.h"

namespace tessera {

namespace {

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

}  // namespace

double SqueezeBudget::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

SqueezeWorker::SqueezeWorker(const SqueezeProblem& problem, const ShapeCatalogue& shapes,
                             const SqueezeOptions& options, const SqueezeBudget& budget,
                             WorkerPool& pool, std::uint64_t seed)
    : problem_(problem),
      options_(options),
      budget_(budget),
      separator_(problem, shapes, options.separator, pool),
      random_(seed),
      strip_(containerStrip(problem)),
      lowestTop_(lowestTop(problem, shapes, strip_.low.z)) {}

bool SqueezeWorker::finished() const {
  if (done_) return true;
  if (budget_.stop != nullptr && budget_.stop->load()) return true;
  if (budget_.movesPerWorker > 0 && moves() >= budget_.movesPerWorker) return true;
  return budget_.timeLimit > 0.0 && budget_.seconds() >= budget_.timeLimit;
}

double SqueezeWorker::progress() const {
  if (budget_.movesPerWorker > 0)
    return static_cast<double>(moves()) / static_cast<double>(budget_.movesPerWorker);
  return budget_.seconds() / budget_.timeLimit;
}

void SqueezeWorker::start(const std::vector<Pose>& poses, bool feasible, double height) {
  best_ = poses;
  feasible_ = feasible;
  bestHeight_ = height;
  Strip strip = strip_;
  strip.high.z = std::min(strip_.high.z, problem_.container.boxMin.z + height);
  separator_.load(poses, strip);
  if (!feasible) separator_.nudge();
}

void SqueezeWorker::adopt(const std::vector<Pose>& poses, double height) {
  best_ = poses;
  feasible_ = true;
  bestHeight_ = height;
  backToBest();
}

void SqueezeWorker::backToBest() {
  Strip strip = strip_;
  strip.high.z = problem_.container.boxMin.z + bestHeight_;
  separator_.load(best_, strip);
  atLimit_ = false;
  kept_.clear();
}

bool SqueezeWorker::repair() {
  ++repairs_;
  return separator_.separate(random_, [this] { return finished(); });
}

bool SqueezeWorker::accept(bool first) {
  if (options_.settle) separator_.settle();
  const std::vector<Pose>& poses = separator_.poses();
  const LayoutCheck check = checkLayout(problem_, poses);
  if (!check.feasible()) return false;
  if (!first && !(check.height < bestHeight_)) return false;
  best_ = poses;
  feasible_ = true;
  bestHeight_ = check.height;
  ++improvements_;
  return true;
}

bool SqueezeWorker::step() {
  // Steps that neither move a part nor find a layout would repeat for ever.
  const std::uint64_t movesBefore = moves();
  const bool found = stepOnce();
  stalled_ = found || moves() != movesBefore ? 0 : stalled_ + 1;
  if (stalled_ >= 1000) done_ = true;
  return found;
}

bool SqueezeWorker::stepOnce() {
  if (!feasible_) {
    // Repair the start first; its height is the first limit.
    return repair() && accept(true);
  }
  // Exploration stays at a limit it failed to reach, working on the least overlapping layouts
  // it kept there, disrupted; compression goes back to the best layout each time.
  const bool exploring = progress() < options_.explorationShare;
  if (explored_ && !exploring) backToBest();
  explored_ = exploring;
  if (!atLimit_) {
    const double current = problem_.container.boxMin.z + bestHeight_;
    // No layout is lower than its tallest part: the limit stops just above that.
    const double floor = lowestTop_ + 1e-9 * bestHeight_;
    if (!(current > floor)) {
      done_ = true;
      return false;
    }
    const double top = std::max(floor, current - bestHeight_ * ratio(exploring));
    separator_.shrink(top, options_.shrinkScales);
    atLimit_ = true;
  }
  if (repair() && accept(false)) {
    atLimit_ = false;
    kept_.clear();
    return true;
  }
  if (!exploring) {
    backToBest();
    return false;
  }
  keep(separator_.totalOverlap(), separator_.poses());
  // Rank-biased: the least overlapping layouts are taken up most often.
  const double u = random_.unit();
  const auto& from = kept_[static_cast<std::size_t>(u * u * static_cast<double>(kept_.size()))];
  Strip limit = strip_;
  limit.high.z = separator_.strip().high.z;
  separator_.load(from.second, limit);
  disrupt();
  return false;
}

void SqueezeWorker::keep(double overlap, const std::vector<Pose>& poses) {
  constexpr std::size_t kKept = 8;
  auto at = std::upper_bound(kept_.begin(), kept_.end(), overlap,
                             [](double o, const auto& entry) { return o < entry.first; });
  kept_.insert(at, {overlap, poses});
  if (kept_.size() > kKept) kept_.pop_back();
}

// Two parts of different types exchange places.
void SqueezeWorker::disrupt() {
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

double SqueezeWorker::ratio(bool exploring) const {
  if (exploring) return options_.explorationRatio;
  const double share = options_.explorationShare;
  const double f = std::clamp((progress() - share) / (1.0 - share), 0.0, 1.0);
  return options_.compressionRatioHigh *
         std::pow(options_.compressionRatioLow / options_.compressionRatioHigh, f);
}

}  // namespace tessera
