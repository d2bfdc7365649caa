#include "mesh/polyhedron_writer.h"

#include <cstdio>
#include <ostream>

#include "formats/number_format.h"

namespace tessera {

void writePolyhedronFile(std::ostream& out, const std::string& name, const SolidMesh& solid) {
  const Point& r = solid.centroid;
  out << "Polyhedron data file\nName\n"
      << name << "\nVolume\n"
      << formatExactNumber(solid.volume) << "\nReference point\n"
      << formatExactNumber(r.x) << ',' << formatExactNumber(r.y) << ',' << formatExactNumber(r.z)
      << "\nVertex list\n";
  for (std::size_t i = 0; i < solid.vertices.size(); ++i) {
    const Point& v = solid.vertices[i];
    out << i << ',' << formatExactNumber(v.x) << ',' << formatExactNumber(v.y) << ','
        << formatExactNumber(v.z) << '\n';
  }
  out << "EndVertexList\nEdge list\n";
  for (std::size_t i = 0; i < solid.edges.size(); ++i)
    out << i << ',' << solid.edges[i][0] << ',' << solid.edges[i][1] << '\n';
  out << "EndEdgeList\nFace list\n";
  for (std::size_t i = 0; i < solid.faces.size(); ++i) {
    const auto& ring = solid.faces[i];
    // The count is followed by two separator characters before the first index.
    out << i << ',' << ring.size() << ", ";
    for (std::size_t k = 0; k < ring.size(); ++k) out << (k ? "," : "") << ring[k];
    out << '\n';
  }
  out << "EndFaceList\n";
}

}  // namespace tessera
