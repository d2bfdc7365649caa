#include "model/motion.h"

#include <cstring>

namespace tessera {

void addTurn(Motion& motion, int orientation) { motion.push_back({orientation, {}, 1}); }

void addMove(Motion& motion, const Point& offset) {
  if (!motion.empty()) {
    MotionStep& last = motion.back();
    if (last.orientation < 0 && std::memcmp(&last.offset, &offset, sizeof(Point)) == 0) {
      ++last.repeat;
      return;
    }
  }
  motion.push_back({-1, offset, 1});
}

Point applyMotion(const Motion& motion, const std::vector<Orientation>& orientations, Point p) {
  for (const MotionStep& step : motion) {
    if (step.orientation >= 0) {
      p = apply(orientations[static_cast<std::size_t>(step.orientation)], p);
    } else {
      for (int i = 0; i < step.repeat; ++i) p = plus(p, step.offset);
    }
  }
  return p;
}

void applyMotion(const Motion& motion, const std::vector<Orientation>& orientations,
                 Polyhedron& solid) {
  for (const MotionStep& step : motion) {
    if (step.orientation >= 0) {
      solid.transform(orientations[static_cast<std::size_t>(step.orientation)]);
    } else {
      for (int i = 0; i < step.repeat; ++i) solid.translate(step.offset);
    }
  }
}

}  // namespace tessera
