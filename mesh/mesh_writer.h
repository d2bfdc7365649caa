#pragma once

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "geometry/point.h"

namespace tessera {

/// One named solid of an exported mesh file. Faces are planar rings of vertex indices, possibly
/// non-convex; the right-hand rule on a ring gives its outward normal.
struct MeshObject {
  std::string name;
  std::vector<Point> vertices;
  std::vector<std::vector<int>> faces;
};

/// The faces as triangles in ring orientation, split as the import splits faces (splitFace), so
/// exact for non-convex rings too; pieces without area and repeated corners are left out.
std::vector<std::array<int, 3>> triangles(const MeshObject& object);

// Text writers. Coordinates carry 17 significant digits, so reading a file back gives the very
// doubles that were written; the same objects always give the same bytes.

/// Wavefront OBJ: one "o" group per object, faces kept as polygons, indices counted over the
/// whole file from 1.
void writeObj(std::ostream& out, const std::vector<MeshObject>& objects);

/// ASCII STL: one solid per object, named after it, faces split into triangles.
void writeAsciiStl(std::ostream& out, const std::vector<MeshObject>& objects);

}  // namespace tessera
