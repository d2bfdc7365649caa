#pragma once

#include <array>
#include <vector>

#include "geometry/point.h"

namespace tessera {

/// Newell's normal of a closed ring: twice its vector area, so it points along the right-hand
/// normal of a simple polygon whatever its first corners look like. Zero for a degenerate ring.
Point ringNormal(const std::vector<Point>& ring);

/// Splits a planar, simple, possibly non-convex ring into triangles by clipping ears in the ring's
/// plane; each triangle lists ring indices in ring orientation. A ring that is not simple still
/// gives ring.size() - 2 triangles or fewer; its picture is then only approximate.
std::vector<std::array<int, 3>> triangulateRing(const std::vector<Point>& ring);

/// How every mesh face is split: the ring vertices[ring[0]], vertices[ring[1]], ... cut into
/// ears in the plane its Newell normal is most nearly perpendicular to, each triangle in ring
/// orientation and listing vertex indices; a convex ring gives the fan from its first corner.
/// Empty when the ring folds over itself (no ear can be cut).
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Point>& vertices,
                                                   const std::vector<int>& ring);

}  // namespace tessera
