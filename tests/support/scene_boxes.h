#pragma once

#include <vector>

#include "picture/scene.h"

// Axis-aligned boxes as the picture's scenes hold them.
namespace tessera::test {

/// The six outward rings of the box lo..hi, in this order: bottom (z = lo.z), top, front
/// (y = lo.y), back, left (x = lo.x), right.
std::vector<std::vector<Point>> boxFaces(Point lo, Point hi);

/// The box lo..hi as a wire frame: each edge once for each of the two faces it bounds.
std::vector<LayoutEdge> boxEdges(Point lo, Point hi);

/// A placed solid of type typeIndex filling the box lo..hi.
LayoutSolid boxSolid(Point lo, Point hi, int typeIndex = 0);

}  // namespace tessera::test
