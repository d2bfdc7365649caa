#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/part_list.h"
#include "model/polyhedron.h"
#include "support/solids.h"

namespace tessera {
namespace {

Part named(const std::string& name, double volume) {
  Part p = test::cube(1.0);
  p.name = name;
  p.volume = volume;
  return p;
}

std::string namesOf(const PartList& list) {
  std::string s;
  for (const Part& p : list) s += p.name;
  return s;
}

PartList listOf(const std::vector<Part>& parts) {
  PartList list;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) list.pushFront(*it);
  return list;
}

TEST(PartList, SortExamplesFixTieOrder) {
  PartList a = listOf({named("A", 1), named("B", 1), named("C", 2)});
  a.sortByVolumeDescending();
  EXPECT_EQ(namesOf(a), "CBA");

  PartList b = listOf({named("A", 1), named("B", 2), named("C", 1)});
  b.sortByVolumeDescending();
  EXPECT_EQ(namesOf(b), "BAC");

  PartList equal = listOf({named("A", 3), named("B", 3), named("C", 3), named("D", 3)});
  equal.sortByVolumeDescending();
  EXPECT_EQ(namesOf(equal), "ABCD");

  PartList mixed = listOf(
      {named("A", 2), named("B", 5), named("C", 2), named("D", 9), named("E", 5), named("F", 1)});
  mixed.sortByVolumeDescending();
  double last = 1e300;
  for (const Part& p : mixed) {
    EXPECT_LE(p.volume, last);
    last = p.volume;
  }
  EXPECT_EQ(mixed.count(), 6);
}

TEST(PartList, SortOfEmptyAndSingleListChangesNothing) {
  PartList empty;
  empty.sortByVolumeDescending();
  EXPECT_EQ(empty.count(), 0);
  PartList one = listOf({named("A", 1)});
  one.sortByVolumeDescending();
  EXPECT_EQ(namesOf(one), "A");
}

TEST(PartList, PushFrontAndCopiesKeepOrderAndAreDeep) {
  PartList source;
  source.pushFront(named("B", 1));
  source.pushFront(named("A", 1));
  EXPECT_EQ(namesOf(source), "AB");

  PartList target = listOf({named("X", 1), named("Y", 1), named("Z", 1)});
  target = source;
  EXPECT_EQ(namesOf(target), "AB");
  EXPECT_EQ(target.count(), 2);

  source[0].translate({5, 0, 0});
  source[0].vertices[0].x = 99;
  EXPECT_EQ(target[0].vertices[0].x, 0.0);
  EXPECT_EQ(target[0].boxMin.x, 0.0);
}

TEST(Polyhedron, CopiesAreIndependentIncludingBitmap) {
  Polyhedron p = test::cube(2.0);
  Polyhedron noBitmap = p;
  EXPECT_FALSE(noBitmap.hasBitmap());
  EXPECT_TRUE(noBitmap.bitmap.empty());

  p.cellsX = p.cellsY = p.cellsZ = 2;
  p.bitmap.assign(8, 1);
  Polyhedron copy = p;
  p.bitmap[3] = 0;
  p.faces[0].points[0].z = -7;
  EXPECT_EQ(copy.bitmap[3], 1);
  EXPECT_EQ(copy.faces[0].points[0].z, 0.0);

  Polyhedron assigned;
  assigned = copy;
  EXPECT_EQ(assigned.vertexCount(), 8);
  EXPECT_EQ(assigned.faceCount(), 6);
}

TEST(Polyhedron, BoundingBoxUsesVerticesOnly) {
  Polyhedron p = test::cube(2.0);
  p.translate({1, -3, 0.5});
  p.computeBoundingBox();
  EXPECT_EQ(p.boxMin, (Point{1, -3, 0.5}));
  EXPECT_EQ(p.boxMax, (Point{3, -1, 2.5}));
}

TEST(Polyhedron, TranslateMovesEverythingButKeepsEdgeDirections) {
  Polyhedron p = test::lShape();
  std::vector<Point> directions;
  for (const Edge& e : p.edges) directions.push_back(e.direction);
  const Point box = p.boxMin;
  p.anchorPoint = {0.5, 0.5, 0.5};
  p.translate({0.1, 0.2, 0.3});
  for (std::size_t i = 0; i < p.edges.size(); ++i) EXPECT_EQ(p.edges[i].direction, directions[i]);
  EXPECT_EQ(p.boxMin, (Point{box.x + 0.1, box.y + 0.2, box.z + 0.3}));
  EXPECT_EQ(p.anchorPoint, (Point{0.5 + 0.1, 0.5 + 0.2, 0.5 + 0.3}));
  for (const Face& f : p.faces) EXPECT_NEAR(f.planeValue(f.points.back()), 0.0, 1e-12);
}

TEST(Polyhedron, TransformWithIdentityChangesNothingAndRecomputesBox) {
  Polyhedron p = test::lShape();
  p.anchorPoint = {7, 8, 9};
  Polyhedron q = p;
  q.transform(identityTransform());
  EXPECT_EQ(q.vertices, p.vertices);
  EXPECT_EQ(q.boxMin, p.boxMin);
  EXPECT_EQ(q.boxMax, p.boxMax);
  EXPECT_EQ(q.anchorPoint, p.anchorPoint);
  for (std::size_t i = 0; i < p.faces.size(); ++i) EXPECT_EQ(q.faces[i].c, p.faces[i].c);

  Polyhedron turned = p;
  turned.transform(orientationMatrix({1, 0, 0}, 0.0));  // local z onto x
  for (const Edge& e : turned.edges) EXPECT_EQ(e.direction, minus(e.end, e.start));
  Polyhedron fresh = turned;
  fresh.computeBoundingBox();
  EXPECT_EQ(fresh.boxMin, turned.boxMin);
  EXPECT_EQ(turned.anchorPoint, p.anchorPoint);
}

}  // namespace
}  // namespace tessera
