#include "mesh/mesh_writer.h"

#include <cmath>
#include <cstddef>

#include "formats/number_format.h"
#include "geometry/face_triangulation.h"
#include "mesh/mesh_solid.h"

namespace tessera {

namespace {

const Point& vertexAt(const MeshObject& object, int index) {
  return object.vertices[static_cast<std::size_t>(index)];
}

std::string exactPoint(const Point& p) {
  return formatExactNumber(p.x) + " " + formatExactNumber(p.y) + " " + formatExactNumber(p.z);
}

/// The unit normal of a triangle by the right-hand rule; zero for one without area.
Point unitNormal(const Point& a, const Point& b, const Point& c) {
  const Point n = cross(minus(b, a), minus(c, a));
  const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(length > 0.0)) return {};
  return {n.x / length, n.y / length, n.z / length};
}

}  // namespace

std::vector<std::array<int, 3>> triangles(const MeshObject& object) {
  std::vector<std::array<int, 3>> result;
  std::vector<Point> ring;
  for (const std::vector<int>& face : object.faces) {
    const FaceSplit split = splitFace(object.vertices, face);
    if (!split.folds) {
      result.insert(result.end(), split.triangles.begin(), split.triangles.end());
      continue;
    }
    // Only a polyhedron file written by hand has a face that folds over itself: the best
    // picture of it, without triangles that repeat a corner.
    ring.clear();
    for (const int index : face) ring.push_back(vertexAt(object, index));
    for (const std::array<int, 3>& t : triangulateRing(ring)) {
      const std::array<int, 3> corners{face[static_cast<std::size_t>(t[0])],
                                       face[static_cast<std::size_t>(t[1])],
                                       face[static_cast<std::size_t>(t[2])]};
      if (corners[0] != corners[1] && corners[1] != corners[2] && corners[2] != corners[0])
        result.push_back(corners);
    }
  }
  return result;
}

void writeObj(std::ostream& out, const std::vector<MeshObject>& objects) {
  out << "# " << objects.size() << " objects, coordinates with 17 significant digits\n";
  std::size_t firstIndex = 1;
  for (const MeshObject& object : objects) {
    out << "o " << object.name << '\n';
    for (const Point& v : object.vertices) out << "v " << exactPoint(v) << '\n';
    for (const std::vector<int>& face : object.faces) {
      out << 'f';
      for (const int index : face) out << ' ' << firstIndex + static_cast<std::size_t>(index);
      out << '\n';
    }
    firstIndex += object.vertices.size();
  }
}

void writeAsciiStl(std::ostream& out, const std::vector<MeshObject>& objects) {
  for (const MeshObject& object : objects) {
    out << "solid " << object.name << '\n';
    for (const std::array<int, 3>& t : triangles(object)) {
      const Point& a = vertexAt(object, t[0]);
      const Point& b = vertexAt(object, t[1]);
      const Point& c = vertexAt(object, t[2]);
      out << "  facet normal " << exactPoint(unitNormal(a, b, c)) << '\n'
          << "    outer loop\n"
          << "      vertex " << exactPoint(a) << '\n'
          << "      vertex " << exactPoint(b) << '\n'
          << "      vertex " << exactPoint(c) << '\n'
          << "    endloop\n"
          << "  endfacet\n";
    }
    out << "endsolid " << object.name << '\n';
  }
}

}  // namespace tessera
