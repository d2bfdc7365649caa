#include "placement/placement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "placement/invariants.h"
#include "placement/occupancy_grid.h"
#include "placement/voxelise.h"
#include "support/packing.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::occupiedCount;

// A quarter of the RN 1 table without rounding: the half turn about z, entries exactly 0 or 1.
Orientation halfTurnAboutZ() {
  Orientation t = identityTransform();
  t.m[0][0] = -1;
  t.m[1][1] = -1;
  return t;
}

TEST(Placement, FindPositionTakesLowestLayerThenXThenY) {
  PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {10, 10, 10}), {}, 1, 1);
  Polyhedron cube = test::cube(2);
  cube.cellSide = 1;
  voxelise(cube);
  ASSERT_EQ(cube.anchorK, 1);  // the bottom layer of samples lies on the bottom face
  // The cube's bottom may not lie on the container floor (its vertices there are outside),
  // so the anchor layer cannot be z = 1; the faces x = 0 and y = 0 of the container hold.
  Position p = findPosition(system, cube);
  EXPECT_TRUE(p.fits);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(p.z, 2);
  EXPECT_EQ(p.score, 1.0);  // reference point (the box minimum) one cell above the floor

  system.grid.cells[system.grid.index(0, 0, 2)] = 1;
  p = findPosition(system, cube);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 1);
  EXPECT_EQ(p.z, 2);
  EXPECT_TRUE(exactFit(system, 0, 0, 2, cube));  // the grid is not the exact test's business
  EXPECT_FALSE(exactFit(system, 0, 0, 1, cube));
}

TEST(Placement, EqualScoresKeepTheEarlierOrientation) {
  for (bool identityFirst : {true, false}) {
    Polyhedron cube = test::cube(2);
    cube.referencePoint = {1, 1, 1};  // the centre: both orientations score alike
    PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {6, 6, 6}), {cube}, 1, 1);
    system.orientationTable = identityFirst
                                  ? std::vector<Orientation>{identityTransform(), halfTurnAboutZ()}
                                  : std::vector<Orientation>{halfTurnAboutZ(), identityTransform()};
    Part& part = system.parts[0];
    placePart(system, part);
    // Vertex 0 is the cube's own minimum corner; the half turn carries it to the maximum x and y.
    const Point v = part.vertices[0];
    EXPECT_EQ(v.x, identityFirst ? part.boxMin.x : part.boxMax.x);
    EXPECT_EQ(v.y, identityFirst ? part.boxMin.y : part.boxMax.y);
  }
}

TEST(Placement, PlacedPartRestsInTheCornerWithoutBitmap) {
  Polyhedron cube = test::cube(2, "block");
  cube.volume = 8;
  PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {6, 6, 6}), {cube}, 1, 1);
  Part& part = system.parts[0];
  placePart(system, part);
  EXPECT_FALSE(part.hasBitmap());
  EXPECT_TRUE(part.bitmap.empty());
  EXPECT_EQ(part.id, 0);
  EXPECT_EQ(part.name, "block");
  EXPECT_EQ(part.volume, 8);
  EXPECT_EQ(part.boxMin.x, 0.0);
  EXPECT_EQ(part.boxMin.y, 0.0);
  EXPECT_GT(part.boxMin.z, 0.0);  // slid down to within a stride below 0.01 of the floor
  EXPECT_LT(part.boxMin.z, 0.01);
  EXPECT_NEAR(part.boxMax.x, 2.0, 1e-12);
  EXPECT_GT(occupiedCount(system), 0);
  const std::vector<int> placed{0};
  EXPECT_EQ(gridMismatch(system, placed), "");
  EXPECT_EQ(partOutsideContainer(system, placed), "");
}

TEST(Placement, PartWiderThanTheContainerStaysParked) {
  PackingSystem system =
      test::makeSystem(test::box({0, 0, 0}, {4, 4, 4}), {test::box({0, 0, 0}, {5, 1, 1})}, 1, 1);
  Part& part = system.parts[0];
  placePart(system, part);
  EXPECT_EQ(part.vertices, system.masterParts[0].vertices);
  EXPECT_EQ(part.boxMin, system.container.boxMax);
  EXPECT_FALSE(part.hasBitmap());
  EXPECT_EQ(occupiedCount(system), 0);
}

