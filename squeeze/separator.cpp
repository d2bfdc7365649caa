#include "squeeze/separator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "geometry/assert.h"
#include "squeeze/gjk.h"

namespace tessera {

namespace {

double largest(const Point& p) { return std::max({p.x, p.y, p.z}); }

}  // namespace

Separator::Separator(const SqueezeProblem& problem, const ShapeCatalogue& shapes,
                     const SeparatorOptions& options, WorkerPool& pool)
    : problem_(problem),
      shapes_(shapes),
      options_(options),
      n_(problem.partCount()),
      pool_(pool),
      scratch_(static_cast<std::size_t>(pool.size())) {
  const auto cells = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
  overlap_.assign(cells, 0.0);
  weight_.assign(cells, 1.0);
  collisions_.assign(static_cast<std::size_t>(n_), 0);
  boxMin_.resize(static_cast<std::size_t>(n_));
  boxMax_.resize(static_cast<std::size_t>(n_));
  solids_.resize(static_cast<std::size_t>(n_));
  outside_.assign(static_cast<std::size_t>(n_), 0);
  prepareSolid(problem.container, container_);
  const Point e = minus(problem.container.boxMax, problem.container.boxMin);
  separationMargin_ = 1e-9 * largest(e);
}

void Separator::realise(int i, const Pose& pose, PreparedSolid& out) const {
  const int type = problem_.partType[static_cast<std::size_t>(i)];
  realiseShape(shapes_.shape(type, pose.orientation), pose.translation, out);
}

namespace {

// How deep the points of shape a (moved by ta) lie in shape b (moved by tb), read from b's field:
// each point within reach of b adds its weight times a smooth penetration, equal to the depth
// beyond one decay length and falling to 0 a decay length outside b. certain is set when a point
// inside a lies surely inside b.
void addDepths(const TurnedShape& a, const Point& ta, const TurnedShape& b, const Point& tb,
               const DistanceField& field, double decay, double& value, bool& certain) {
  const Point lo = plus(b.solid.boxMin, tb);
  const Point hi = plus(b.solid.boxMax, tb);
  // Interpolation is off by at most spacing * sqrt(3): deeper than that, a point is inside.
  const double sure = field.spacing * 1.7320508075688772;
  for (const InsidePoint& p : a.points) {
    const Point w = plus(p.at, ta);
    if (w.x < lo.x - decay || w.x > hi.x + decay || w.y < lo.y - decay || w.y > hi.y + decay ||
        w.z < lo.z - decay || w.z > hi.z + decay)
      continue;
    const Point d = minus(w, tb);
    const Point local{b.back[0][0] * d.x + b.back[0][1] * d.y + b.back[0][2] * d.z,
                      b.back[1][0] * d.x + b.back[1][1] * d.y + b.back[1][2] * d.z,
                      b.back[2][0] * d.x + b.back[2][1] * d.y + b.back[2][2] * d.z};
    const double s = field.at(local);
    if (s <= -decay) continue;
    value += p.weight * (s >= decay ? s : (s + decay) * (s + decay) / (4.0 * decay));
    if (s > sure) certain = true;
  }
}

}  // namespace

Separator::Proxy Separator::proxyOf(int i, const Pose& pose, const TurnedShape& shape,
                                    int j) const {
  const auto uj = static_cast<std::size_t>(j);
  const int typeI = problem_.partType[static_cast<std::size_t>(i)];
  const int typeJ = problem_.partType[uj];
  const TurnedShape& other = shapes_.shape(typeJ, poses_[uj].orientation);
  const Point& tj = poses_[uj].translation;
  const DistanceField& fieldI = shapes_.field(typeI);
  const DistanceField& fieldJ = shapes_.field(typeJ);
  Proxy proxy;
  addDepths(shape, pose.translation, other, tj, fieldJ, options_.decayShare * fieldJ.spacing,
            proxy.value, proxy.certain);
  addDepths(other, tj, shape, pose.translation, fieldI, options_.decayShare * fieldI.spacing,
            proxy.value, proxy.certain);
  // A collision that no point sees still costs something.
  const double floor =
      0.05 * std::min(shape.points.empty() ? 0.0 : shape.points[0].weight * fieldJ.spacing,
                      other.points.empty() ? 0.0 : other.points[0].weight * fieldI.spacing);
  proxy.value = std::max(proxy.value, floor);
  return proxy;
}

bool Separator::collides(int i, const Pose& pose, const TurnedShape& shape, int j,
                         Scratch& scratch) const {
  const auto uj = static_cast<std::size_t>(j);
  const TurnedShape& other = shapes_.shape(problem_.partType[uj], poses_[uj].orientation);
  const Hulls hulls =
      compareHulls(shape.solid.vertices, minus(pose.translation, poses_[uj].translation),
                   other.solid.vertices, separationMargin_);
  if (hulls == Hulls::apart) return false;
  if (hulls == Hulls::overlap && shape.convex && other.convex) return true;
  if (scratch.realised == nullptr) {
    realise(i, pose, scratch.solid);
    scratch.realised = &scratch.solid;
  }
  ++scratch.exactTests;
  return !solidsDisjoint(*scratch.realised, solids_[uj]);
}

double Separator::pairOverlap(int i, const Pose& pose, const TurnedShape& shape, int j,
                              Scratch& scratch) const {
  // The layout's own collisions are the exact test's alone, so that a layout without them is
  // one the check accepts.
  ++scratch.exactTests;
  if (solidsDisjoint(*scratch.realised, solids_[static_cast<std::size_t>(j)])) return 0.0;
  return proxyOf(i, pose, shape, j).value;
}

bool Separator::outsideContainer(int i) const {
  for (const Point& v : solids_[static_cast<std::size_t>(i)].vertices)
    if (!insideSolid(v, container_)) return true;
  return false;
}

double Separator::cost(int i, const Pose& pose, double cutoff, Scratch& scratch) const {
  ++scratch.evaluations;
  scratch.realised = nullptr;
  scratch.pending.clear();
  const int type = problem_.partType[static_cast<std::size_t>(i)];
  const TurnedShape& shape = shapes_.shape(type, pose.orientation);
  const Point lo = plus(shape.solid.boxMin, pose.translation);
  const Point hi = plus(shape.solid.boxMax, pose.translation);
  const double* weights =
      weight_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n_);
  // Collisions the proxy is sure of first: a pose they already rule out needs no exact test.
  double total = 0.0;
  for (int j = 0; j < n_; ++j) {
    if (j == i) continue;
    const auto uj = static_cast<std::size_t>(j);
    if (!boxesOverlap(lo, hi, boxMin_[uj], boxMax_[uj])) continue;
    const Proxy proxy = proxyOf(i, pose, shape, j);
    if (!proxy.certain) {
      scratch.pending.push_back({j, proxy.value});
      continue;
    }
    total += weights[uj] * proxy.value;
    if (total > cutoff) return total;
  }
  for (const auto& [j, value] : scratch.pending) {
    if (!collides(i, pose, shape, j, scratch)) continue;
    total += weights[static_cast<std::size_t>(j)] * value;
    if (total > cutoff) return total;
  }
  return total;
}

