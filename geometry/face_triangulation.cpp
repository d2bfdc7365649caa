#include "geometry/face_triangulation.h"

#include <cmath>
#include <cstddef>

namespace tessera {
namespace {

struct Planar {
  double u = 0.0;
  double v = 0.0;
};

// Twice the signed area of (a, b, c); positive for a counter-clockwise turn.
double turn(const Planar& a, const Planar& b, const Planar& c) {
  return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

bool samePlace(const Planar& a, const Planar& b) { return a.u == b.u && a.v == b.v; }

// Inside or on the boundary of the counter-clockwise triangle (a, b, c).
bool inTriangle(const Planar& p, const Planar& a, const Planar& b, const Planar& c) {
  return turn(a, b, p) >= 0.0 && turn(b, c, p) >= 0.0 && turn(c, a, p) >= 0.0;
}

// The ring in the coordinate plane its normal is most nearly perpendicular to, oriented so that
// the ring runs counter-clockwise.
std::vector<Planar> flatten(const std::vector<Point>& ring, const Point& normal) {
  const double ax = std::fabs(normal.x);
  const double ay = std::fabs(normal.y);
  const double az = std::fabs(normal.z);
  std::vector<Planar> flat;
  flat.reserve(ring.size());
  for (const Point& p : ring) {
    if (az >= ax && az >= ay) {
      flat.push_back({normal.z < 0.0 ? -p.x : p.x, p.y});
    } else if (ax >= ay) {
      flat.push_back({normal.x < 0.0 ? -p.y : p.y, p.z});
    } else {
      flat.push_back({normal.y < 0.0 ? -p.z : p.z, p.x});
    }
  }
  return flat;
}

}  // namespace

Point ringNormal(const std::vector<Point>& ring) {
  Point normal;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Point& a = ring[i];
    const Point& b = ring[(i + 1) % ring.size()];
    normal.x += (a.y - b.y) * (a.z + b.z);
    normal.y += (a.z - b.z) * (a.x + b.x);
    normal.z += (a.x - b.x) * (a.y + b.y);
  }
  return normal;
}

std::vector<std::array<int, 3>> triangulateRing(const std::vector<Point>& ring) {
  std::vector<std::array<int, 3>> triangles;
  const int count = static_cast<int>(ring.size());
  if (count < 3) return triangles;
  const std::vector<Planar> flat = flatten(ring, ringNormal(ring));

  std::vector<int> left;
  for (int i = 0; i < count; ++i) left.push_back(i);

  auto isEar = [&](std::size_t at) {
    const std::size_t m = left.size();
    const int prev = left[(at + m - 1) % m];
    const int here = left[at];
    const int next = left[(at + 1) % m];
    const Planar& a = flat[prev];
    const Planar& b = flat[here];
    const Planar& c = flat[next];
    if (!(turn(a, b, c) > 0.0)) return false;
    for (const int other : left) {
      if (other == prev || other == here || other == next) continue;
      const Planar& p = flat[other];
      // A corner repeated where the ring touches itself does not block the ear it touches.
      if (samePlace(p, a) || samePlace(p, b) || samePlace(p, c)) continue;
      if (inTriangle(p, a, b, c)) return false;
    }
    return true;
  };

  while (left.size() > 3) {
    const std::size_t m = left.size();
    std::size_t cut = m;
    for (std::size_t at = 0; at < m && cut == m; ++at) {
      if (isEar(at)) cut = at;
    }
    if (cut < m) {
      triangles.push_back({left[(cut + m - 1) % m], left[cut], left[(cut + 1) % m]});
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(cut));
      continue;
    }
    // No convex ear: a straight corner adds no area and can go; otherwise the ring is not simple
    // (or rounding hid its ears) and a fan of what is left is the best picture there is.
    for (std::size_t at = 0; at < m && cut == m; ++at) {
      if (turn(flat[left[(at + m - 1) % m]], flat[left[at]], flat[left[(at + 1) % m]]) == 0.0) {
        cut = at;
      }
    }
    if (cut < m) {
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(cut));
      continue;
    }
    for (std::size_t at = 1; at + 1 < m; ++at)
      triangles.push_back({left[0], left[at], left[at + 1]});
    return triangles;
  }
  triangles.push_back({left[0], left[1], left[2]});
  return triangles;
}

std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Point>& vertices,
                                                   const std::vector<int>& ring) {
  if (ring.size() == 3) return {{ring[0], ring[1], ring[2]}};
  std::vector<Point> corners;
  corners.reserve(ring.size());
  for (const int i : ring) corners.push_back(vertices[static_cast<std::size_t>(i)]);
  const std::vector<Planar> flat = flatten(corners, ringNormal(corners));
  std::vector<int> left(ring.size());
  for (std::size_t k = 0; k < left.size(); ++k) left[k] = static_cast<int>(k);
  std::vector<std::array<int, 3>> out;
  while (left.size() > 3) {
    bool clipped = false;
    for (std::size_t k = 1; k <= left.size() && !clipped; ++k) {
      const int a = left[k - 1], b = left[k % left.size()], c = left[(k + 1) % left.size()];
      const Planar& pa = flat[static_cast<std::size_t>(a)];
      const Planar& pb = flat[static_cast<std::size_t>(b)];
      const Planar& pc = flat[static_cast<std::size_t>(c)];
      if (turn(pa, pb, pc) <= 0.0) continue;
      bool blocked = false;
      for (const int o : left) {
        if (o == a || o == b || o == c) continue;
        if (inTriangle(flat[static_cast<std::size_t>(o)], pa, pb, pc)) {
          blocked = true;
          break;
        }
      }
      if (blocked) continue;
      out.push_back({ring[static_cast<std::size_t>(a)], ring[static_cast<std::size_t>(b)],
                     ring[static_cast<std::size_t>(c)]});
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(k % left.size()));
      clipped = true;
    }
    if (!clipped) return {};
  }
  out.push_back({ring[static_cast<std::size_t>(left[0])], ring[static_cast<std::size_t>(left[1])],
                 ring[static_cast<std::size_t>(left[2])]});
  return out;
}

}  // namespace tessera
