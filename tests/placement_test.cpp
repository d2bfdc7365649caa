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
  const Project project = test::makeProject(test::box({0, 0, 0}, {10, 10, 10}), {}, 1, 1);
  PlacementState state(project);
  Polyhedron cube = test::cube(2);
  cube.cellSide = 1;
  voxelise(cube);
  ASSERT_EQ(cube.anchorK, 1);  // the bottom layer of samples lies on the bottom face
  // The cube's bottom may not lie on the container floor (its vertices there are outside),
  // so the anchor layer cannot be z = 1; the faces x = 0 and y = 0 of the container hold.
  Position p = findPosition(state, cube);
  EXPECT_TRUE(p.fits);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(p.z, 2);
  EXPECT_EQ(p.score, 1.0);  // reference point (the box minimum) one cell above the floor

  state.grid.cells[state.grid.index(0, 0, 2)] = 1;
  p = findPosition(state, cube);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 1);
  EXPECT_EQ(p.z, 2);
  EXPECT_TRUE(exactFit(state, 0, 0, 2, cube));  // the grid is not the exact test's business
  EXPECT_FALSE(exactFit(state, 0, 0, 1, cube));
}

TEST(Placement, EqualScoresKeepTheEarlierOrientation) {
  for (bool identityFirst : {true, false}) {
    Polyhedron cube = test::cube(2);
    cube.referencePoint = {1, 1, 1};  // the centre: both orientations score alike
    Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {cube}, 1, 1);
    project.orientationTable =
        identityFirst ? std::vector<Orientation>{identityTransform(), halfTurnAboutZ()}
                      : std::vector<Orientation>{halfTurnAboutZ(), identityTransform()};
    PlacementState state(project);
    ASSERT_TRUE(placePart(state, 0));
    EXPECT_EQ(state.placements[0].orientation, 0);  // the earlier entry of the table
    // Vertex 0 is the cube's own minimum corner; the half turn carries it to the maximum x and y.
    const Part& part = state.solids[0];
    const Point v = part.vertices[0];
    EXPECT_EQ(v.x, identityFirst ? part.boxMin.x : part.boxMax.x);
    EXPECT_EQ(v.y, identityFirst ? part.boxMin.y : part.boxMax.y);
  }
}

TEST(Placement, PlacedPartRestsInTheCornerWithoutBitmapAndItsPlacementSaysWhere) {
  Polyhedron cube = test::cube(2, "block");
  cube.volume = 8;
  const Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {cube}, 1, 1);
  PlacementState state(project);
  ASSERT_TRUE(placePart(state, 0));
  const Part& part = state.solids[0];
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
  EXPECT_GT(occupiedCount(state.grid), 0);
  const std::vector<int> placed{0};
  EXPECT_EQ(gridMismatch(state.grid, state.solids, placed), "");
  EXPECT_EQ(partOutsideContainer(project.container, state.solids, placed), "");
  // The placement: placed, its box the solid's, its motion replaying to the solid bit for bit.
  const PartPlacement& where = state.placements[0];
  EXPECT_TRUE(where.placed);
  EXPECT_EQ(where.boxMin, part.boxMin);
  EXPECT_EQ(where.boxMax, part.boxMax);
  EXPECT_EQ(movedSolid(project, 0, where.motion).vertices, part.vertices);
}

TEST(Placement, PartWiderThanTheContainerStaysParked) {
  const Project project =
      test::makeProject(test::box({0, 0, 0}, {4, 4, 4}), {test::box({0, 0, 0}, {5, 1, 1})}, 1, 1);
  PlacementState state(project);
  EXPECT_FALSE(placePart(state, 0));
  const Part& part = state.solids[0];
  EXPECT_EQ(part.vertices, project.parts[0].vertices);
  EXPECT_EQ(part.boxMin, project.container.boxMax);
  EXPECT_FALSE(part.hasBitmap());
  EXPECT_EQ(state.placements[0], parkedPlacement(project, 0));
  EXPECT_EQ(occupiedCount(state.grid), 0);
}

