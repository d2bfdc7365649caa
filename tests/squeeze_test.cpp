#include "squeeze/squeeze.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/orientations.h"
#include "geometry/predicates.h"
#include "placement/prepared_solid.h"
#include "placement/worker_pool.h"
#include "squeeze/distance_field.h"
#include "squeeze/gjk.h"
#include "squeeze/layout_check.h"
#include "squeeze/problem.h"
#include "squeeze/random.h"
#include "squeeze/separator.h"
#include "squeeze/shapes.h"
#include "support/solids.h"
#include "support/squeeze_problems.h"

namespace tessera {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(const Point& a, const Point& b) {
  return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z);
}

// A square pyramid whose apex leans off centre: few of its faces stay axis-aligned when turned.
Polyhedron pyramid() {
  const Point base[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const Point apex{0.7, 1.2, 1.6};
  Polyhedron p;
  p.name = "pyramid";
  p.volume = 4 * 1.6 / 3;
  p.vertices.assign(base, base + 4);
  p.vertices.push_back(apex);
  Face f;
  f.setPoints({base[0], base[3], base[2], base[1]});
  p.faces.push_back(f);
  for (int i = 0; i < 4; ++i) {
    f.setPoints({base[i], base[(i + 1) % 4], apex});
    p.faces.push_back(f);
    p.edges.push_back(Edge::between(base[i], base[(i + 1) % 4]));
    p.edges.push_back(Edge::between(base[i], apex));
  }
  p.computeBoundingBox();
  return p;
}

SqueezeProblem mixedProblem(int rn) {
  return test::problemInCode({6, 6, 30}, {test::lShape(), test::cube(1.5), test::tetrahedron()},
                             {3, 2, 2}, rn);
}

// The solid the search moves (turned once, then translated by the pose) is the realised part
// bit for bit: the exact tests of the search and of the check read the same doubles.
TEST(SqueezeRealise, SearchSolidEqualsFileGeometryTurnedAndMoved) {
  for (int rn : {2, 4}) {
    const SqueezeProblem problem = mixedProblem(rn);
    const ShapeCatalogue shapes(problem);
    const Point t{3.1, -2.7, 5.3000000000000007};
    for (int part : {0, 3, 5}) {
      const int type = problem.partType[static_cast<std::size_t>(part)];
      for (int o = 0; o < static_cast<int>(problem.orientations.size()); o += 7) {
        Polyhedron expected = problem.types[static_cast<std::size_t>(type)];
        expected.transform(problem.orientations[static_cast<std::size_t>(o)]);
        expected.translate(t);
        const Polyhedron realised = realisePart(problem, part, {o, t});
        ASSERT_EQ(realised.vertices.size(), expected.vertices.size());
        for (std::size_t v = 0; v < expected.vertices.size(); ++v)
          ASSERT_TRUE(sameBits(realised.vertices[v], expected.vertices[v]));
        PreparedSolid checked;
        prepareSolid(realised, checked);
        PreparedSolid searched;
        realiseShape(shapes.shape(type, o), t, searched);
        ASSERT_EQ(searched.vertices.size(), checked.vertices.size());
        for (std::size_t v = 0; v < checked.vertices.size(); ++v)
          ASSERT_TRUE(sameBits(searched.vertices[v], checked.vertices[v]));
        for (std::size_t e = 0; e < checked.edges.size(); ++e) {
          ASSERT_TRUE(sameBits(searched.edges[e].start, checked.edges[e].start));
          ASSERT_TRUE(sameBits(searched.edges[e].end, checked.edges[e].end));
          ASSERT_TRUE(sameBits(searched.edges[e].direction, checked.edges[e].direction));
        }
        for (std::size_t p = 0; p < checked.ring.size(); ++p)
          ASSERT_TRUE(sameBits(searched.ring[p], checked.ring[p]));
        for (std::size_t f = 0; f < checked.faces.size(); ++f) {
          const Plane& a = searched.faces[f].plane;
          const Plane& b = checked.faces[f].plane;
          ASSERT_TRUE(sameBits(a.a, b.a) && sameBits(a.b, b.b) && sameBits(a.c, b.c) &&
                      sameBits(a.d, b.d))
              << "rn " << rn << " orientation " << o << " face " << f;
        }
        ASSERT_TRUE(sameBits(searched.boxMin, checked.boxMin));
        ASSERT_TRUE(sameBits(searched.boxMax, checked.boxMax));
      }
    }
  }
}

TEST(SqueezeCheck, RefusesOverlapsAndPartsOutsideAndMeasuresTheHeight) {
  const SqueezeProblem problem =
      test::problemInCode({10, 10, 10}, {test::cube(2), test::lShape()}, {2, 1}, 1);
  // Orientation 2 of RN 1 is the identity.
  std::vector<Pose> poses{{2, {1, 1, 1}}, {2, {4, 1, 1}}, {2, {1, 5, 0.5}}};
  LayoutCheck check = checkLayout(problem, poses);
  EXPECT_TRUE(check.feasible());
  EXPECT_EQ(check.height, 3.0);  // the cubes' tops at 3, the L-shape's at 1.5
  EXPECT_EQ(packingHeight(problem, poses), 3.0);

  poses[1].translation = {2.5, 1.5, 1};  // into the first cube
  check = checkLayout(problem, poses);
  ASSERT_EQ(check.interfering.size(), 1u);
  EXPECT_EQ(check.interfering[0], std::make_pair(0, 1));

  poses[1].translation = {8.5, 1, 1};  // half through the wall at x = 10
  poses[2].translation = {1, 5, 0};    // on the floor, which counts as outside
  check = checkLayout(problem, poses);
  EXPECT_TRUE(check.interfering.empty());
  EXPECT_EQ(check.outside, (std::vector<int>{1, 2}));
}

TEST(SqueezeProblem, PacksIntoBoxesOnlyAndPartsThatFitAsPoses) {
  SqueezeProblem problem = test::problemInCode({10, 10, 10}, {test::cube(1)}, {1}, 1);
  EXPECT_EQ(squeezeRefusal(problem), "");
  problem.container = test::lShape("container");
  EXPECT_NE(squeezeRefusal(problem).find("not a box"), std::string::npos);
  // The containment test accepts points on the walls at the least and largest x and refuses
  // them on the wall at the largest y: a part exactly as long as the container along x fits,
  // one exactly as wide along y does not (the identity of RN 1 is no exact identity, so RN 2).
  const Strip strip = containerStrip(test::problemInCode({12, 10, 30}, {test::cube(1)}, {1}, 2));
  EXPECT_EQ(strip.low.x, 0.0);
  EXPECT_EQ(strip.high.x, 12.0);
  EXPECT_EQ(strip.low.y, 0.0);
  EXPECT_LT(strip.high.y, 10.0);
  EXPECT_GT(strip.low.z, 0.0);
  EXPECT_EQ(
      squeezeRefusal(test::problemInCode({12, 10, 30}, {test::box({0, 0, 0}, {12, 3, 3})}, {1}, 2)),
      "");
  const std::string refusal = squeezeRefusal(
      test::problemInCode({12, 10, 30}, {test::box({0, 0, 0}, {11, 10, 11}, "wide")}, {1}, 2));
  EXPECT_NE(refusal.find("\"wide\" fits in no orientation"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("largest y"), std::string::npos) << refusal;
}

TEST(SqueezeField, DistancesInsidePointsAndWinding) {
  EXPECT_DOUBLE_EQ(distanceToBoundary({0.5, 1, 1}, test::cube(2)), 0.5);
  EXPECT_DOUBLE_EQ(distanceToBoundary({3, 0.5, 0.5}, test::cube(1)), 2.0);
  EXPECT_DOUBLE_EQ(distanceToBoundary({0.3, 0.3, 0.5}, test::lShape()), 0.3);
  // Beyond the notch the nearest boundary point is a corner of the ring, (2, 1) or (1, 2).
  EXPECT_DOUBLE_EQ(distanceToBoundary({2.5, 2.5, 0.5}, test::lShape()), std::sqrt(2.5));
  EXPECT_FALSE(insideByWinding({0.5, 0.5, 0.5}, test::tetrahedron()));
  EXPECT_TRUE(insideByWinding({0.2, 0.2, 0.2}, test::tetrahedron()));
  // Square faces split along a diagonal: a ray from the centre along x meets the face x = 1
  // exactly on its diagonal, which the winding number does not mind.
  Polyhedron split = test::cube(1);
  std::vector<Face> triangles;
  for (const Face& f : split.faces) {
    Face t;
    t.setPoints({f.points[0], f.points[1], f.points[2]});
    triangles.push_back(t);
    t.setPoints({f.points[0], f.points[2], f.points[3]});
    triangles.push_back(t);
  }
  split.faces = triangles;
  EXPECT_TRUE(insideByWinding({0.5, 0.5, 0.5}, split));
  EXPECT_FALSE(insideByWinding({0.5, 0.5, 1.5}, split));
  EXPECT_FALSE(insideByWinding({1.5, 1.5, 0.5}, test::lShape()));
  EXPECT_TRUE(insideByWinding({0.5, 1.5, 0.5}, test::lShape()));
  EXPECT_TRUE(insideByWinding({0.5, 1.5, 0.5}, test::reversedRings(test::lShape())));

  for (const Polyhedron& solid : {test::cube(2), test::lShape(), test::tetrahedron(), pyramid()}) {
    const SolidField sf = solidField(solid);
    const DistanceField& f = sf.field;
    ASSERT_FALSE(sf.points.empty()) << solid.name;
    double weights = 0.0;
    for (const InsidePoint& p : sf.points) {
      EXPECT_TRUE(insideByWinding(p.at, solid)) << solid.name;
      EXPECT_NEAR(p.depth, distanceToBoundary(p.at, solid), 1e-6) << solid.name;
      weights += p.weight;
    }
    EXPECT_NEAR(weights, solid.volume, 1e-9 * solid.volume) << solid.name;
    // The field reads within its interpolation error of the true signed distance.
    const double error = f.spacing * std::sqrt(3.0);
    for (int k = 0; k < 200; ++k) {
      const Point q{solid.boxMin.x + (solid.boxMax.x - solid.boxMin.x) * ((k * 37) % 101) / 100.0,
                    solid.boxMin.y + (solid.boxMax.y - solid.boxMin.y) * ((k * 59) % 103) / 102.0,
                    solid.boxMin.z + (solid.boxMax.z - solid.boxMin.z) * ((k * 71) % 107) / 106.0};
      const double d = distanceToBoundary(q, solid);
      const double truth = insideByWinding(q, solid) ? d : -d;
      EXPECT_NEAR(f.at(q), truth, error) << solid.name << " at " << q.x << " " << q.y << " " << q.z;
    }
  }
  // Far outside the grid the field reads as outside.
  const SolidField cube = solidField(test::cube(2));
  EXPECT_LT(cube.field.at({50, 50, 50}), 0.0);
}

// Against the exact predicate on many relative positions: a proof that the hulls lie apart must
// never meet interfering solids, nor a proof of overlap of convex solids disjoint ones.
TEST(SqueezeHulls, ProofsAgreeWithTheExactTest) {
  const std::vector<Orientation> turns = buildOrientations(4);
  const Polyhedron solids[] = {test::cube(1.5), test::tetrahedron(), test::lShape(), pyramid()};
  int apart = 0;
  int overlap = 0;
  for (std::size_t s = 0; s < 4; ++s) {
    for (std::size_t u = 0; u < 4; ++u) {
      Polyhedron a = solids[s];
      a.transform(turns[(s * 37 + 11) % turns.size()]);
      Polyhedron b = solids[u];
      b.transform(turns[(u * 53 + 5) % turns.size()]);
      const bool convex = s != 2 && u != 2 && s != 3 && u != 3;
      for (int k = 0; k < 400; ++k) {
        const Point shift{-2.5 + 5.0 * ((k * 7919) % 400) / 400.0,
                          -2.5 + 5.0 * ((k * 104729) % 397) / 397.0,
                          -2.5 + 5.0 * ((k * 1299709) % 389) / 389.0};
        Polyhedron moved = a;
        moved.translate(shift);
        const bool disjoint = polyhedraDisjoint(moved, b);
        const Hulls hulls = compareHulls(a.vertices, shift, b.vertices, 1e-9);
        if (hulls == Hulls::apart) {
          ++apart;
          ASSERT_TRUE(disjoint) << s << " " << u << " " << k;
        }
        if (hulls == Hulls::overlap && convex) {
          ++overlap;
          ASSERT_FALSE(disjoint) << s << " " << u << " " << k;
        }
      }
    }
  }
  EXPECT_GT(apart, 1000);
  EXPECT_GT(overlap, 100);
  // Two unit cubes an edge apart along a diagonal: no face plane separates them, GJK does.
  const std::vector<Point> cube = test::cube(1).vertices;
  Polyhedron turned = test::cube(1);
  turned.transform(turns[1]);  // 45 degrees about z
  EXPECT_EQ(compareHulls(turned.vertices, {1.8, 0.5, 0.2}, cube, 1e-9), Hulls::apart);
  EXPECT_EQ(compareHulls(cube, {1.0, 0.0, 0.0}, cube, 1e-9) == Hulls::apart, false);
}

TEST(SqueezeStart, PosesOfTheGreedyLayoutRealiseItsParts) {
  const test::LoadedExample quick = test::loadExample(std::string(TESSERA_EXAMPLES_DIR) + "/quick");
  ASSERT_EQ(quick.start.size(), 7u);
  ASSERT_EQ(quick.placed.size(), 7u);
  for (std::size_t id = 0; id < quick.placed.size(); ++id) {
    ASSERT_TRUE(quick.layout.parts[id].placed);
    const Polyhedron& part = quick.placed[id];
    const Polyhedron realised = realisePart(quick.problem, static_cast<int>(id), quick.start[id]);
    ASSERT_EQ(realised.vertices.size(), part.vertices.size());
    for (std::size_t v = 0; v < part.vertices.size(); ++v) {
      EXPECT_NEAR(realised.vertices[v].x, part.vertices[v].x, 1e-9);
      EXPECT_NEAR(realised.vertices[v].y, part.vertices[v].y, 1e-9);
      EXPECT_NEAR(realised.vertices[v].z, part.vertices[v].z, 1e-9);
    }
  }
}

// Parts keep their orientations when neither the samples across the strip nor those near the
// part may turn; allowed to, the same repair turns some.
TEST(SqueezeSeparator, TurnsOnlyWhereTheSamplesMay) {
  const SqueezeProblem problem = mixedProblem(2);
  std::vector<Pose> start = test::towerStart(problem);
  // Each type's last part onto another of its type: three pairs that coincide.
  start[2].translation = start[1].translation;
  start[4].translation = start[3].translation;
  start[6].translation = start[5].translation;
  const ShapeCatalogue shapes(problem);
  WorkerPool pool(1);
  auto turned = [&](double globalTurnShare, double turnShare) {
    SeparatorOptions options;
    options.globalTurnShare = globalTurnShare;
    options.turnShare = turnShare;
    Separator separator(problem, shapes, options, pool);
    separator.load(start, containerStrip(problem));
    EXPECT_FALSE(separator.collisionFree());
    SqueezeRandom random(3);
    EXPECT_TRUE(separator.separate(random, [] { return false; }));
    EXPECT_TRUE(checkLayout(problem, separator.poses()).feasible());
    int count = 0;
    for (std::size_t i = 0; i < start.size(); ++i)
      count += separator.poses()[i].orientation != start[i].orientation ? 1 : 0;
    return count;
  };
  EXPECT_EQ(turned(0.0, 0.0), 0);
  EXPECT_GT(turned(1.0, 1.0), 0);
}

SqueezeOptions budget(std::uint64_t moves, int threads, std::uint64_t seed = 7) {
  SqueezeOptions options;
  options.moveBudget = moves;
  options.timeLimit = 600;  // a guard only; the moves end the run
  options.threads = threads;
  options.seed = seed;
  return options;
}

TEST(Squeeze, FeasibleLayoutsOnlyAndNeverHigherThanTheStart) {
  const SqueezeProblem problem = mixedProblem(3);
  const std::vector<Pose> start = test::towerStart(problem);
  const LayoutCheck startCheck = checkLayout(problem, start);
  ASSERT_TRUE(startCheck.feasible());
  std::vector<double> heights;
  const SqueezeResult result =
      squeezeLayout(problem, start, budget(1500, 2),
                    [&](const std::vector<Pose>& poses, const SqueezeProgress& progress) {
                      const LayoutCheck check = checkLayout(problem, poses);
                      EXPECT_TRUE(check.feasible());
                      EXPECT_EQ(check.height, progress.height);
                      heights.push_back(progress.height);
                    });
  ASSERT_TRUE(result.feasible);
  const LayoutCheck final = checkLayout(problem, result.poses);
  EXPECT_TRUE(final.feasible());
  ASSERT_FALSE(heights.empty());
  EXPECT_LT(heights.front(), startCheck.height);
  for (std::size_t k = 1; k < heights.size(); ++k) EXPECT_LT(heights[k], heights[k - 1]);
  EXPECT_EQ(final.height, heights.back());
  EXPECT_EQ(final.height, result.progress.height);
  // The tower stands 20.75 high; seven small parts in a 6 x 6 floor fit far lower.
  EXPECT_LT(final.height, 0.5 * startCheck.height);
}

TEST(Squeeze, RepairsAStartTheExactTestsRefuse) {
  // The greedy layout as poses differs from the placed parts by rounding: parts slid onto the
  // floor or against each other come out a hair outside or into each other.
  const test::LoadedExample scale =
      test::loadExample(std::string(TESSERA_EXAMPLES_DIR) + "/scale/50");
  const LayoutCheck start = checkLayout(scale.problem, scale.start);
  ASSERT_FALSE(start.feasible());
  ASSERT_FALSE(start.outside.empty());
  const SqueezeResult result = squeezeLayout(scale.problem, scale.start, budget(400, 2));
  ASSERT_TRUE(result.feasible);
  const LayoutCheck check = checkLayout(scale.problem, result.poses);
  EXPECT_TRUE(check.feasible());
  EXPECT_LE(check.height, start.height);
}

void expectSamePoses(const std::vector<Pose>& a, const std::vector<Pose>& b, const char* what) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].orientation, b[i].orientation) << what << " part " << i;
    EXPECT_TRUE(sameBits(a[i].translation, b[i].translation)) << what << " part " << i;
  }
}

TEST(Squeeze, SameSeedSamePosesOnOneTwoAndFourThreads) {
  const test::LoadedExample quick = test::loadExample(std::string(TESSERA_EXAMPLES_DIR) + "/quick");
  for (int workers : {1, 2}) {
    SqueezeOptions options = budget(800, 1);
    options.workers = workers;
    options.exchangeEvery = 150;
    const SqueezeResult one = squeezeLayout(quick.problem, quick.start, options);
    ASSERT_TRUE(one.feasible);
    EXPECT_GE(one.progress.moves, 800u);
    options.threads = 2;
    expectSamePoses(one.poses, squeezeLayout(quick.problem, quick.start, options).poses, "2");
    options.threads = 4;
    expectSamePoses(one.poses, squeezeLayout(quick.problem, quick.start, options).poses, "4");
    // Another seed takes another path.
    options.seed = 8;
    EXPECT_NE(squeezeLayout(quick.problem, quick.start, options).poses, one.poses);
  }
}

}  // namespace
}  // namespace tessera
