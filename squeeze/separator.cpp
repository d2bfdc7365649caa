#include "squeeze/separator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "geometry/assert.h"
#include "squeeze/gjk.h"

namespace tessera {

namespace {

double& axis(Point& p, int a) { return a == 0 ? p.x : (a == 1 ? p.y : p.z); }
double axis(const Point& p, int a) { return a == 0 ? p.x : (a == 1 ? p.y : p.z); }
double largest(const Point& p) { return std::max({p.x, p.y, p.z}); }
Point centreOf(const PreparedSolid& s) {
  return {0.5 * (s.boxMin.x + s.boxMax.x), 0.5 * (s.boxMin.y + s.boxMax.y),
          0.5 * (s.boxMin.z + s.boxMax.z)};
}

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

Pose Separator::clamped(int i, Pose pose) const {
  const int type = problem_.partType[static_cast<std::size_t>(i)];
  const TurnedShape& shape = shapes_.shape(type, pose.orientation);
  for (int a = 0; a < 3; ++a) {
    const double boxLow = axis(shape.solid.boxMin, a);
    const double boxHigh = axis(shape.solid.boxMax, a);
    const double stripLow = axis(strip_.low, a);
    const double stripHigh = axis(strip_.high, a);
    double& t = axis(pose.translation, a);
    if (t > stripHigh - boxHigh) t = stripHigh - boxHigh;
    if (t < stripLow - boxLow) t = stripLow - boxLow;
    // The moved box is rounded as realisePart rounds it: nudge it into the strip by units of
    // the last place. The top wins when the part cannot fit.
    for (int k = 0; k < 8 && boxLow + t < stripLow; ++k) t = std::nextafter(t, INFINITY);
    for (int k = 0; k < 8 && boxHigh + t > stripHigh; ++k) t = std::nextafter(t, -INFINITY);
  }
  return pose;
}

Strip containerStrip(const SqueezeProblem& problem) {
  const Polyhedron& c = problem.container;
  PreparedSolid container;
  prepareSolid(c, container);
  Strip strip{c.boxMin, c.boxMax};
  for (int a = 0; a < 3; ++a) {
    for (int side = 0; side < 2; ++side) {
      // A wall on which the containment test accepts points lets parts touch it; off the
      // others parts keep a unit of the last place.
      bool touching = true;
      for (double u : {0.25, 0.5, 0.75}) {
        for (double v : {0.25, 0.5, 0.75}) {
          Point q;
          const int b = (a + 1) % 3, d = (a + 2) % 3;
          axis(q, a) = side == 0 ? axis(c.boxMin, a) : axis(c.boxMax, a);
          axis(q, b) = axis(c.boxMin, b) + u * (axis(c.boxMax, b) - axis(c.boxMin, b));
          axis(q, d) = axis(c.boxMin, d) + v * (axis(c.boxMax, d) - axis(c.boxMin, d));
          touching = touching && insideSolid(q, container);
        }
      }
      if (touching) continue;
      double& bound = side == 0 ? axis(strip.low, a) : axis(strip.high, a);
      bound = std::nextafter(bound, side == 0 ? INFINITY : -INFINITY);
    }
  }
  return strip;
}

void Separator::shrink(double top, bool scale) {
  const double bottom = problem_.container.boxMin.z;
  const double ratio = scale ? (top - bottom) / (strip_.high.z - bottom) : 1.0;
  strip_.high.z = top;
  for (int i = 0; i < n_; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    Pose pose = poses_[ui];
    const int type = problem_.partType[ui];
    if (!fitsStrip(type, pose.orientation)) {
      // The part no longer stands in this orientation: the lowest allowed one, centre kept.
      int lowest = pose.orientation;
      for (int o : problem_.allowedOrientations[static_cast<std::size_t>(type)])
        if (shapes_.shape(type, o).extent.z < shapes_.shape(type, lowest).extent.z) lowest = o;
      const Point from = centreOf(shapes_.shape(type, pose.orientation).solid);
      const Point to = centreOf(shapes_.shape(type, lowest).solid);
      pose = {lowest, plus(pose.translation, minus(from, to))};
    }
    const double lowZ = boxMin_[ui].z;
    pose.translation.z += bottom + (lowZ - bottom) * ratio - lowZ;
    poses_[ui] = clamped(i, pose);
  }
  rescoreAll();
}

void Separator::settle() {
  std::vector<int> order(static_cast<std::size_t>(n_));
  for (int i = 0; i < n_; ++i) order[static_cast<std::size_t>(i)] = i;
  std::sort(order.begin(), order.end(), [this](int a, int b) {
    return boxMin_[static_cast<std::size_t>(a)].z < boxMin_[static_cast<std::size_t>(b)].z ||
           (boxMin_[static_cast<std::size_t>(a)].z == boxMin_[static_cast<std::size_t>(b)].z &&
            a < b);
  });
  Scratch& scratch = scratch_[0];
  for (int i : order) {
    const auto ui = static_cast<std::size_t>(i);
    Pose low = clamped(i, {poses_[ui].orientation,
                           {poses_[ui].translation.x, poses_[ui].translation.y, -INFINITY}});
    Pose high = poses_[ui];
    if (cost(i, low, 0.0, scratch) == 0.0) {
      high = low;
    } else {
      for (int k = 0; k < 24; ++k) {
        Pose middle = high;
        middle.translation.z = 0.5 * (low.translation.z + high.translation.z);
        if (cost(i, middle, 0.0, scratch) == 0.0) {
          high = middle;
        } else {
          low = middle;
        }
      }
    }
    if (!(high == poses_[ui])) place(i, high);
  }
  counters_.evaluations += scratch.evaluations;
  counters_.exactTests += scratch.exactTests;
  scratch.evaluations = scratch.exactTests = 0;
}

void Separator::nudge() {
  Scratch& scratch = scratch_[0];
  for (int i = 0; i < n_; ++i) {
    if (!inTrouble(i)) continue;
    const auto ui = static_cast<std::size_t>(i);
    const Pose from = poses_[ui];
    bool freed = false;
    for (double step = separationMargin_; step <= 1e4 * separationMargin_ && !freed; step *= 10) {
      for (int k = 0; k < 27 && !freed; ++k) {
        if (k == 13) continue;  // no offset
        Pose pose = from;
        pose.translation.x += step * (k % 3 - 1);
        pose.translation.y += step * (k / 3 % 3 - 1);
        pose.translation.z += step * (k / 9 - 1);
        pose = clamped(i, pose);
        if (pose == from || cost(i, pose, 0.0, scratch) > 0.0) continue;
        place(i, pose);
        freed = !inTrouble(i);
        if (!freed) place(i, from);
      }
    }
  }
  counters_.evaluations += scratch.evaluations;
  counters_.exactTests += scratch.exactTests;
  scratch.evaluations = scratch.exactTests = 0;
}

void Separator::swap(int a, int b) {
  const auto ua = static_cast<std::size_t>(a);
  const auto ub = static_cast<std::size_t>(b);
  const Point ca{0.5 * (boxMin_[ua].x + boxMax_[ua].x), 0.5 * (boxMin_[ua].y + boxMax_[ua].y),
                 0.5 * (boxMin_[ua].z + boxMax_[ua].z)};
  const Point cb{0.5 * (boxMin_[ub].x + boxMax_[ub].x), 0.5 * (boxMin_[ub].y + boxMax_[ub].y),
                 0.5 * (boxMin_[ub].z + boxMax_[ub].z)};
  Pose pa = poses_[ua];
  Pose pb = poses_[ub];
  pa.translation = plus(pa.translation, minus(cb, ca));
  pb.translation = plus(pb.translation, minus(ca, cb));
  place(a, clamped(a, pa));
  place(b, clamped(b, pb));
}

Pose Separator::globalSample(int i, SqueezeRandom& random) const {
  const int type = problem_.partType[static_cast<std::size_t>(i)];
  const std::vector<int>& allowed = problem_.allowedOrientations[static_cast<std::size_t>(type)];
  int orientation = poses_[static_cast<std::size_t>(i)].orientation;
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int o = allowed[static_cast<std::size_t>(random.below(static_cast<int>(allowed.size())))];
    if (fitsStrip(type, o)) {
      orientation = o;
      break;
    }
  }
  const TurnedShape& shape = shapes_.shape(type, orientation);
  Pose pose{orientation, {}};
  for (int a = 0; a < 3; ++a) {
    const double low = axis(strip_.low, a) - axis(shape.solid.boxMin, a);
    const double high = axis(strip_.high, a) - axis(shape.solid.boxMax, a);
    axis(pose.translation, a) = random.between(low, high);
  }
  return clamped(i, pose);
}

Pose Separator::localSample(int i, const Pose& around, SqueezeRandom& random) const {
  const int type = problem_.partType[static_cast<std::size_t>(i)];
  Pose pose = around;
  if (random.unit() < options_.turnShare) {
    const std::vector<int>& allowed = problem_.allowedOrientations[static_cast<std::size_t>(type)];
    const int o = allowed[static_cast<std::size_t>(random.below(static_cast<int>(allowed.size())))];
    if (fitsStrip(type, o)) {
      const Point from = centreOf(shapes_.shape(type, around.orientation).solid);
      const Point to = centreOf(shapes_.shape(type, o).solid);
      pose = {o, plus(around.translation, minus(from, to))};
    }
  }
  const Point& e = shapes_.shape(type, pose.orientation).extent;
  for (int a = 0; a < 3; ++a) {
    const double reach = options_.localReach * axis(e, a);
    axis(pose.translation, a) += random.between(-reach, reach);
  }
  return clamped(i, pose);
}

std::pair<std::size_t, double> Separator::bestOf(int i, const std::vector<Pose>& poses) {
  struct Best {
    std::size_t index = 0;
    double cost = std::numeric_limits<double>::infinity();
  };
  std::vector<Best> best(scratch_.size());
  std::atomic<std::size_t> next{0};
  // Each thread takes the poses in rising index order and cuts a score off once it exceeds the
  // thread's best so far. A cut score exceeds the lowest score of all, and a pose with the lowest
  // score is never cut, so the winner (lowest score, then lowest index) is the same for every
  // thread count and schedule.
  auto work = [&](int thread) {
    Scratch& scratch = scratch_[static_cast<std::size_t>(thread)];
    Best& mine = best[static_cast<std::size_t>(thread)];
    for (std::size_t k = next++; k < poses.size(); k = next++) {
      if (mine.cost == 0.0) break;
      const double c = cost(i, poses[k], mine.cost, scratch);
      if (c < mine.cost) mine = {k, c};
    }
  };
  if (poses.size() < 8 || pool_.size() == 1) {
    work(0);
  } else {
    pool_.runOnAll(work);
  }
  Best winner;
  for (const Best& b : best)
    if (b.cost < winner.cost || (b.cost == winner.cost && b.index < winner.index)) winner = b;
  return {winner.index, winner.cost};
}

void Separator::moveBest(int i, SqueezeRandom& random) {
  const auto ui = static_cast<std::size_t>(i);
  const Pose current = poses_[ui];
  samples_.clear();
  for (int k = 0; k < options_.globalSamples; ++k) samples_.push_back(globalSample(i, random));
  for (int k = 0; k < options_.localSamples; ++k)
    samples_.push_back(localSample(i, current, random));
  auto [index, lowest] = bestOf(i, samples_);
  Pose best = samples_[index];
  double bestCost = lowest;
  // The current pose costs what the layout's exact collisions say (a sampled pose is scored
  // with the proxy's proofs, which the exact test may not share), and keeps ties. A part the
  // containment test refuses must leave it, whatever it costs there.
  if (outside_[ui] == 0) {
    const double* weights = weight_.data() + ui * static_cast<std::size_t>(n_);
    const double* overlaps = overlap_.data() + ui * static_cast<std::size_t>(n_);
    double here = 0.0;
    for (int j = 0; j < n_; ++j) here += weights[j] * overlaps[j];
    if (here <= bestCost) {
      best = current;
      bestCost = here;
    }
  }
  Scratch& scratch = scratch_[0];
  const int type = problem_.partType[ui];
  const double size = largest(shapes_.shape(type, best.orientation).extent);
  double step = options_.descentStart * size;
  while (bestCost > 0.0 && step >= options_.descentEnd * size) {
    bool improved = false;
    for (int a = 0; a < 3 && bestCost > 0.0; ++a) {
      for (int sign = -1; sign <= 1 && bestCost > 0.0; sign += 2) {
        Pose next = best;
        axis(next.translation, a) += sign * step;
        next = clamped(i, next);
        if (next == best) continue;
        const double c = cost(i, next, bestCost, scratch);
        if (c < bestCost) {
          best = next;
          bestCost = c;
          improved = true;
        }
      }
    }
    if (!improved) step *= 0.5;
  }
  ++counters_.moves;
  for (Scratch& s : scratch_) {
    counters_.evaluations += s.evaluations;
    counters_.exactTests += s.exactTests;
    s.evaluations = s.exactTests = 0;
  }
  if (!(best == current)) place(i, best);
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
