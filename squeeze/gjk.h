#pragma once

#include <vector>

#include "geometry/point.h"

// A proof that two point sets lie apart: a direction along which every point of one set lies
// beyond every point of the other by more than a margin, searched by the GJK iteration on the
// convex hulls. Finding none proves nothing: the hulls may touch or overlap.
namespace tessera {

enum class Hulls {
  apart,    // a plane keeps them more than the margin apart
  overlap,  // the convex hulls share a point
  unknown,  // no proof within the iterations allowed
};

/// How the convex hulls of the points a (moved by shift) and of the points b lie.
Hulls compareHulls(const std::vector<Point>& a, const Point& shift, const std::vector<Point>& b,
                   double margin);

}  // namespace tessera
