#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "placement/bit_rows.h"
#include "placement/column_index.h"
#include "placement/mark.h"
#include "placement/slide.h"

// The rooms of the fast path against what their headers promise, worked out cell by cell.
namespace tessera {
namespace {

// One grid row of `cells` cells, bits set where taken, in `words` words.
std::vector<Word> rowOf(const std::vector<bool>& taken, int words) {
  std::vector<Word> row(static_cast<std::size_t>(words), 0);
  for (std::size_t y = 0; y < taken.size(); ++y)
    if (taken[y]) row[y / 64] |= Word{1} << (y % 64);
  return row;
}

// The free cells a policy leaves for one run (start, length) over a random row, refusing the
// cells below `below` and those past the row.
template <typename Rows>
std::vector<int> freeCells(const std::vector<bool>& anchorRow, const std::vector<bool>& other,
                           int cells, int words, int start, int length, int below) {
  RowBuffers buffers;
  Rows rows(words, buffers);
  typename Rows::Mask mask{};
  std::vector<bool> refused(static_cast<std::size_t>(words) * 64, false);
  for (std::size_t y = static_cast<std::size_t>(cells); y < refused.size(); ++y) refused[y] = true;
  const std::vector<Word> anchorWords = rowOf(anchorRow, words);
  const std::vector<Word> refusedWords = rowOf(refused, words);
  const std::vector<Word> otherWords = rowOf(other, words);
  rows.start(mask, anchorWords.data(), refusedWords.data());
  rows.refuseBelow(mask, below);
  if (!Rows::empty(otherWords.data(), words)) rows.addRun(mask, otherWords.data(), start, length);
  std::vector<int> found;
  rows.forEachFree(mask, [&](int y) {
    found.push_back(y);
    return false;
  });
  EXPECT_EQ(rows.full(mask), found.empty());
  return found;
}

TEST(PlacementRooms, EveryRowPolicyRefusesExactlyTheCellsARunWouldHit) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int cells = 1 + static_cast<int>(random() % 128);
    const int words = (cells + 63) / 64;
    std::vector<bool> anchorRow(static_cast<std::size_t>(cells)), other(anchorRow.size());
    for (std::size_t y = 0; y < anchorRow.size(); ++y) {
      anchorRow[y] = random() % 7 == 0;
      other[y] = random() % 9 == 0;
    }
    const int start = static_cast<int>(random() % 21) - 10;
    const int length = 1 + static_cast<int>(random() % 12);
    // Anchor cells whose run would begin before the row are the caller's to refuse.
    const int below = std::max(static_cast<int>(random() % 4 == 0 ? random() % 140 : 0), -start);
    std::vector<int> expected;
    for (int y = below; y < cells; ++y) {
      bool hit = anchorRow[static_cast<std::size_t>(y)];
      for (int c = y + start; c < y + start + length; ++c)
        hit = hit || (c >= 0 && c < cells && other[static_cast<std::size_t>(c)]);
      if (!hit) expected.push_back(y);
    }
    EXPECT_EQ(expected, freeCells<ManyWords>(anchorRow, other, cells, words, start, length, below))
        << "trial " << trial;
    if (words == 1) {
      EXPECT_EQ(expected, freeCells<OneWord>(anchorRow, other, cells, 1, start, length, below));
    }
    EXPECT_EQ(expected, freeCells<TwoWords>(anchorRow, other, cells, 2, start, length, below))
        << "trial " << trial;
  }
}

