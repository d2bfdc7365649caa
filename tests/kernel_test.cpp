#include <gtest/gtest.h>

#include <cmath>

#include "geometry/edge.h"
#include "geometry/face.h"
#include "geometry/transform.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::faceOf;

void expectRows(const Transform& t, const double rows[4][4], double tolerance) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(t.m[r][c], rows[r][c], tolerance) << r << "," << c;
}

TEST(Kernel, CrossFollowsRightHandRule) {
  EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}), (Point{0, 0, 1}));
  EXPECT_EQ(cross({0, 1, 0}, {1, 0, 0}), (Point{0, 0, -1}));
}

TEST(Kernel, FacePlaneFromFirstThreeCornersAndRingOrder) {
  Face up = faceOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  EXPECT_EQ(up.a, 0.0);
  EXPECT_EQ(up.b, 0.0);
  EXPECT_EQ(up.c, 1.0);
  EXPECT_EQ(up.d, 0.0);
  Face down = faceOf({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}});
  EXPECT_EQ(down.c, -1.0);

  // A fifth corner does not take part in the plane, and every corner is kept.
  Face pentagon = faceOf({{0, 0, 2}, {1, 0, 2}, {1, 1, 2}, {0.5, 2, 2}, {0, 1, 2}});
  EXPECT_EQ(pentagon.points.size(), 5u);
  EXPECT_EQ(pentagon.c, 1.0);
  EXPECT_EQ(pentagon.d, -2.0);
  EXPECT_EQ(pentagon.planeValue({0.3, 0.3, 3}), 1.0);
}

TEST(Kernel, CollinearCornersGiveNotANumberPlane) {
  Face f = faceOf({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
  EXPECT_TRUE(std::isnan(f.a));
  EXPECT_FALSE(f.planeValue({0, 0, 1}) > 0);
}

TEST(Kernel, TranslatingFaceMovesPlaneOffset) {
  Face f = faceOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  f.translate({0, 0, 5});
  EXPECT_EQ(f.c, 1.0);
  EXPECT_EQ(f.d, -5.0);
  EXPECT_EQ(f.points[2], (Point{0, 1, 5}));
}

TEST(Kernel, EdgeTranslateKeepsDirectionTransformRecomputesIt) {
  Edge e = Edge::between({0.1, 0.2, 0.3}, {1.7, -2.9, 3.3});
  const Point direction = e.direction;
  e.translate({0.123, 1e-3, 7.77});
  EXPECT_EQ(e.direction, direction);  // bit for bit, not recomputed

  Transform t = orientationMatrix({1, 2, 3}, 0.7);
  e.transform(t);
  EXPECT_EQ(e.direction, minus(e.end, e.start));
}

TEST(Kernel, MultiplyByIdentityReturnsOperand) {
  Transform a = orientationMatrix({0.3, -0.4, 0.8}, 1.1);
  a.m[3][0] = 2.5;
  EXPECT_EQ(multiply(identityTransform(), a), a);
  EXPECT_EQ(multiply(a, identityTransform()), a);
}

TEST(Kernel, MultiplyAppliesLeftOperandFirst) {
  Transform a = orientationMatrix({1, 0, 0}, 0.0);
  Transform b = orientationMatrix({0.2, 0.5, -0.3}, 2.0);
  const Point p{0.25, -1.5, 3.0};
  const Point viaProduct = apply(multiply(a, b), p);
  const Point stepwise = apply(b, apply(a, p));
  EXPECT_NEAR(viaProduct.x, stepwise.x, 1e-14);
  EXPECT_NEAR(viaProduct.y, stepwise.y, 1e-14);
  EXPECT_NEAR(viaProduct.z, stepwise.z, 1e-14);
}

TEST(Kernel, OrientationMatrixExamples) {
  const double noSpin[4][4] = {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}};
  expectRows(orientationMatrix({1, 0, 0}, 0.0), noSpin, 0.0);

  const double quarter[4][4] = {{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}};
  expectRows(orientationMatrix({1, 0, 0}, std::acos(-1.0) / 2), quarter, 1e-15);
}

TEST(Kernel, OrientationMatrixCarriesLocalZOntoAxisAndIsProper) {
  const Point u{0.3, -0.5, 0.7};
  const Transform t = orientationMatrix(u, 0.9);
  const double h = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
  EXPECT_NEAR(t.m[2][0], u.x / h, 1e-15);
  EXPECT_NEAR(t.m[2][1], u.y / h, 1e-15);
  EXPECT_NEAR(t.m[2][2], u.z / h, 1e-15);
  const Point r0{t.m[0][0], t.m[0][1], t.m[0][2]};
  const Point r1{t.m[1][0], t.m[1][1], t.m[1][2]};
  const Point r2{t.m[2][0], t.m[2][1], t.m[2][2]};
  const Point c = cross(r0, r1);
  EXPECT_NEAR(c.x, r2.x, 1e-15);
  EXPECT_NEAR(c.y, r2.y, 1e-15);
  EXPECT_NEAR(c.z, r2.z, 1e-15);
  EXPECT_EQ(t.m[3][0], 0.0);
  EXPECT_EQ(t.m[3][3], 1.0);
}

}  // namespace
}  // namespace tessera
