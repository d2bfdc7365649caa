#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "geometry/assert.h"
#include "squeeze/separator.h"

// The separator's moves: where a part may go (clamped to the strip, sampled across it and near
// where it is), which of those costs least, and the moves of the whole layout (shrinking the
// strip, settling, nudging, swapping two parts).
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
  // At a share of 1 every sample turns and no draw decides it.
  const bool turns = options_.globalTurnShare >= 1.0 || random.unit() < options_.globalTurnShare;
  for (int attempt = 0; turns && attempt < 8; ++attempt) {
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

}  // namespace tessera
