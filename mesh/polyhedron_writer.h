#pragma once

#include <iosfwd>
#include <string>

#include "mesh/mesh_solid.h"

namespace tessera {

/// Writes the solid as a polyhedron file: headings on the free lines, name, volume, the centroid as
/// reference point, then the vertex, edge and face lists, indices by 0-based position.
/// The name must be one line of at most 98 characters.
void writePolyhedronFile(std::ostream& out, const std::string& name, const SolidMesh& solid);

}  // namespace tessera
