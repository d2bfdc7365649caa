#pragma once

#include <cstddef>
#include <vector>

#include "geometry/assert.h"
#include "geometry/point.h"

namespace tessera {

/// An axis-aligned box by its least and greatest corners.
struct Box {
  Point min;
  Point max;
};

/// Box over points: both corners start at points[0], then strict comparisons, x, y, z for
/// the least corner before x, y, z for the greatest, point by point. Needs a point.
inline Box boxOf(const std::vector<Point>& points) {
  TESSERA_ASSERT(!points.empty());
  Box box{points[0], points[0]};
  for (std::size_t i = 1; i < points.size(); ++i) {
    const Point& v = points[i];
    if (v.x < box.min.x) box.min.x = v.x;
    if (v.y < box.min.y) box.min.y = v.y;
    if (v.z < box.min.z) box.min.z = v.z;
    if (v.x > box.max.x) box.max.x = v.x;
    if (v.y > box.max.y) box.max.y = v.y;
    if (v.z > box.max.z) box.max.z = v.z;
  }
  return box;
}

}  // namespace tessera
