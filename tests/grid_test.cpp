#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/input_error.h"
#include "placement/occupancy_grid.h"
#include "support/packing.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::occupiedCount;

Project withContainer(const Point& min, const Point& max, double pbsl) {
  Project project;
  project.container = test::box(min, max);
  project.PBSL = pbsl;
  return project;
}

TEST(Grid, ExtentsRoundCellEdgesAndAddOne) {
  const OccupancyGrid grid = buildGrid(withContainer({0, 0, 0}, {30, 31, 50}, 1));
  EXPECT_EQ(grid.gridX, 31);
  EXPECT_EQ(grid.gridY, 32);
  EXPECT_EQ(grid.gridZ, 51);
  EXPECT_EQ(grid.cells.size(), 50592u);
  EXPECT_EQ(occupiedCount(grid), 0);

  Project halves = withContainer({0, 0, 0}, {5, 30.4, 30.5}, 2);
  EXPECT_EQ(buildGrid(halves).gridX, 4);  // 2.5 edges round up to 3
  halves.PBSL = 1;
  const OccupancyGrid fine = buildGrid(halves);
  EXPECT_EQ(fine.gridY, 31);
  EXPECT_EQ(fine.gridZ, 32);
  EXPECT_EQ(fine.cells.size(), 6u * 31u * 32u);
  EXPECT_EQ(fine.pbsl, 1.0);
}

TEST(Grid, ByteIndexHasYFastestThenXThenZ) {
  OccupancyGrid grid;
  grid.gridX = 10;
  grid.gridY = 20;
  grid.gridZ = 30;
  EXPECT_EQ(grid.index(2, 3, 4), 843u);
}

TEST(Grid, CellCornersAndMarksStartAtContainerBoxMinimum) {
  OccupancyGrid grid = buildGrid(withContainer({10, 10, 0}, {40, 41, 50}, 1));
  EXPECT_EQ(cellCorner(grid, 0, 0, 0), (Point{10, 10, 0}));
  EXPECT_EQ(cellCorner(grid, 3, 2, 1), (Point{13, 12, 1}));
  markPart(grid, test::box({10.5, 9.5, -0.5}, {11.5, 10.5, 0.5}));
  EXPECT_EQ(occupiedCount(grid), 1);
  EXPECT_EQ(grid.cells[grid.index(1, 0, 0)], 1);  // the corner (11, 10, 0)
}

TEST(Grid, AbsurdSizesAreRefusedBeforeAllocating) {
  const Point origin{0, 0, 0};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double pbsl : {0.0, -1.0, nan, 1e-9}) {
    EXPECT_THROW(buildGrid(withContainer(origin, {30, 31, 50}, pbsl)), InputError) << pbsl;
  }
  Project huge = withContainer(origin, {1e308, 1, 1}, 1);
  EXPECT_THROW(buildGrid(huge), InputError);
  // Each extent fits an int but the product exceeds the cell budget.
  EXPECT_THROW(buildGrid(withContainer(origin, {2000, 2000, 1000}, 1)), InputError);
}

// A 2 x 3 x 1 bitmap with the cells (0, 2, 0) (the anchor) and (1, 0, 0) occupied.
Polyhedron twoCellPart() {
  Polyhedron p;
  p.cellsX = 2;
  p.cellsY = 3;
  p.cellsZ = 1;
  p.bitmap.assign(6, 0);
  p.bitmap[2 + 3 * 0] = 1;
  p.bitmap[0 + 3 * 1] = 1;
  p.anchorI = 0;
  p.anchorJ = 2;
  p.anchorK = 0;
  return p;
}

TEST(Grid, BitmapFitsOffsetsOccupiedCellsFromTheAnchor) {
  OccupancyGrid grid = buildGrid(withContainer({0, 0, 0}, {4, 4, 4}, 1));
  const Polyhedron part = twoCellPart();
  EXPECT_FALSE(bitmapFits(grid, part, 0, 0, 0));  // cell (1, 0, 0) would land on y = -2
  EXPECT_TRUE(bitmapFits(grid, part, 0, 2, 0));
  EXPECT_FALSE(bitmapFits(grid, part, 4, 2, 0));  // (1, 0, 0) would land on x = 5
  EXPECT_TRUE(bitmapFits(grid, part, 3, 4, 4));   // empty cells may hang out of the grid

  grid.cells[grid.index(1, 0, 0)] = 1;
  EXPECT_FALSE(bitmapFits(grid, part, 0, 2, 0));
  grid.cells[grid.index(1, 0, 0)] = 0;
  grid.cells[grid.index(1, 2, 0)] = 1;  // under an empty part cell
  EXPECT_TRUE(bitmapFits(grid, part, 0, 2, 0));

  Polyhedron empty = part;
  empty.bitmap.assign(6, 0);
  for (int x = 0; x < grid.gridX; ++x) EXPECT_TRUE(bitmapFits(grid, empty, x, 2, 0));
}

TEST(Grid, MarkPartSamplesCornersAndNeverClears) {
  OccupancyGrid grid = buildGrid(withContainer({0, 0, 0}, {10, 10, 10}, 1));
  const Polyhedron part = test::box({2, 2, 2}, {4, 4, 4});
  markPart(grid, part);
  // Corners on the faces x = 2, x = 4, y = 2 and z = 4 are inside; on y = 4 and z = 2 not.
  EXPECT_EQ(occupiedCount(grid), 3 * 2 * 2);
  const OccupancyGrid& g = grid;
  EXPECT_EQ(g.cells[g.index(2, 2, 4)], 1);
  EXPECT_EQ(g.cells[g.index(4, 3, 3)], 1);
  EXPECT_EQ(g.cells[g.index(3, 4, 3)], 0);
  EXPECT_EQ(g.cells[g.index(3, 3, 2)], 0);

  const std::vector<std::uint8_t> once = g.cells;
  markPart(grid, part);
  EXPECT_EQ(g.cells, once);

  grid.cells[g.index(7, 7, 7)] = 1;  // a cell of some other part stays
  markPart(grid, test::box({6, 6, 6}, {6.5, 6.5, 6.5}));
  EXPECT_EQ(g.cells[g.index(7, 7, 7)], 1);

  clearGrid(grid);
  EXPECT_EQ(occupiedCount(grid), 0);
  EXPECT_EQ(g.cells.size(), 11u * 11u * 11u);
}

}  // namespace
}  // namespace tessera