void Separator::place(int i, const Pose& pose) {
  const auto ui = static_cast<std::size_t>(i);
  const int type = problem_.partType[ui];
  const TurnedShape& shape = shapes_.shape(type, pose.orientation);
  poses_[ui] = pose;
  boxMin_[ui] = plus(shape.solid.boxMin, pose.translation);
  boxMax_[ui] = plus(shape.solid.boxMax, pose.translation);
  realise(i, pose, solids_[ui]);
  outside_[ui] = outsideContainer(i);
  Scratch scratch;
  scratch.realised = &solids_[ui];
  for (int j = 0; j < n_; ++j) {
    if (j == i) continue;
    const auto uj = static_cast<std::size_t>(j);
    double ov = 0.0;
    if (boxesOverlap(boxMin_[ui], boxMax_[ui], boxMin_[uj], boxMax_[uj]))
      ov = pairOverlap(i, pose, shape, j, scratch);
    double& mine = overlap_[ui * static_cast<std::size_t>(n_) + uj];
    const bool was = mine > 0.0;
    const bool is = ov > 0.0;
    if (was != is) {
      collisions_[ui] += is ? 1 : -1;
      collisions_[uj] += is ? 1 : -1;
    }
    mine = ov;
    overlap_[uj * static_cast<std::size_t>(n_) + ui] = ov;
  }
  counters_.exactTests += scratch.exactTests;
}

void Separator::rescoreAll() {
  for (int i = 0; i < n_; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    const TurnedShape& shape = shapes_.shape(problem_.partType[ui], poses_[ui].orientation);
    boxMin_[ui] = plus(shape.solid.boxMin, poses_[ui].translation);
    boxMax_[ui] = plus(shape.solid.boxMax, poses_[ui].translation);
    realise(i, poses_[ui], solids_[ui]);
    outside_[ui] = outsideContainer(i);
  }
  std::fill(overlap_.begin(), overlap_.end(), 0.0);
  std::fill(collisions_.begin(), collisions_.end(), 0);
  Scratch scratch;
  for (int i = 0; i < n_; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    const TurnedShape& shape = shapes_.shape(problem_.partType[ui], poses_[ui].orientation);
    for (int j = i + 1; j < n_; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      if (!boxesOverlap(boxMin_[ui], boxMax_[ui], boxMin_[uj], boxMax_[uj])) continue;
      scratch.realised = &solids_[ui];
      const double ov = pairOverlap(i, poses_[ui], shape, j, scratch);
      if (ov == 0.0) continue;
      overlap_[ui * static_cast<std::size_t>(n_) + uj] = ov;
      overlap_[uj * static_cast<std::size_t>(n_) + ui] = ov;
      ++collisions_[ui];
      ++collisions_[uj];
    }
  }
  counters_.exactTests += scratch.exactTests;
}

