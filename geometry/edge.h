#pragma once

#include "geometry/point.h"
#include "geometry/transform.h"

namespace tessera {

/// A segment with its direction; invariant: direction == end - start.
struct Edge {
  Point start;
  Point end;
  Point direction;

  static Edge between(const Point& start, const Point& end) {
    return {start, end, minus(end, start)};
  }

  /// Moves both ends; the direction is kept as it is (not recomputed).
  void translate(const Point& offset) {
    start = plus(start, offset);
    end = plus(end, offset);
  }

  /// Maps both ends and recomputes the direction from them.
  void transform(const Transform& t) { *this = between(apply(t, start), apply(t, end)); }
};

}  // namespace tessera
