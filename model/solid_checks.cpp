#include "model/solid_checks.h"

#include <algorithm>
#include <cmath>

namespace tessera {

namespace {

Point extentOf(const Point& low, const Point& high) { return minus(high, low); }

double largestOf(const Point& p) { return std::max({p.x, p.y, p.z}); }

}  // namespace

double enclosedVolume(const Polyhedron& poly) {
  if (poly.vertices.empty()) return 0.0;
  // Corners relative to one vertex keep the products small for parts far from the origin.
  const Point origin = poly.vertices[0];
  double sixTimes = 0.0;
  for (const Face& face : poly.faces) {
    if (face.points.size() < 3) continue;
    const Point first = minus(face.points[0], origin);
    for (std::size_t i = 1; i + 1 < face.points.size(); ++i) {
      const Point b = minus(face.points[i], origin);
      const Point c = minus(face.points[i + 1], origin);
      const Point n = cross(b, c);
      sixTimes += first.x * n.x + first.y * n.y + first.z * n.z;
    }
  }
  return sixTimes / 6.0;
}

double surfaceArea(const Polyhedron& poly) {
  double area = 0.0;
  for (const Face& face : poly.faces) {
    if (face.points.size() < 3) continue;
    const Point first = face.points[0];
    Point twice{0.0, 0.0, 0.0};
    for (std::size_t i = 1; i + 1 < face.points.size(); ++i)
      twice = plus(twice, cross(minus(face.points[i], first), minus(face.points[i + 1], first)));
    area += 0.5 * std::sqrt(twice.x * twice.x + twice.y * twice.y + twice.z * twice.z);
  }
  return area;
}

double leastExtentInAnyTurn(const Polyhedron& poly) {
  const Point box = extentOf(poly.boxMin, poly.boxMax);
  const double standing = std::min({box.x, box.y, box.z});
  const double area = surfaceArea(poly);
  if (!(area > 0.0)) return 0.0;
  return std::min(2.0 * std::fabs(enclosedVolume(poly)) / area, standing);
}

bool enclosesVolume(const Polyhedron& poly) {
  const double size = largestOf(extentOf(poly.boxMin, poly.boxMax));
  return std::fabs(enclosedVolume(poly)) > 1e-12 * size * size * size;
}

bool fitsInSomeOrientation(const Polyhedron& part, const Polyhedron& container,
                           const std::vector<Orientation>& orientations) {
  const Point room = extentOf(container.boxMin, container.boxMax);
  for (const Orientation& orientation : orientations) {
    Point low = apply(orientation, part.vertices[0]);
    Point high = low;
    for (const Point& vertex : part.vertices) {
      const Point p = apply(orientation, vertex);
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    const Point size = extentOf(low, high);
    if (size.x <= room.x && size.y <= room.y && size.z <= room.z) return true;
  }
  return false;
}

const Part* partFittingNowhere(const Project& project) {
  const Part* last = nullptr;
  for (const Part& part : project.parts) {
    // Copies share their shape and lie next to each other once sorted by volume.
    if (last != nullptr && last->name == part.name && last->vertices == part.vertices) continue;
    last = &part;
    if (project.turnAllowed.empty()) {
      if (!fitsInSomeOrientation(part, project.container, project.orientationTable)) return &part;
      continue;
    }
    std::vector<Orientation> allowed;
    for (int o = 0; o < project.orientationCount(); ++o)
      if (project.mayTurn(part.id, o))
        allowed.push_back(project.orientationTable[static_cast<std::size_t>(o)]);
    if (!fitsInSomeOrientation(part, project.container, allowed)) return &part;
  }
  return nullptr;
}

}  // namespace tessera