TEST(PlacementRooms, ColumnIndexVisitsEveryOverlappingBoxOnceAndNaNBoxesEverywhere) {
  ColumnIndex index;
  index.reset({0, 0, 0}, 4.0, 5, 5);
  std::mt19937 random(3);
  std::uniform_real_distribution<double> at(-3.0, 23.0), extent(0.0, 6.0);
  std::vector<Point> lo, hi;
  for (int p = 0; p < 60; ++p) {
    const double x = at(random), y = at(random);
    lo.push_back({x, y, 0});
    hi.push_back({x + extent(random), y + extent(random), 1});
  }
  lo[5].x = std::nan("");  // filed under every column
  for (std::size_t p = 0; p < 60; ++p) index.add(static_cast<int>(p), lo[p], hi[p]);
  std::vector<std::uint32_t> seen;
  std::uint32_t stamp = 0;
  for (int probe = 0; probe < 200; ++probe) {
    const Point a{at(random), at(random), 0};
    const Point b{a.x + extent(random), a.y + extent(random), 1};
    std::vector<int> visits(60, 0);
    EXPECT_TRUE(index.allNear(a, b, seen, stamp, 60, [&](int p) {
      ++visits[static_cast<std::size_t>(p)];
      return true;
    }));
    for (std::size_t p = 0; p < 60; ++p) {
      EXPECT_LE(visits[p], 1) << "part " << p;
      const bool overlaps = a.x < hi[p].x && lo[p].x < b.x && a.y < hi[p].y && lo[p].y < b.y;
      if (overlaps || p == 5) {
        EXPECT_EQ(visits[p], 1) << "part " << p << ", probe " << probe;
      }
    }
  }
  // A refusal stops the visit and is reported.
  int calls = 0;
  EXPECT_FALSE(index.allNear({-5, -5, 0}, {30, 30, 1}, seen, stamp, 60, [&](int) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1);
}

TEST(PlacementRooms, SlideHalvesItsStrideUntilAStrideBelowAHundredthIsRefused) {
  // A part of extent 2 (PBSL 1: strides 0.25, 0.125, ...) above a floor at z = 0.3.
  double z = 1.0;
  int moves = 0;
  slideAlong(
      {0, 0, 1}, {2, 2, 3}, 1.0, {0, 0, -2},
      [&](const Point& m) {
        EXPECT_EQ(m.x, 0.0);
        z += m.z;
        ++moves;
      },
      [&] { return z >= 0.3; });
  // It ends at the lowest z above the floor reachable by strides down to 0.25 / 32.
  EXPECT_GE(z, 0.3);
  EXPECT_LT(z, 0.3 + 0.25 / 32);
  EXPECT_GT(moves, 6);
  // A flat part has a stride of 0 and never moves.
  moves = 0;
  slideAlong(
      {0, 0, 1}, {2, 2, 1}, 1.0, {0, 0, -1}, [&](const Point&) { ++moves; }, [] { return true; });
  EXPECT_EQ(moves, 0);
}

TEST(PlacementRooms, MarkingTestsOnlyFreeCellsNearTheBoxAndTakesThoseInside) {
  OccupancyGrid grid;
  grid.gridX = grid.gridY = grid.gridZ = 6;
  grid.pbsl = 1.0;
  grid.cells.assign(216, 0);
  grid.cells[grid.index(2, 2, 2)] = 1;
  MarkScratch scratch;
  int tested = 0, taken = 0;
  // Box [1.6, 3.4]^3: cells 2 and 3 on each axis are within half a cell; "inside" is x < 3.
  markCells(
      grid, {1.6, 1.6, 1.6}, {3.4, 3.4, 3.4}, scratch,
      [](double, double, std::span<const double> xs, std::span<const std::uint8_t> free,
         std::span<std::uint8_t> inside) {
        ASSERT_EQ(xs.size(), 2u);
        EXPECT_EQ(xs[0], 2.0);
        for (std::size_t a = 0; a < xs.size(); ++a)
          if (free[a] != 0) inside[a] = xs[a] < 3.0 ? 1 : 0;
      },
      [&](int x, int, int, bool inside) {
        ++tested;
        taken += inside ? 1 : 0;
        EXPECT_EQ(inside, x == 2);
      });
  EXPECT_EQ(tested, 7);  // 8 cells near the box, one already taken
  EXPECT_EQ(taken, 3);
  int occupied = 0;
  for (std::uint8_t c : grid.cells) occupied += c;
  EXPECT_EQ(occupied, 4);
}

}  // namespace
}  // namespace tessera
