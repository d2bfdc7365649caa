#pragma once

#include <array>
#include <vector>

#include "geometry/point.h"

namespace tessera {

/// A triangle soup: no welding, orientation or closedness assumed.
struct TriangleSoup {
  std::vector<Point> vertices;
  std::vector<std::array<int, 3>> triangles;
};

/// The alpha wrap of soup: a closed, outward, 2-manifold triangle mesh that contains every
/// triangle of soup, with its vertices at distance offset from it. alpha is the radius of the
/// ball that is too big to enter a cavity (smaller gives more detail). Empty when the wrap fails.
/// The same input always gives the same output.
TriangleSoup alphaWrap(const TriangleSoup& soup, double alpha, double offset);

/// The smallest distance between any point of wrap's triangles and any point of soup's triangles,
/// searched only up to limit: limit when nothing comes closer.
double smallestDistance(const TriangleSoup& wrap, const TriangleSoup& soup, double limit);

}  // namespace tessera