TEST(Placement, FittingWithoutBeatingTheStartingScoreLeavesThePartParked) {
  // The container's top is at z = 0, so the starting best score is 0; a reference point far
  // above the part scores higher in both upright orientations, although the part fits.
  Polyhedron cube = test::cube(1);
  cube.referencePoint = {0.5, 0.5, 100};
  PackingSystem system = test::makeSystem(test::box({0, 0, -6}, {6, 6, 0}), {cube}, 1, 1);
  system.orientationTable = {identityTransform(), halfTurnAboutZ()};
  Polyhedron probe = system.parts[0];
  voxelise(probe);
  ASSERT_TRUE(findPosition(system, probe).fits);
  placePart(system, system.parts[0]);
  EXPECT_EQ(system.parts[0].vertices, system.masterParts[0].vertices);
  EXPECT_EQ(occupiedCount(system), 0);
}

TEST(Placement, SlideStopsAtContactAndDoesNotMoveAPartAlreadyThere) {
  const double lift = 1.0 / 256;  // binary fractions make each refused stride undo exactly
  PackingSystem system =
      test::makeSystem(test::box({0, 0, 0}, {6, 6, 6}), {test::cube(1), test::cube(1)}, 1, 1);
  Part& resting = system.parts[0];
  resting.translate(minus(Point{1, 1, lift}, resting.boxMin));
  const std::vector<Point> before = resting.vertices;
  slide(system, resting, {0, 0, -1});
  EXPECT_EQ(resting.vertices, before);

  Part& falling = system.parts[1];
  falling.translate(minus(Point{1.5, 1.5, 4}, falling.boxMin));
  slide(system, falling, {0, 0, -1});
  EXPECT_GT(falling.boxMin.z, resting.boxMax.z);  // stopped on top of the first cube
  EXPECT_LT(falling.boxMin.z, resting.boxMax.z + 0.01);
  EXPECT_EQ(falling.boxMin.x, 1.5);
  slide(system, falling, {-1, 0, 0});  // the first cube lies wholly below: nothing in the way
  EXPECT_EQ(falling.boxMin.x, 0.0);    // vertices on the container's face x = 0 count as inside
  EXPECT_EQ(interferingPair(system, {0, 1}), "");
}

TEST(Placement, ZeroStrideSlideEndsWithoutMoving) {
  // No extent along z gives a stride of 0; the slide must end rather than repeat a null move.
  Polyhedron flat = test::box({0, 0, 0}, {1, 1, 0});
  PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {6, 6, 6}), {flat}, 1, 1);
  Part& part = system.parts[0];
  part.translate(minus(Point{2, 2, 3}, part.boxMin));
  const std::vector<Point> before = part.vertices;
  slide(system, part, {0, 0, -1});
  EXPECT_EQ(part.vertices, before);
}

TEST(Placement, SmallProjectLayoutKeepsItsInvariantsAfterEveryPlacement) {
  for (PlacementRule rule : {PlacementRule::lowestPoint, PlacementRule::lowestTop}) {
    PackingSystem system = test::smallProject(2);
    system.placementRule = rule;
    const PackingSequence sequence = test::sequenceOf({2, 0, 3, 1});  // the L-shape first
    clearGrid(system);
    std::vector<int> placed;
    for (int id : sequence.items) {
      placePart(system, *system.parts.findById(id));
      placed.push_back(id);
      EXPECT_EQ(layoutViolations(system, test::sequenceOf(placed)), "")
          << "after part " << id << ", rule " << static_cast<int>(rule);
    }
    EXPECT_EQ(placedIds(system, sequence).size(), 4u);
  }
}

TEST(Placement, LowestTopLaysDownAPoleThatLowestPointStandsUp) {
  // The reference point in the middle of an end face: standing on that end it is lowest,
  // lying down the pole's top is.
  Polyhedron pole = test::box({0, 0, 0}, {1, 1, 3}, "pole");
  pole.referencePoint = {0.5, 0.5, 0};
  for (PlacementRule rule : {PlacementRule::lowestPoint, PlacementRule::lowestTop}) {
    PackingSystem system = test::makeSystem(test::box({0, 0, 0}, {5, 5, 5}), {pole}, 0.5, 2);
    system.placementRule = rule;
    Part& part = system.parts[0];
    ASSERT_TRUE(placePart(system, part));
    const double height = part.boxMax.z - part.boxMin.z;
    if (rule == PlacementRule::lowestPoint) {
      EXPECT_EQ(height, 3.0);
      EXPECT_LT(part.referencePoint.z, 0.01);
    } else {
      EXPECT_LT(std::fabs(height - 1.0), 1e-9);
      EXPECT_LT(part.boxMax.z, 1.01);
    }
  }
}

}  // namespace
}  // namespace tessera
