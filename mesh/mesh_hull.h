#pragma once

#include <string>
#include <vector>

#include "geometry/point.h"
#include "mesh/mesh_reader.h"

namespace tessera {

/// The convex hull of points as outward faces on the input points themselves (coordinates are not
/// rounded), coplanar hull facets merged into one polygon each. Throws ImportError naming file when
/// the points span no volume.
RawMesh convexHull(const std::vector<Point>& points, const std::string& file);

}  // namespace tessera
