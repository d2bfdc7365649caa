#include "geometry/predicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/solids.h"

namespace tessera {
namespace {

using test::faceOf;

Edge segment(const Point& a, const Point& b) { return Edge::between(a, b); }

const Face kTriangle = faceOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});

// A segment along z through (x, y) with the guide point one unit further along y.
bool verticalCrossesTriangle(double x, double y) {
  return segmentCrossesFace(segment({x, y, -1}, {x, y, 1}), kTriangle, {x, y + 1, -1});
}

TEST(Predicates, EdgeStraddlesPlaneCountsZeroAsNotPositive) {
  EXPECT_FALSE(edgeStraddlesPlane(segment({0.1, 0.1, 0}, {0.5, 0.2, 0}), kTriangle));
  EXPECT_TRUE(edgeStraddlesPlane(segment({0.1, 0.1, 0}, {0.1, 0.1, 2}), kTriangle));
  EXPECT_FALSE(edgeStraddlesPlane(segment({0.1, 0.1, 0}, {0.1, 0.1, -2}), kTriangle));
  EXPECT_TRUE(edgeStraddlesPlane(segment({5, 5, -1}, {5, 5, 1}), kTriangle));  // plane, not face
}

TEST(Predicates, SegmentCrossesTriangle) {
  const Edge through = segment({0.25, 0.25, -1}, {0.25, 0.25, 1});
  EXPECT_TRUE(segmentCrossesFace(through, kTriangle, {0.25, 1.25, -1}));
  EXPECT_TRUE(segmentCrossesFace(through, kTriangle, {1.25, 0.25, -1}));
  EXPECT_TRUE(segmentCrossesFace(segment(through.end, through.start), kTriangle, {0.25, 1.25, -1}));
  EXPECT_FALSE(verticalCrossesTriangle(0.75, 0.75));  // meets the plane outside the triangle

  // One end on the plane: only the end on the positive side makes it a crossing.
  EXPECT_TRUE(
      segmentCrossesFace(segment({0.25, 0.25, 0}, {0.25, 0.25, 1}), kTriangle, {0.25, 1.25, 0}));
  EXPECT_FALSE(
      segmentCrossesFace(segment({0.25, 0.25, -1}, {0.25, 0.25, 0}), kTriangle, {0.25, 1.25, -1}));

  // A guide point on the segment's line leaves the counting plane undefined: nothing counts.
  EXPECT_FALSE(segmentCrossesFace(through, kTriangle, {0.25, 0.25, 3}));
}

TEST(Predicates, SegmentThroughTriangleBoundaryFollowsGuideSide) {
  EXPECT_TRUE(verticalCrossesTriangle(0, 0.5));
  EXPECT_TRUE(verticalCrossesTriangle(0.5, 0));
  EXPECT_FALSE(verticalCrossesTriangle(0.5, 0.5));  // on the hypotenuse, leaving towards +y
}

