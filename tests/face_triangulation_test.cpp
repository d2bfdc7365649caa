#include "geometry/face_triangulation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace tessera {
namespace {

// Sum of the triangles' areas against the ring's own, and every triangle turning with the ring.
void expectTiles(const std::vector<Point>& ring) {
  const auto triangles = triangulateRing(ring);
  const Point normal = ringNormal(ring);
  EXPECT_EQ(triangles.size(), ring.size() - 2);
  double area = 0.0;
  for (const auto& t : triangles) {
    const Point n = ringNormal({ring[t[0]], ring[t[1]], ring[t[2]]});
    EXPECT_GE(n.x * normal.x + n.y * normal.y + n.z * normal.z, 0.0);
    area += std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  }
  EXPECT_NEAR(area, std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z),
              1e-9);
}

TEST(FaceTriangulation, TilesNonConvexRingsInEveryPlaneAndOrientation) {
  // The L in the plane, starting at the corner a fan from it would get wrong.
  const std::vector<std::array<double, 2>> ell = {{10, 4}, {4, 4}, {4, 10},
                                                  {0, 10}, {0, 0}, {10, 0}};
  // A comb with two notches and a straight corner at (6, 0).
  const std::vector<std::array<double, 2>> comb = {{0, 0}, {6, 0}, {12, 0}, {12, 8}, {9, 8}, {9, 3},
                                                   {6, 3}, {6, 8}, {3, 8},  {3, 3},  {0, 3}};
  for (const auto* shape : {&ell, &comb}) {
    for (int plane = 0; plane < 3; ++plane) {
      for (const bool flip : {false, true}) {
        std::vector<Point> ring;
        for (const auto& [u, v] : *shape) {
          const double w = flip ? -u : u;
          ring.push_back(plane == 0   ? Point{w, v, 1.5}
                         : plane == 1 ? Point{2.5, w, v}
                                      : Point{v, -0.5, w});
        }
        SCOPED_TRACE(testing::Message()
                     << "corners " << ring.size() << " plane " << plane << " flip " << flip);
        expectTiles(ring);
      }
    }
  }
}

TEST(FaceTriangulation, DegenerateRingsGiveNoArea) {
  EXPECT_TRUE(triangulateRing({{0, 0, 0}, {1, 0, 0}}).empty());
  const std::vector<Point> line = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  EXPECT_LE(triangulateRing(line).size(), 2U);
  EXPECT_EQ(ringNormal(line), Point{});
}

}  // namespace
}  // namespace tessera
