#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/orientations.h"
#include "model/polyhedron.h"
#include "support/solids.h"

// Random solids for the tests that hold the fast path to the reference, and a comparison of
// two polyhedra that tells bits apart (-0 from +0, one rounding from another).
namespace tessera::test {

/// Draws mapped from raw generator output, the same on every standard library.
class Draw {
 public:
  explicit Draw(std::uint32_t seed) : generator_(seed) {}
  double unit() { return generator_() / 4294967296.0; }
  double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
  int below(int n) { return static_cast<int>(generator_() % static_cast<std::uint32_t>(n)); }

 private:
  std::mt19937 generator_;
};

/// A prism over a star-shaped polygon (often not convex) of 3 to 7 corners, a box, the
/// L-shape or the tetrahedron, scaled to about `size`, turned by a random orientation of the
/// RN 3 table in half the cases, with its reference point somewhere in its box.
inline Polyhedron randomSolid(Draw& draw, double size) {
  Polyhedron p;
  switch (draw.below(4)) {
    case 0: {
      const int n = 3 + draw.below(5);
      std::vector<std::pair<double, double>> polygon;
      const double pi = std::acos(-1.0);
      for (int i = 0; i < n; ++i) {
        const double angle = 2 * pi * (i + draw.between(0.1, 0.9)) / n;
        const double radius = size * 0.5 * draw.between(0.45, 1.0);
        polygon.push_back({radius * std::cos(angle), radius * std::sin(angle)});
      }
      p = prism(polygon, 0.0, size * draw.between(0.3, 1.0), "star");
      break;
    }
    case 1:
      p = box(
          {0, 0, 0},
          {size * draw.between(0.3, 1), size * draw.between(0.3, 1), size * draw.between(0.3, 1)},
          "brick");
      break;
    case 2:
      p = lShape();
      break;
    default:
      p = tetrahedron();
      break;
  }
  if (draw.below(2) == 0) {
    const std::vector<Orientation> table = buildOrientations(3);
    p.transform(table[static_cast<std::size_t>(draw.below(static_cast<int>(table.size())))]);
  }
  p.referencePoint = {draw.between(p.boxMin.x, p.boxMax.x), draw.between(p.boxMin.y, p.boxMax.y),
                      draw.between(p.boxMin.z, p.boxMax.z)};
  return p;
}

/// A lathe with a wavy, non-convex profile and a flat bottom, `scale` units tall:
/// 2 * steps * points triangles.
inline Polyhedron wavyLathe(int steps, int points, const std::string& name, double scale = 1.0) {
  std::vector<std::pair<double, double>> profile{{0, 0}};
  for (int i = 0; i < points; ++i) {
    const double z = 4.0 * i / points;
    profile.push_back({scale * (0.375 + 0.125 * std::cos(1.7 * z)), scale * z / 4});
  }
  profile.push_back({0, scale});
  return lathe(profile, steps, name);
}

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

inline bool sameBits(const Point& a, const Point& b) {
  return std::memcmp(&a, &b, sizeof(Point)) == 0;
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

/// The fields in which a and b differ, bit for bit; empty when none does.
inline std::string differences(const Polyhedron& a, const Polyhedron& b) {
  std::ostringstream out;
  auto check = [&](bool same, const char* field) {
    if (!same) out << field << ' ';
  };
  check(a.name == b.name, "name");
  check(sameBits(a.volume, b.volume), "volume");
  check(sameBits(a.referencePoint, b.referencePoint), "referencePoint");
  check(sameBits(a.anchorPoint, b.anchorPoint), "anchorPoint");
  check(sameBits(a.vertices, b.vertices), "vertices");
  check(sameBits(a.edges, b.edges), "edges");
  bool faces = a.faces.size() == b.faces.size();
  for (std::size_t f = 0; faces && f < a.faces.size(); ++f) {
    const Face& fa = a.faces[f];
    const Face& fb = b.faces[f];
    faces = sameBits(fa.points, fb.points) && sameBits(fa.a, fb.a) && sameBits(fa.b, fb.b) &&
            sameBits(fa.c, fb.c) && sameBits(fa.d, fb.d);
  }
  check(faces, "faces");
  check(sameBits(a.boxMin, b.boxMin) && sameBits(a.boxMax, b.boxMax), "box");
  check(sameBits(a.cellSide, b.cellSide), "cellSide");
  check(a.cellsX == b.cellsX && a.cellsY == b.cellsY && a.cellsZ == b.cellsZ, "cells");
  check(a.bitmap == b.bitmap, "bitmap");
  check(a.anchorI == b.anchorI && a.anchorJ == b.anchorJ && a.anchorK == b.anchorK, "anchor");
  check(a.id == b.id, "id");
  return out.str();
}

}  // namespace tessera::test
