#include <gtest/gtest.h>

#include <vector>

#include "fast_solids.h"
#include "geometry/orientations.h"
#include "geometry/predicates.h"
#include "placement/oriented_shape.h"
#include "placement/prepared_solid.h"
#include "placement/voxelise.h"
#include "support/solids.h"

// The prepared predicates and the kept shapes against the reference predicates and voxelise.
namespace tessera {
namespace {

PreparedSolid prepared(const Polyhedron& p) {
  PreparedSolid s;
  prepareSolid(p, s);
  return s;
}

// Solids whose boundaries the sample points below hit exactly, and turned or odd ones.
std::vector<Polyhedron> sampleSolids() {
  std::vector<Polyhedron> solids = {
      test::cube(1),
      test::reversedRings(test::cube(1)),
      test::lShape(),
      test::tetrahedron(),
      test::box({0, 0, 0}, {2, 0, 1}, "flat"),
      test::prism({{0, 0}, {3, 0}, {3, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 1}, {0, 1}}, -0.5, 0.75,
                  "bracket")};
  const std::vector<Orientation> table = buildOrientations(4);
  Polyhedron turned = test::lShape();
  turned.transform(table[41]);
  solids.push_back(turned);
  test::Draw draw(7);
  for (int i = 0; i < 6; ++i) solids.push_back(test::randomSolid(draw, 1.7));
  return solids;
}

// Lattice points over the box and a margin, quarter steps: on faces, edges and corners of the
// axis-aligned solids; the solid's own vertices, ring points and edge midpoints.
std::vector<Point> probePoints(const Polyhedron& p) {
  std::vector<Point> points;
  const double step = 0.25;
  for (double x = std::floor(p.boxMin.x) - 0.5; x <= p.boxMax.x + 0.5; x += step)
    for (double y = std::floor(p.boxMin.y) - 0.5; y <= p.boxMax.y + 0.5; y += step)
      for (double z = std::floor(p.boxMin.z) - 0.5; z <= p.boxMax.z + 0.5; z += step)
        points.push_back({x, y, z});
  for (const Point& v : p.vertices) points.push_back(v);
  for (const Face& f : p.faces)
    for (const Point& q : f.points) points.push_back(q);
  for (const Edge& e : p.edges)
    points.push_back(
        {(e.start.x + e.end.x) / 2, (e.start.y + e.end.y) / 2, (e.start.z + e.end.z) / 2});
  return points;
}

TEST(FastGeometry, PlaneAndTranslationRepeatTheReferenceBits) {
  test::Draw draw(11);
  for (int i = 0; i < 200; ++i) {
    const Point p0{draw.between(-9, 9), draw.between(-9, 9), draw.between(-9, 9)};
    const Point p1{draw.between(-9, 9), draw.between(-9, 9), draw.between(-9, 9)};
    const Point p2{draw.between(-9, 9), draw.between(-9, 9), draw.between(-9, 9)};
    Face face;
    face.setPoints({p0, p1, p2});
    const Plane plane = planeThrough(p0, p1, p2);
    ASSERT_TRUE(test::sameBits(plane.a, face.a) && test::sameBits(plane.b, face.b) &&
                test::sameBits(plane.c, face.c) && test::sameBits(plane.d, face.d));
  }
  // Repeated odd translations, as a slide makes them, accumulate the same doubles.
  for (const Polyhedron& solid : sampleSolids()) {
    Polyhedron reference = solid;
    PreparedSolid fast = prepared(solid);
    for (int i = 0; i < 5; ++i) {
      const Point offset{draw.between(-3, 3), draw.between(-3, 3), -0.1 * (i + 1)};
      reference.translate(offset);
      translateSolid(fast, offset);
    }
    refreshPlanes(fast);
    Polyhedron written = solid;
    writeGeometry(fast, written);
    EXPECT_EQ(test::differences(written, reference), "") << solid.name;
  }
}

TEST(FastGeometry, InsideSolidAgreesWithPointInPolyhedronOnBoundariesAndBeyond) {
  for (const Polyhedron& solid : sampleSolids()) {
    const PreparedSolid fast = prepared(solid);
    int inside = 0;
    for (const Point& q : probePoints(solid)) {
      const bool expected = pointInPolyhedron(q, solid);
      ASSERT_EQ(insideSolid(q, fast), expected)
          << solid.name << " at (" << q.x << ", " << q.y << ", " << q.z << ")";
      inside += expected;
    }
    if (solid.name != "flat") {
      EXPECT_GT(inside, 0) << solid.name;  // both answers were asked
    }
  }
}

TEST(FastGeometry, SolidsDisjointAgreesWithPolyhedraDisjoint) {
  const std::vector<Polyhedron> solids = sampleSolids();
  int apart = 0;
  int interfering = 0;
  for (std::size_t i = 0; i < solids.size(); ++i) {
    for (std::size_t j = i; j < solids.size(); ++j) {
      const PreparedSolid a = prepared(solids[i]);
      // Quarter-step offsets: shared faces, touching boxes, overlaps, nesting.
      for (double dx = -1.5; dx <= 1.5; dx += 0.5)
        for (double dy = -1.25; dy <= 1.25; dy += 0.75)
          for (double dz = -1.0; dz <= 1.0; dz += 0.5) {
            Polyhedron moved = solids[j];
            moved.translate({dx, dy, dz});
            const bool expected = polyhedraDisjoint(solids[i], moved);
            ASSERT_EQ(solidsDisjoint(a, prepared(moved)), expected)
                << solids[i].name << " and " << solids[j].name << " moved by (" << dx << ", " << dy
                << ", " << dz << ")";
            ASSERT_EQ(solidsDisjoint(prepared(moved), a), expected);
            (expected ? apart : interfering)++;
          }
    }
  }
  EXPECT_GT(apart, 100);
  EXPECT_GT(interfering, 100);
  // Interference found only by an edge crossing a face, no vertex inside the other.
  const PreparedSolid bar = prepared(test::box({0, 1, 0.25}, {3, 2, 0.75}));
  const PreparedSolid cross = prepared(test::box({1, 0, 0}, {2, 3, 1}));
  EXPECT_FALSE(solidsDisjoint(bar, cross));
}

TEST(FastGeometry, VoxeliseFastGivesVoxelisesBitmapAnchorAndRefusal) {
  const std::vector<Orientation> table = buildOrientations(2);
  for (const double cellSide : {0.3, 0.7, 1.0}) {
    for (const Polyhedron& solid : sampleSolids()) {
      for (const Orientation& orientation : table) {
        Polyhedron reference = solid;
        reference.cellSide = cellSide;
        reference.anchorI = 5;  // kept by both when no sample is inside
        reference.transform(orientation);
        Polyhedron fast = reference;
        voxelise(reference);
        voxeliseFast(fast);
        ASSERT_EQ(test::differences(fast, reference), "") << solid.name << " side " << cellSide;
      }
    }
  }
  Polyhedron huge = test::cube(1e6);
  huge.cellSide = 1e-3;
  EXPECT_THROW(voxeliseFast(huge), std::exception);
}

TEST(FastGeometry, OrientedShapeIsTheWorkingCopyWithItsBitmapAsRows) {
  const std::vector<Orientation> table = buildOrientations(3);
  for (const Polyhedron& solid : sampleSolids()) {
    Polyhedron part = solid;
    part.cellSide = 0.5;
    part.id = 4;
    for (std::size_t k = 0; k < table.size(); k += 5) {
      Polyhedron copy = part;
      copy.transform(table[k]);
      voxelise(copy);
      const OrientedShape shape = orientShape(part, table[k]);
      // Rows hold exactly the bitmap's occupied cells.
      std::vector<std::uint8_t> fromRows(copy.bitmap.size(), 0);
      for (const ShapeRow& row : shape.rows)
        for (int j = 0; j < shape.cellsY; ++j)
          if ((shape.bits[row.offset + static_cast<std::size_t>(j / 64)] >> (j % 64)) & 1)
            fromRows[static_cast<std::size_t>(j + copy.cellsY * (row.i + copy.cellsX * row.k))] = 1;
      ASSERT_EQ(fromRows, copy.bitmap) << solid.name << " orientation " << k;
      copy.dropBitmap();
      ASSERT_EQ(test::differences(shape.geometry, copy), "");
      EXPECT_EQ(shape.vertexOrder.size(), copy.vertices.size());
    }
  }
}

TEST(FastGeometry, ShapeInputsAreTheSameOnlyWhenEveryReadBitIs) {
  Polyhedron a = test::lShape("one");
  a.cellSide = 1;
  Polyhedron b = test::lShape("two");  // another name, the same geometry: shared
  b.cellSide = 1;
  b.id = 9;
  b.volume = 42;
  EXPECT_TRUE(sameShapeInput(a, b));
  EXPECT_EQ(shapeInputHash(a), shapeInputHash(b));

  Polyhedron moved = a;
  moved.translate({1e-12, 0, 0});
  EXPECT_FALSE(sameShapeInput(a, moved));
  Polyhedron signedZero = a;
  signedZero.referencePoint.z = -0.0;
  ASSERT_EQ(a.referencePoint.z, 0.0);
  EXPECT_FALSE(sameShapeInput(a, signedZero));  // -0 may round differently downstream
  Polyhedron otherAnchor = a;
  otherAnchor.anchorK = 3;  // kept by voxelise when no sample is inside
  EXPECT_FALSE(sameShapeInput(a, otherAnchor));
  Polyhedron otherSide = a;
  otherSide.cellSide = 0.5;
  EXPECT_FALSE(sameShapeInput(a, otherSide));
}

}  // namespace
}  // namespace tessera
