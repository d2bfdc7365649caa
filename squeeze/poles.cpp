#include "squeeze/poles.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/predicates.h"

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

struct Candidate {
  Point at;
  double boundary = 0.0;  // distance to the solid's boundary
  double room = 0.0;      // the radius a sphere here may take now
};

// The radius a sphere at q may take: inside the solid and clear of the spheres chosen.
double roomAt(const Point& q, const Polyhedron& solid, const std::vector<Sphere>& chosen) {
  if (!pointInPolyhedron(q, solid)) return -1.0;
  double r = distanceToBoundary(q, solid);
  for (const Sphere& s : chosen) r = std::min(r, length(minus(q, s.centre)) - s.radius);
  return r;
}

// Pattern search from a sample point: the centre moves while its room grows.
Sphere refine(const Candidate& start, const Polyhedron& solid, const std::vector<Sphere>& chosen,
              double step) {
  Point at = start.at;
  double room = start.room;
  const Point directions[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int round = 0; round < 6; ++round) {
    bool moved = true;
    while (moved) {
      moved = false;
      for (const Point& d : directions) {
        const Point q{at.x + step * d.x, at.y + step * d.y, at.z + step * d.z};
        const double r = roomAt(q, solid, chosen);
        if (r > room) {
          at = q;
          room = r;
          moved = true;
        }
      }
    }
    step *= 0.5;
  }
  return {at, room};
}

}  // namespace

double distanceToBoundary(const Point& q, const Polyhedron& solid) {
  double best = std::numeric_limits<double>::infinity();
  for (const Face& face : solid.faces) best = std::min(best, faceDistance(q, face));
  return best;
}

std::vector<Sphere> inscribedSpheres(const Polyhedron& solid, const PoleOptions& options) {
  const Point e = minus(solid.boxMax, solid.boxMin);
  const double smallestExtent = std::min({e.x, e.y, e.z});
  double h = std::cbrt(e.x * e.y * e.z / options.samples);
  h = std::min(h, smallestExtent / 8.0);
  std::vector<Candidate> candidates;
  const int nx = std::max(1, static_cast<int>(e.x / h));
  const int ny = std::max(1, static_cast<int>(e.y / h));
  const int nz = std::max(1, static_cast<int>(e.z / h));
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j)
      for (int k = 0; k < nz; ++k) {
        const Point q{solid.boxMin.x + (i + 0.5) * e.x / nx, solid.boxMin.y + (j + 0.5) * e.y / ny,
                      solid.boxMin.z + (k + 0.5) * e.z / nz};
        if (!pointInPolyhedron(q, solid)) continue;
        const double d = distanceToBoundary(q, solid);
        candidates.push_back({q, d, d});
      }
  std::vector<Sphere> poles;
  if (candidates.empty()) return poles;
  std::vector<bool> covered(candidates.size(), false);
  std::size_t coveredCount = 0;
  double firstRadius = 0.0;
  while (static_cast<int>(poles.size()) < options.maxPoles) {
    std::size_t best = 0;
    for (std::size_t c = 1; c < candidates.size(); ++c)
      if (candidates[c].room > candidates[best].room) best = c;
    if (!(candidates[best].room > 0.0)) break;
    if (!poles.empty() && candidates[best].room < options.smallest * firstRadius) break;
    Sphere pole = refine(candidates[best], solid, poles, 0.5 * h);
    // A margin against rounding: a pole must lie inside its solid.
    pole.radius *= 0.999;
    if (poles.empty()) firstRadius = pole.radius;
    poles.push_back(pole);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
      const double gap = length(minus(candidates[c].at, pole.centre));
      candidates[c].room = std::min(candidates[c].room, gap - pole.radius);
      if (!covered[c] && gap <= pole.radius) {
        covered[c] = true;
        ++coveredCount;
      }
    }
    if (coveredCount >= options.coverage * static_cast<double>(candidates.size())) break;
  }
  return poles;
}

}  // namespace tessera
