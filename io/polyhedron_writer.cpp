#include "io/polyhedron_writer.h"

#include <cstdio>
#include <ostream>

namespace tessera {

std::string formatNumber(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", value);
  return buf;
}

void writePolyhedronFile(std::ostream& out, const std::string& name, const SolidMesh& solid) {
  const Point& r = solid.centroid;
  out << "Polyhedron data file\nName\n"
      << name << "\nVolume\n"
      << formatNumber(solid.volume) << "\nReference point\n"
      << formatNumber(r.x) << ',' << formatNumber(r.y) << ',' << formatNumber(r.z)
      << "\nVertex list\n";
  for (std::size_t i = 0; i < solid.vertices.size(); ++i) {
    const Point& v = solid.vertices[i];
    out << i << ',' << formatNumber(v.x) << ',' << formatNumber(v.y) << ',' << formatNumber(v.z)
        << '\n';
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
