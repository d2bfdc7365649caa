#include "squeeze/distance_field.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessera {

namespace {

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const Point& a) { return std::sqrt(dot(a, a)); }

double segmentDistance(const Point& q, const Point& a, const Point& b) {
  const Point ab = minus(b, a);
  const double l2 = dot(ab, ab);
  double t = l2 > 0.0 ? dot(minus(q, a), ab) / l2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const Point p{a.x + t * ab.x, a.y + t * ab.y, a.z + t * ab.z};
  return length(minus(q, p));
}

// Whether p (in the face's plane) lies inside the ring, by crossings in the plane's projection
// that drops the normal's largest axis.
bool insideRing(const Point& p, const Face& face) {
  const double ax = std::fabs(face.a), ay = std::fabs(face.b), az = std::fabs(face.c);
  const int drop = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
  auto u = [&](const Point& v) { return drop == 0 ? v.y : v.x; };
  auto w = [&](const Point& v) { return drop == 2 ? v.y : v.z; };
  bool in = false;
  const std::size_t n = face.points.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const Point& vi = face.points[i];
    const Point& vj = face.points[j];
    if ((w(vi) > w(p)) != (w(vj) > w(p))) {
      const double cross = u(vi) + (w(p) - w(vi)) * (u(vj) - u(vi)) / (w(vj) - w(vi));
      if (u(p) < cross) in = !in;
    }
  }
  return in;
}

double faceDistance(const Point& q, const Face& face) {
  const double s = face.planeValue(q);
  if (!std::isfinite(s)) return std::numeric_limits<double>::infinity();
  const Point p{q.x - s * face.a, q.y - s * face.b, q.z - s * face.c};
  if (insideRing(p, face)) return std::fabs(s);
  double best = std::numeric_limits<double>::infinity();
  const std::size_t n = face.points.size();
  for (std::size_t i = 0; i < n; ++i)
    best = std::min(best, segmentDistance(q, face.points[i], face.points[(i + 1) % n]));
  return best;
}

// The solid angle the triangle (a, b, c) spans as seen from the origin, signed by its winding.
double solidAngle(const Point& a, const Point& b, const Point& c) {
  const double la = length(a), lb = length(b), lc = length(c);
  const double numerator = dot(a, cross(b, c));
  const double denominator = la * lb * lc + dot(a, b) * lc + dot(a, c) * lb + dot(b, c) * la;
  return 2.0 * std::atan2(numerator, denominator);
}

}  // namespace

double distanceToBoundary(const Point& q, const Polyhedron& solid) {
  double best = std::numeric_limits<double>::infinity();
  for (const Face& face : solid.faces) best = std::min(best, faceDistance(q, face));
  return best;
}

bool insideByWinding(const Point& q, const Polyhedron& solid) {
  if (q.x < solid.boxMin.x || q.x > solid.boxMax.x || q.y < solid.boxMin.y ||
      q.y > solid.boxMax.y || q.z < solid.boxMin.z || q.z > solid.boxMax.z)
    return false;
  double total = 0.0;
  for (const Face& face : solid.faces) {
    const Point a = minus(face.points[0], q);
    for (std::size_t k = 1; k + 1 < face.points.size(); ++k)
      total += solidAngle(a, minus(face.points[k], q), minus(face.points[k + 1], q));
  }
  return std::fabs(total) > 2.0 * std::acos(-1.0);  // a winding number above one half
}

SolidField solidField(const Polyhedron& solid, const FieldOptions& options) {
  const Point e = minus(solid.boxMax, solid.boxMin);
  double h = std::min({e.x, e.y, e.z}) / options.cellsAcross;
  auto nodes = [&](double spacing) {
    return (std::ceil(e.x / spacing) + 3) * (std::ceil(e.y / spacing) + 3) *
           (std::ceil(e.z / spacing) + 3);
  };
  while (nodes(h) > options.maxNodes) h *= 1.1;
  SolidField result;
  DistanceField& f = result.field;
  f.spacing = h;
  f.perSpacing = 1.0 / h;
  f.nx = static_cast<int>(std::ceil(e.x / h)) + 3;
  f.ny = static_cast<int>(std::ceil(e.y / h)) + 3;
  f.nz = static_cast<int>(std::ceil(e.z / h)) + 3;
  // Centred on the box, with at least one spacing of room on every side.
  f.origin = {solid.boxMin.x - 0.5 * ((f.nx - 1) * h - e.x),
              solid.boxMin.y - 0.5 * ((f.ny - 1) * h - e.y),
              solid.boxMin.z - 0.5 * ((f.nz - 1) * h - e.z)};
  f.values.resize(static_cast<std::size_t>(f.nx) * static_cast<std::size_t>(f.ny) *
                  static_cast<std::size_t>(f.nz));
  std::vector<std::size_t> inside;
  std::size_t n = 0;
  for (int k = 0; k < f.nz; ++k)
    for (int j = 0; j < f.ny; ++j)
      for (int i = 0; i < f.nx; ++i, ++n) {
        const Point q{f.origin.x + i * h, f.origin.y + j * h, f.origin.z + k * h};
        const double d = distanceToBoundary(q, solid);
        const bool in = d > 0.0 && insideByWinding(q, solid);
        f.values[n] = static_cast<float>(in ? d : -d);
        if (in) inside.push_back(n);
      }
  if (inside.empty()) return result;
  // Farthest-point sampling over the inside nodes, from the deepest.
  auto position = [&](std::size_t node) {
    const auto i = static_cast<int>(node % static_cast<std::size_t>(f.nx));
    const auto j =
        static_cast<int>((node / static_cast<std::size_t>(f.nx)) % static_cast<std::size_t>(f.ny));
    const auto k =
        static_cast<int>(node / (static_cast<std::size_t>(f.nx) * static_cast<std::size_t>(f.ny)));
    return Point{f.origin.x + i * h, f.origin.y + j * h, f.origin.z + k * h};
  };
  std::size_t first = inside[0];
  for (std::size_t node : inside)
    if (f.values[node] > f.values[first]) first = node;
  std::vector<double> gap(inside.size(), std::numeric_limits<double>::infinity());
  std::size_t chosen = first;
  const std::size_t count = std::min(inside.size(), static_cast<std::size_t>(options.samples));
  const double weight = std::fabs(solid.volume) / static_cast<double>(count);
  for (std::size_t s = 0; s < count; ++s) {
    const Point at = position(chosen);
    result.points.push_back({at, f.values[chosen], weight});
    std::size_t next = 0;
    for (std::size_t m = 0; m < inside.size(); ++m) {
      gap[m] = std::min(gap[m], length(minus(position(inside[m]), at)));
      if (gap[m] > gap[next]) next = m;
    }
    chosen = inside[next];
  }
  return result;
}

}  // namespace tessera