TEST(Predicates, DegenerateInputGivesADefiniteNo) {
  const Face collinear = faceOf({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
  EXPECT_FALSE(segmentCrossesFace(segment({0.5, -1, -1}, {0.5, 1, 1}), collinear, {0.5, 0, 5}));
  EXPECT_FALSE(pointInPolyhedron({0.5, 0.5, 0}, test::box({0, 0, 0}, {1, 1, 0})));  // flat
}

TEST(Predicates, UnitCubeInsideOutsideTable) {
  const Polyhedron cube = test::cube(1);
  const Polyhedron inward = test::reversedRings(cube);
  struct Case {
    Point q;
    bool inside;
    bool insideReversed;
  };
  const Case cases[] = {
      {{0.5, 0.5, 0.5}, true, true},
      {{0, 0.5, 0.5}, true, false},  // faces x = 0 and x = 1 depend on the ring direction
      {{1, 0.5, 0.5}, true, false},
      {{0.5, 0, 0.5}, true, true},    // face y = 0
      {{0.5, 0.5, 1}, true, true},    // face z = 1
      {{0.5, 1, 0.5}, false, false},  // face y = 1
      {{0.5, 0.5, 0}, false, false},  // face z = 0
      {{0, 0, 1}, true, false},       // corners on the faces x = 0 and x = 1 follow them
      {{1, 0, 1}, true, false},
      {{0, 0, 0}, false, false},
      {{1, 1, 1}, false, false},
      {{1.0000001, 0.5, 0.5}, false, false},  // box test
      {{0.5, -0.5, 0.5}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pointInPolyhedron(c.q, cube), c.inside) << c.q.x << " " << c.q.y << " " << c.q.z;
    EXPECT_EQ(pointInPolyhedron(c.q, inward), c.insideReversed)
        << c.q.x << " " << c.q.y << " " << c.q.z;
  }
}

TEST(Predicates, NonConvexAndSlantedSolids) {
  const Polyhedron l = test::lShape();
  EXPECT_TRUE(pointInPolyhedron({0.5, 1.5, 0.5}, l));
  EXPECT_TRUE(pointInPolyhedron({1.5, 0.5, 0.5}, l));
  EXPECT_FALSE(pointInPolyhedron({1.5, 1.5, 0.5}, l));  // the notch, inside the box
  const Polyhedron t = test::tetrahedron();
  EXPECT_TRUE(pointInPolyhedron({0.1, 0.1, 0.1}, t));
  EXPECT_FALSE(pointInPolyhedron({0.4, 0.4, 0.4}, t));  // inside the box, beyond the slanted face
}

TEST(Predicates, ContainsAllVerticesTestsVerticesOnly) {
  const Polyhedron container = test::box({0, 0, 0}, {10, 10, 10});
  EXPECT_TRUE(containsAllVertices(container, test::box({1, 1, 1}, {2, 2, 2})));
  EXPECT_FALSE(containsAllVertices(container, test::box({9, 1, 1}, {11, 2, 2})));
  // Vertices on the floor (z = 0) are outside by the rule at zero.
  EXPECT_FALSE(containsAllVertices(container, test::box({1, 1, 0}, {2, 2, 1})));
  Polyhedron empty;
  EXPECT_TRUE(containsAllVertices(container, empty));
}

TEST(Predicates, EdgeGuidePointTakesTheSmallestAxisTiesToTheLater) {
  EXPECT_EQ(edgeGuidePoint(segment({0, 0, 0}, {1, 0, 0})), (Point{0, 0, 1}));
  EXPECT_EQ(edgeGuidePoint(segment({0, 0, 0}, {1, 1, 1})), (Point{0, 0, std::sqrt(3.0)}));
  EXPECT_EQ(edgeGuidePoint(segment({0, 0, 0}, {0, 1, 1})), (Point{std::sqrt(2.0), 0, 0}));
  EXPECT_EQ(edgeGuidePoint(segment({0, 0, 0}, {0, 0, 2})), (Point{0, 2, 0}));
  EXPECT_EQ(edgeGuidePoint(segment({1, 2, 3}, {1, 2, 3})), (Point{1, 2, 3}));  // zero length
}

TEST(Predicates, TouchingCubesAreDisjointNestedBoxesAreNot) {
  const Polyhedron a = test::cube(1);
  const Polyhedron above = test::box({0, 0, 1}, {1, 1, 2});
  const Polyhedron beside = test::box({1, 0, 0}, {2, 1, 1});
  EXPECT_TRUE(polyhedraDisjoint(a, above));
  EXPECT_TRUE(polyhedraDisjoint(above, a));
  EXPECT_TRUE(polyhedraDisjoint(a, beside));

  const Polyhedron outer = test::box({0, 0, 0}, {4, 4, 4});
  const Polyhedron inner = test::box({1, 1, 1}, {2, 2, 2});
  EXPECT_FALSE(polyhedraDisjoint(outer, inner));
  EXPECT_FALSE(polyhedraDisjoint(inner, outer));
}

TEST(Predicates, CrossingBarsInterfereThroughEdgesOnly) {
  const Polyhedron a = test::box({0, 1, 0.25}, {3, 2, 0.75});
  const Polyhedron b = test::box({1, 0, 0}, {2, 3, 1});
  for (const Point& v : a.vertices) EXPECT_FALSE(pointInPolyhedron(v, b));
  for (const Point& v : b.vertices) EXPECT_FALSE(pointInPolyhedron(v, a));
  EXPECT_TRUE(edgesCrossFaces(a, b));
  EXPECT_FALSE(polyhedraDisjoint(a, b));
  EXPECT_FALSE(polyhedraDisjoint(b, a));
}

TEST(Predicates, InterferenceIsUnchangedByAWholeCellMotionOfBoth) {
  const Point shift{3, -2, 5};
  const Polyhedron l = test::lShape();
  const std::vector<Polyhedron> others = {
      test::box({1, 1, 0}, {2, 2, 1}),                    // in the notch
      test::box({0.5, 0.5, 0.5}, {1.5, 1.5, 1.5}),        // overlapping the corner
      test::box({0.25, 0.25, 0.25}, {0.75, 0.75, 0.75}),  // inside
      test::box({2, 0, 0}, {3, 1, 1}),                    // beside
  };
  for (const Polyhedron& other : others) {
    Polyhedron movedL = l;
    Polyhedron movedOther = other;
    movedL.translate(shift);
    movedOther.translate(shift);
    EXPECT_EQ(polyhedraDisjoint(l, other), polyhedraDisjoint(movedL, movedOther));
    EXPECT_EQ(polyhedraDisjoint(l, other), polyhedraDisjoint(other, l));
  }
  EXPECT_FALSE(polyhedraDisjoint(l, others[1]));
  EXPECT_FALSE(polyhedraDisjoint(l, others[2]));
  EXPECT_TRUE(polyhedraDisjoint(l, others[3]));
}

}  // namespace
}  // namespace tessera
