#include "placement/voxelise.h"

#include <gtest/gtest.h>

#include "model/input_error.h"
#include "support/packing.h"
#include "support/solids.h"

namespace tessera {
namespace {

Polyhedron withCell(Polyhedron p, double cellSide) {
  p.cellSide = cellSide;
  return p;
}

int bit(const Polyhedron& p, int i, int j, int k) {
  return p.bitmap[static_cast<std::size_t>(j + p.cellsY * (i + p.cellsX * k))];
}

TEST(Voxelise, ExtentsTruncateAndSamplesRunFromBoxMinimumToTopFace) {
  Polyhedron p = withCell(test::box({0, 0, 0}, {2.5, 1.2, 3}), 1);
  voxelise(p);
  EXPECT_EQ(p.cellsX, 3);
  EXPECT_EQ(p.cellsY, 2);
  EXPECT_EQ(p.cellsZ, 4);  // exactly 3 cells tall: samples at 0, 1, 2 and 3
  ASSERT_EQ(p.bitmap.size(), 24u);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(bit(p, i, j, 0), 0);  // the bottom face is outside
      for (int k = 1; k < 4; ++k) EXPECT_EQ(bit(p, i, j, k), 1) << i << j << k;  // k = 3: top
    }
  EXPECT_EQ(p.anchorI, 0);
  EXPECT_EQ(p.anchorJ, 0);
  EXPECT_EQ(p.anchorK, 1);
  EXPECT_EQ(p.anchorPoint, (Point{0, 0, 1}));

  Polyhedron thin = withCell(test::box({0.25, 0, 0.5}, {0.75, 2, 2.5}), 1);
  voxelise(thin);
  EXPECT_EQ(thin.cellsX, 1);  // one sample, on the face x = boxMin.x
  EXPECT_EQ(thin.anchorPoint, (Point{0.25, 0, 1.5}));
}

TEST(Voxelise, AnchorScansXOutermost) {
  // The corner at the origin is cut off, so sample (0, 0) is out while (0, 1) and (1, 0) are in.
  Polyhedron p = withCell(test::prism({{0.5, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0.5}}, -0.5, 0.7), 1);
  voxelise(p);
  ASSERT_EQ(p.cellsZ, 2);
  EXPECT_EQ(bit(p, 0, 0, 1), 0);
  EXPECT_EQ(bit(p, 1, 0, 1), 1);
  EXPECT_EQ(bit(p, 0, 1, 1), 1);
  EXPECT_EQ(p.anchorI, 0);
  EXPECT_EQ(p.anchorJ, 1);
  EXPECT_EQ(p.anchorK, 1);
  EXPECT_EQ(p.anchorPoint, (Point{0, 1, 0.5}));
}

TEST(Voxelise, RevoxelisingReplacesTheBitmap) {
  Polyhedron p = withCell(test::box({0, 0, 0}, {3, 1, 1}), 1);
  voxelise(p);
  EXPECT_EQ(p.bitmap.size(), 4u * 2u * 2u);
  Transform turn = identityTransform();  // a quarter turn about z: x goes to y
  turn.m[0][0] = 0;
  turn.m[0][1] = 1;
  turn.m[1][0] = -1;
  turn.m[1][1] = 0;
  p.transform(turn);
  voxelise(p);
  EXPECT_EQ(p.cellsX, 2);
  EXPECT_EQ(p.cellsY, 4);
  EXPECT_EQ(p.bitmap.size(), 16u);
}

TEST(Voxelise, NoInsideSampleKeepsTheOldAnchorCell) {
  Polyhedron p = withCell(test::box({1, 0, 0}, {1, 2, 2}), 0.5);  // no extent along x
  p.anchorI = 5;
  p.anchorJ = 6;
  p.anchorK = 7;
  voxelise(p);
  for (std::uint8_t b : p.bitmap) EXPECT_EQ(b, 0);
  EXPECT_EQ(p.anchorI, 5);
  EXPECT_EQ(p.anchorK, 7);
  EXPECT_EQ(p.anchorPoint, (Point{1 + 0.5 * 5, 0.5 * 6, 0.5 * 7}));
}

TEST(Voxelise, OversizedBitmapsAreRefused) {
  Polyhedron tiny = withCell(test::cube(30), 1e-9);
  EXPECT_THROW(voxelise(tiny), InputError);
  EXPECT_TRUE(tiny.bitmap.empty());

  const Polyhedron container = test::box({0, 0, 0}, {40, 40, 40});
  Project fine = test::makeProject(container, {test::cube(30)}, 10, 1);
  EXPECT_NO_THROW(checkCellBudget(fine));
  // 1000 cells along each axis of the box, but about 1732 along its diagonal: every
  // orientation is bounded by the diagonal.
  Project turned = test::makeProject(container, {test::cube(1)}, 10, 4);
  turned.parts[0].cellSide = 1.0 / 1240;
  EXPECT_THROW(checkCellBudget(turned), InputError);
  // Upright only (RN 1), its bitmaps are 1241 cells along each axis: within the budget.
  turned.RN = 1;
  EXPECT_NO_THROW(checkCellBudget(turned));
  turned.parts[0].cellSide = 0;
  EXPECT_THROW(checkCellBudget(turned), InputError);
}

TEST(Voxelise, LongThinPartsWithSmallBitmapsAreAccepted) {
  // A 1300 x 1 x 1 rod: its box diagonal bounds a cube of 1302^3 cells, beyond the budget,
  // but its bitmaps in the upright orientations are 1301 x 2 x 2 cells at most.
  const Polyhedron container = test::box({0, 0, 0}, {1400, 10, 10});
  Project rod = test::makeProject(container, {test::box({0, 0, 0}, {1300, 1, 1}, "rod")}, 1, 1);
  EXPECT_NO_THROW(checkCellBudget(rod));
  buildOrientations(rod);
  for (const Orientation& orientation : rod.orientationTable) {
    Polyhedron copy = rod.parts[0];
    copy.transform(orientation);
    EXPECT_NO_THROW(voxelise(copy));
  }
  // At a cell of 1/1024, even the upright bitmaps would hold more cells than the budget.
  rod.parts[0].cellSide = 1.0 / 1024;
  rod.RN = 6;
  EXPECT_THROW(checkCellBudget(rod), InputError);
}

}  // namespace
}  // namespace tessera