void Separator::load(const std::vector<Pose>& poses, const Strip& strip) {
  TESSERA_ASSERT(static_cast<int>(poses.size()) == n_);
  strip_ = strip;
  poses_ = poses;
  for (int i = 0; i < n_; ++i)
    poses_[static_cast<std::size_t>(i)] = clamped(i, poses_[static_cast<std::size_t>(i)]);
  rescoreAll();
}

bool Separator::fitsStrip(int type, int orientation) const {
  const Point& e = shapes_.shape(type, orientation).extent;
  return e.x <= strip_.high.x - strip_.low.x && e.y <= strip_.high.y - strip_.low.y &&
         e.z <= strip_.high.z - strip_.low.z;
}

void Separator::updateWeights() {
  double deepest = 0.0;
  for (double ov : overlap_) deepest = std::max(deepest, ov);
  const auto n = static_cast<std::size_t>(n_);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      const double ov = overlap_[i * n + j];
      double w = weight_[i * n + j];
      if (ov > 0.0) {
        w *= options_.weightGrowthLow +
             (options_.weightGrowthHigh - options_.weightGrowthLow) * (ov / deepest);
      } else {
        w = std::max(1.0, w * options_.weightDecay);
      }
      weight_[i * n + j] = w;
      weight_[j * n + i] = w;
    }
  }
}

bool Separator::collisionFree() const {
  return std::all_of(collisions_.begin(), collisions_.end(), [](int c) { return c == 0; }) &&
         std::none_of(outside_.begin(), outside_.end(), [](char o) { return o != 0; });
}

bool Separator::inTrouble(int i) const {
  const auto ui = static_cast<std::size_t>(i);
  return collisions_[ui] > 0 || outside_[ui] != 0;
}

double Separator::totalOverlap() const {
  const auto n = static_cast<std::size_t>(n_);
  double total = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) total += overlap_[i * n + j];
  return total;
}

std::vector<double> Separator::tops() const {
  std::vector<double> tops;
  tops.reserve(boxMax_.size());
  for (const Point& p : boxMax_) tops.push_back(p.z);
  return tops;
}

Separator::Snapshot Separator::snapshot() const { return {poses_, overlap_}; }

void Separator::restore(const Snapshot& s) {
  for (int i = 0; i < n_; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    if (poses_[ui] == s.poses[ui]) continue;
    poses_[ui] = s.poses[ui];
    const TurnedShape& shape = shapes_.shape(problem_.partType[ui], poses_[ui].orientation);
    boxMin_[ui] = plus(shape.solid.boxMin, poses_[ui].translation);
    boxMax_[ui] = plus(shape.solid.boxMax, poses_[ui].translation);
    realise(i, poses_[ui], solids_[ui]);
    outside_[ui] = outsideContainer(i);
  }
  overlap_ = s.overlap;
  const auto n = static_cast<std::size_t>(n_);
  std::fill(collisions_.begin(), collisions_.end(), 0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      if (overlap_[i * n + j] > 0.0) ++collisions_[i];
}

bool Separator::separate(SqueezeRandom& random, const std::function<bool()>& stop) {
  if (collisionFree()) return true;
  Snapshot best = snapshot();
  double bestTotal = totalOverlap();
  int strikes = 0;
  std::vector<int> order;
  while (strikes < options_.strikes) {
    const double strikeStart = bestTotal;
    int idle = 0;
    while (idle < options_.passesWithoutImprovement) {
      order.clear();
      for (int i = 0; i < n_; ++i)
        if (inTrouble(i)) order.push_back(i);
      for (std::size_t k = order.size(); k > 1; --k)
        std::swap(order[k - 1], order[static_cast<std::size_t>(random.below(static_cast<int>(k)))]);
      for (int i : order) {
        if (inTrouble(i)) moveBest(i, random);
        if (stop()) {
          if (collisionFree()) return true;
          restore(best);
          return false;
        }
      }
      ++counters_.passes;
      if (collisionFree()) return true;
      updateWeights();
      const double total = totalOverlap();
      if (total < bestTotal) {
        bestTotal = total;
        best = snapshot();
        idle = 0;
      } else {
        ++idle;
      }
    }
    restore(best);
    strikes = bestTotal < strikeStart ? 0 : strikes + 1;
  }
  return false;
}

}  // namespace tessera
