#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fast_solids.h"
#include "geometry/orientations.h"
#include "geometry/predicates.h"
#include "placement/hierarchy_search.h"
#include "placement/oriented_shape.h"
#include "placement/prepared_solid.h"
#include "placement/row_sampling.h"
#include "placement/voxelise.h"
#include "support/solids.h"

// The predicates through the hierarchies against the reference predicates, on meshes of 4 to
// 100,000 faces, at points and rows that touch faces, edges and vertices exactly.
namespace tessera {
namespace {

PreparedSolid withHierarchy(const Polyhedron& p) {
  PreparedSolid s;
  prepareSolid(p, s);
  buildHierarchy(s);
  return s;
}

// The wavy lathe, 4 units tall.
Polyhedron wavyLathe(int steps, int points, const std::string& name) {
  return test::wavyLathe(steps, points, name, 4.0);
}

// A lathe of four steps with whole radii and heights: corners and ring edges on lattice
// points, where rows and samples meet them exactly.
Polyhedron squareLathe() {
  return test::lathe({{0, 0}, {2, 0}, {2, 1}, {1, 2}, {1, 3}, {0, 3}}, 4, "square lathe");
}

Polyhedron turned(Polyhedron p, int rn, std::size_t k) {
  p.transform(buildOrientations(rn)[k]);
  return p;
}

// Lattice points over the box and a margin at quarter steps, then the solid's own vertices,
// ring points and edge midpoints, at most `limit` points in all.
std::vector<Point> probes(const Polyhedron& p, std::size_t limit) {
  std::vector<Point> points;
  for (const Point& v : p.vertices) points.push_back(v);
  for (const Edge& e : p.edges)
    points.push_back(
        {(e.start.x + e.end.x) / 2, (e.start.y + e.end.y) / 2, (e.start.z + e.end.z) / 2});
  const double step = 0.25;
  for (double z = std::floor(p.boxMin.z) - 0.5; z <= p.boxMax.z + 0.5; z += step)
    for (double y = std::floor(p.boxMin.y) - 0.5; y <= p.boxMax.y + 0.5; y += step)
      for (double x = std::floor(p.boxMin.x) - 0.5; x <= p.boxMax.x + 0.5; x += step)
        points.push_back({x, y, z});
  if (points.size() > limit) {
    // Keep an even spread of what was collected.
    std::vector<Point> kept;
    for (std::size_t i = 0; i < limit; ++i) kept.push_back(points[i * points.size() / limit]);
    points = kept;
  }
  return points;
}

TEST(SolidHierarchy, InsideSolidMatchesTheReferenceFromFourToAHundredThousandFaces) {
  struct Case {
    Polyhedron solid;
    std::size_t probes;
  };
  std::vector<Case> cases = {{test::tetrahedron(), 5000},
                             {test::cube(1), 5000},
                             {test::reversedRings(test::cube(1)), 5000},
                             {test::lShape(), 5000},
                             {squareLathe(), 5000},
                             {turned(squareLathe(), 2, 7), 5000},
                             {wavyLathe(24, 21, "1k"), 4000},
                             {turned(wavyLathe(24, 21, "1k turned"), 3, 40), 4000},
                             {wavyLathe(72, 70, "10k"), 1500},
                             {wavyLathe(224, 223, "100k"), 150}};
  for (const Case& c : cases) {
    const PreparedSolid fast = withHierarchy(c.solid);
    ASSERT_TRUE(latticeHolds(fast.hierarchy)) << c.solid.name;  // the pruned path is taken
    int inside = 0;
    for (const Point& q : probes(c.solid, c.probes)) {
      const bool expected = pointInPolyhedron(q, c.solid);
      ASSERT_EQ(insideSolid(q, fast), expected)
          << c.solid.name << " (" << c.solid.faces.size() << " faces) at (" << q.x << ", " << q.y
          << ", " << q.z << ")";
      inside += expected;
    }
    EXPECT_GT(inside, 0) << c.solid.name;
  }
}

// Keeps at most `limit` values, evenly spread.
void thin(std::vector<double>& values, std::size_t limit) {
  if (values.size() <= limit) return;
  std::vector<double> kept;
  for (std::size_t i = 0; i < limit; ++i) kept.push_back(values[i * values.size() / limit]);
  values = kept;
}

TEST(SolidHierarchy, RowsMatchPointByPointWhereSamplesTouchFacesEdgesAndCorners) {
  // Off the lattice (coordinates of 1e-80) every row falls back to one test per point.
  Polyhedron tiny = test::lShape("tiny");
  Transform shrink = identityTransform();
  for (int i = 0; i < 3; ++i) shrink.m[i][i] = 1e-80;
  tiny.transform(shrink);
  const std::vector<Polyhedron> solids = {test::cube(1),
                                          test::reversedRings(test::cube(1)),
                                          test::lShape(),
                                          test::tetrahedron(),
                                          squareLathe(),
                                          turned(squareLathe(), 2, 7),
                                          turned(test::lShape(), 4, 41),
                                          wavyLathe(24, 21, "1k"),
                                          tiny};
  RowScratch scratch;
  for (const Polyhedron& solid : solids) {
    const PreparedSolid fast = withHierarchy(solid);
    const double unit = solid.name == "tiny" ? 1e-80 : 1.0;
    // Rows through corners, edges and faces: whole and half units, and the vertices' own y, z.
    std::vector<double> ys, zs;
    for (double v = -0.5; v <= 3.5; v += 0.5) {
      ys.push_back(v * unit);
      zs.push_back(v * unit);
    }
    for (const Point& v : solid.vertices) {
      ys.push_back(v.y);
      zs.push_back(v.z);
    }
    for (std::vector<double>* values : {&ys, &zs}) {
      std::sort(values->begin(), values->end());
      values->erase(std::unique(values->begin(), values->end()), values->end());
      thin(*values, 24);
    }
    std::vector<double> xs;
    for (const Point& v : solid.vertices) xs.push_back(v.x);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    thin(xs, 30);
    for (double x = solid.boxMin.x - 0.5 * unit; x <= solid.boxMax.x + 0.5 * unit; x += 0.25 * unit)
      xs.push_back(x);
    std::sort(xs.begin(), xs.end());
    std::vector<std::uint8_t> inside(xs.size());
    int rowsWithInside = 0;
    for (const double y : ys)
      for (const double z : zs) {
        insideAlongRow(fast, y, z, xs, inside, scratch);
        bool any = false;
        for (std::size_t i = 0; i < xs.size(); ++i) {
          const bool expected = pointInPolyhedron({xs[i], y, z}, solid);
          ASSERT_EQ(inside[i] != 0, expected)
              << solid.name << " row y " << y << " z " << z << " at x " << xs[i];
          any = any || expected;
        }
        rowsWithInside += any;
      }
    EXPECT_GT(rowsWithInside, 0) << solid.name;
  }
}

TEST(SolidHierarchy, VoxeliseFastMatchesVoxeliseOnLatheMeshes) {
  // Whole heights and radii put samples on corners and ring edges; turned copies put them a
  // rounding away.
  const std::vector<Orientation> table = buildOrientations(2);
  for (const Polyhedron& solid :
       {squareLathe(), wavyLathe(24, 21, "1k"), wavyLathe(64, 40, "5k")}) {
    for (const double cellSide : {0.5, 1.0}) {
      for (std::size_t k = 0; k<table.size(); k += solid.faces.size()> 2000 ? 7 : 1) {
        Polyhedron reference = solid;
        reference.cellSide = cellSide;
        reference.transform(table[k]);
        Polyhedron fast = reference;
        voxelise(reference);
        voxeliseFast(fast);
        ASSERT_EQ(test::differences(fast, reference), "")
            << solid.name << " side " << cellSide << " orientation " << k;
      }
    }
  }
}

TEST(SolidHierarchy, DisjointnessMatchesTheReferenceOnTouchingAndOverlappingPairs) {
  const std::vector<Polyhedron> solids = {test::cube(1),
                                          test::lShape(),
                                          test::tetrahedron(),
                                          squareLathe(),
                                          turned(squareLathe(), 2, 7),
                                          turned(wavyLathe(24, 21, "1k"), 3, 40)};
  int apart = 0;
  int interfering = 0;
  for (std::size_t i = 0; i < solids.size(); ++i) {
    const PreparedSolid a = withHierarchy(solids[i]);
    for (std::size_t j = i; j < solids.size(); ++j) {
      // Half-unit offsets: shared faces, touching boxes, overlaps, nesting.
      for (double dx = -2; dx <= 2; dx += 0.5)
        for (double dy = -1; dy <= 1; dy += 1)
          for (double dz = -1; dz <= 1; dz += 0.5) {
            Polyhedron moved = solids[j];
            moved.translate({dx, dy, dz});
            const bool expected = polyhedraDisjoint(solids[i], moved);
            const PreparedSolid b = withHierarchy(moved);
            ASSERT_EQ(solidsDisjoint(a, b), expected)
                << solids[i].name << " and " << solids[j].name << " moved by (" << dx << ", " << dy
                << ", " << dz << ")";
            ASSERT_EQ(solidsDisjoint(b, a), expected);
            (expected ? apart : interfering)++;
          }
    }
  }
  EXPECT_GT(apart, 50);
  EXPECT_GT(interfering, 50);
}

// Whether some edge of a crosses a face of b whose ring box is apart from the edge's box.
bool crossesFarAway(const Polyhedron& a, const Polyhedron& b) {
  for (const Edge& e : a.edges) {
    const Point guide = edgeGuidePoint(e);
    for (const Face& f : b.faces) {
      if (!segmentCrossesFace(e, f, guide)) continue;
      Point lo = f.points[0], hi = f.points[0];
      for (const Point& p : f.points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      }
      const double ex[2] = {std::min(e.start.x, e.end.x), std::max(e.start.x, e.end.x)};
      const double ey[2] = {std::min(e.start.y, e.end.y), std::max(e.start.y, e.end.y)};
      const double ez[2] = {std::min(e.start.z, e.end.z), std::max(e.start.z, e.end.z)};
      if (ex[0] > hi.x || ex[1] < lo.x || ey[0] > hi.y || ey[1] < lo.y || ez[0] > hi.z ||
          ez[1] < lo.z)
        return true;
    }
  }
  return false;
}

TEST(SolidHierarchy, CrossingsOfFacesFarFromTheEdgeAreKept) {
  // A turned prism and a copy of it moved along one of its own edges: the edge then lies in the
  // copy's face plane, up to rounding, and the reference counts some such edges as crossing
  // faces far from them. Pruning by boxes would lose these answers; the hierarchy must not.
  const Polyhedron prism =
      test::prism({{2, 0}, {6, 0}, {8, 3.5}, {6, 7}, {2, 7}, {0, 3.5}}, 0, 6, "hexprism");
  const std::vector<Orientation> table = buildOrientations(3);
  int far = 0;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const Polyhedron a = turned(prism, 3, k);
    const PreparedSolid fastA = withHierarchy(a);
    for (const Edge& along : a.edges) {
      for (const double times : {1.5, 2.5}) {
        Polyhedron b = a;
        b.translate(
            {times * along.direction.x, times * along.direction.y, times * along.direction.z});
        const PreparedSolid fastB = withHierarchy(b);
        const bool expected = edgesCrossFaces(a, b);
        ASSERT_EQ(
            edgesCrossFacesByHierarchy(fastA, fastB) || edgesCrossFacesByHierarchy(fastB, fastA),
            expected)
            << "orientation " << k;
        far += crossesFarAway(a, b) || crossesFarAway(b, a);
      }
    }
  }
  EXPECT_GT(far, 0);
}

}  // namespace
}  // namespace tessera