TEST(Placement, FittingWithoutBeatingTheStartingScoreLeavesThePartParked) {
  // The container's top is at z = 0, so the starting best score is 0; a reference point far
  // above the part scores higher in both upright orientations, although the part fits.
  Polyhedron cube = test::cube(1);
  cube.referencePoint = {0.5, 0.5, 100};
  Project project = test::makeProject(test::box({0, 0, -6}, {6, 6, 0}), {cube}, 1, 1);
  project.orientationTable = {identityTransform(), halfTurnAboutZ()};
  PlacementState state(project);
  Polyhedron probe = project.parts[0];
  voxelise(probe);
  ASSERT_TRUE(findPosition(state, probe).fits);
  EXPECT_FALSE(placePart(state, 0));
  EXPECT_EQ(state.solids[0].vertices, project.parts[0].vertices);
  EXPECT_FALSE(state.placements[0].placed);
  EXPECT_EQ(occupiedCount(state.grid), 0);
}

TEST(Placement, SlideStopsAtContactAndDoesNotMoveAPartAlreadyThere) {
  const double lift = 1.0 / 256;  // binary fractions make each refused stride undo exactly
  const Project project =
      test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {test::cube(1), test::cube(1)}, 1, 1);
  PlacementState state(project);
  Part& resting = state.solids[0];
  resting.translate(minus(Point{1, 1, lift}, resting.boxMin));
  const std::vector<Point> before = resting.vertices;
  slide(state, 0, {0, 0, -1});
  EXPECT_EQ(resting.vertices, before);

  Part& falling = state.solids[1];
  falling.translate(minus(Point{1.5, 1.5, 4}, falling.boxMin));
  const std::size_t steps = state.placements[1].motion.size();
  slide(state, 1, {0, 0, -1});
  EXPECT_GT(falling.boxMin.z, resting.boxMax.z);  // stopped on top of the first cube
  EXPECT_LT(falling.boxMin.z, resting.boxMax.z + 0.01);
  EXPECT_EQ(falling.boxMin.x, 1.5);
  EXPECT_GT(state.placements[1].motion.size(), steps);  // every stride taken is in its motion
  slide(state, 1, {-1, 0, 0});       // the first cube lies wholly below: nothing in the way
  EXPECT_EQ(falling.boxMin.x, 0.0);  // vertices on the container's face x = 0 count as inside
  EXPECT_EQ(interferingPair(state.solids, {0, 1}), "");
}

TEST(Placement, ZeroStrideSlideEndsWithoutMoving) {
  // No extent along z gives a stride of 0; the slide must end rather than repeat a null move.
  Polyhedron flat = test::box({0, 0, 0}, {1, 1, 0});
  const Project project = test::makeProject(test::box({0, 0, 0}, {6, 6, 6}), {flat}, 1, 1);
  PlacementState state(project);
  Part& part = state.solids[0];
  part.translate(minus(Point{2, 2, 3}, part.boxMin));
  const std::vector<Point> before = part.vertices;
  slide(state, 0, {0, 0, -1});
  EXPECT_EQ(part.vertices, before);
}

TEST(Placement, SmallProjectLayoutKeepsItsInvariantsAfterEveryPlacement) {
  for (PlacementRule rule : {PlacementRule::lowestPoint, PlacementRule::lowestTop}) {
    const Project project = test::smallProject(2);
    PlacementState state(project, rule);
    const PackingSequence sequence = test::sequenceOf({2, 0, 3, 1});  // the L-shape first
    std::vector<int> placed;
    for (int id : sequence.items) {
      placePart(state, id);
      placed.push_back(id);
      const Layout layout = makeLayout(project, state.placements);
      EXPECT_EQ(layoutViolations(project, layout, state.grid, test::sequenceOf(placed)), "")
          << "after part " << id << ", rule " << static_cast<int>(rule);
    }
    EXPECT_EQ(placedIds(makeLayout(project, state.placements), sequence).size(), 4u);
  }
}

TEST(Placement, LowestTopLaysDownAPoleThatLowestPointStandsUp) {
  // The reference point in the middle of an end face: standing on that end it is lowest,
  // lying down the pole's top is.
  Polyhedron pole = test::box({0, 0, 0}, {1, 1, 3}, "pole");
  pole.referencePoint = {0.5, 0.5, 0};
  for (PlacementRule rule : {PlacementRule::lowestPoint, PlacementRule::lowestTop}) {
    const Project project = test::makeProject(test::box({0, 0, 0}, {5, 5, 5}), {pole}, 0.5, 2);
    PlacementState state(project, rule);
    ASSERT_TRUE(placePart(state, 0));
    const Part& part = state.solids[0];
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
