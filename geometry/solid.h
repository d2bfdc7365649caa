#pragma once

#include <span>

#include "geometry/edge.h"
#include "geometry/face.h"
#include "geometry/point.h"

namespace tessera {

/// Read-only view of a closed solid's boundary and bounding box, as the predicates see it.
struct SolidView {
  std::span<const Point> vertices;
  std::span<const Edge> edges;
  std::span<const Face> faces;
  Point boxMin;
  Point boxMax;
};

}  // namespace tessera
