#pragma once

#include <vector>

#include "geometry/point.h"
#include "geometry/transform.h"

namespace tessera {

/// A planar face: its corner ring (coordinates, not indices) and the plane
/// a*x + b*y + c*z + d = 0 with the unit normal (a, b, c) taken from the first three corners
/// by the right-hand rule. Collinear leading corners give a not-a-number plane.
struct Face {
  std::vector<Point> points;
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  double d = 0.0;

  /// Replaces the ring (at least three points) and recomputes the plane.
  void setPoints(std::vector<Point> ring);
  /// Moves every corner and recomputes the plane from the moved corners.
  void translate(const Point& offset);
  /// Maps every corner and recomputes the plane from the mapped corners.
  void transform(const Transform& t);

  /// Signed distance of q from the plane, positive on the normal's side.
  double planeValue(const Point& q) const { return a * q.x + b * q.y + c * q.z + d; }
};

}  // namespace tessera
