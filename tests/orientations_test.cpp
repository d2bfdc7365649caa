#include "geometry/orientations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace tessera {
namespace {

using Rows = std::vector<std::vector<double>>;  // rows 0..2, columns 0..2

void expectRows(const Orientation& o, const Rows& rows, double tolerance) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(o.m[r][c], rows[r][c], tolerance) << "row " << r << " column " << c;
}

double determinant(const Orientation& o) {
  const auto& m = o.m;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

TEST(Orientations, CountsFollowTheFormula) {
  const int expected[] = {0, 4, 24, 84, 208, 420, 744};
  for (int rn = 0; rn <= 6; ++rn) {
    EXPECT_EQ(orientationCountFor(rn), expected[rn]) << rn;
    EXPECT_EQ(buildOrientations(rn).size(), static_cast<std::size_t>(expected[rn])) << rn;
  }
}

TEST(Orientations, RN1IsTheFourHalfTurnsAndIdentity) {
  const std::vector<Orientation> t = buildOrientations(1);
  ASSERT_EQ(t.size(), 4u);
  expectRows(t[0], {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, 1e-15);
  expectRows(t[1], {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, 1e-15);
  expectRows(t[2], {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1e-15);
  expectRows(t[3], {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, 1e-15);
}

TEST(Orientations, RN4SelectedRows) {
  const std::vector<Orientation> t = buildOrientations(4);
  ASSERT_EQ(t.size(), 208u);
  const double h = 0.70710678;
  const double tol = 5e-5;
  expectRows(t[0], {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, tol);
  expectRows(t[1], {{-h, h, 0}, {h, h, 0}, {0, 0, -1}}, tol);
  expectRows(t[8], {{-h, 0, -h}, {0, 1, 0}, {h, 0, -h}}, tol);
  expectRows(t[32], {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1e-15);
  expectRows(t[40], {{-0.5, -0.5, -h}, {-h, h, 0}, {0.5, 0.5, -h}}, tol);
  expectRows(t[207], {{-0.1464, -0.8536, -0.5}, {0.8536, 0.1464, -0.5}, {0.5, -0.5, h}}, tol);
}

TEST(Orientations, RN2IsTheTwentyFourAxisPermutingRotations) {
  const std::vector<Orientation> t = buildOrientations(2);
  std::set<std::vector<int>> distinct;
  for (const Orientation& o : t) {
    std::vector<int> rounded;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        const double v = std::round(o.m[r][c]);
        EXPECT_LE(std::fabs(o.m[r][c] - v), 1e-15);
        rounded.push_back(static_cast<int>(v));
      }
    // Exactly one non-zero per row and column makes it a signed permutation.
    for (int i = 0; i < 3; ++i) {
      int inRow = 0, inColumn = 0;
      for (int j = 0; j < 3; ++j) {
        inRow += rounded[static_cast<std::size_t>(3 * i + j)] != 0;
        inColumn += rounded[static_cast<std::size_t>(3 * j + i)] != 0;
      }
      EXPECT_EQ(inRow, 1);
      EXPECT_EQ(inColumn, 1);
    }
    distinct.insert(rounded);
  }
  EXPECT_EQ(distinct.size(), 24u);
}

TEST(Orientations, EveryEntryIsAProperRotationWithoutTranslation) {
  for (int rn = 1; rn <= 6; ++rn) {
    for (const Orientation& o : buildOrientations(rn)) {
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(o.m[3][i], 0.0);
        EXPECT_EQ(o.m[i][3], 0.0);
        for (int j = 0; j < 3; ++j) {
          const double dot = o.m[i][0] * o.m[j][0] + o.m[i][1] * o.m[j][1] + o.m[i][2] * o.m[j][2];
          EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-14);
        }
      }
      EXPECT_EQ(o.m[3][3], 1.0);
      EXPECT_NEAR(determinant(o), 1.0, 1e-14);
    }
  }
}

TEST(Orientations, EntriesAreDistinctAndRebuildIsBitIdentical) {
  for (int rn : {3, 4}) {
    const std::vector<Orientation> first = buildOrientations(rn);
    const std::vector<Orientation> second = buildOrientations(rn);
    EXPECT_EQ(first, second);  // exact equality of every double
    for (std::size_t i = 0; i < first.size(); ++i)
      for (std::size_t j = i + 1; j < first.size(); ++j) {
        double gap = 0.0;
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c)
            gap = std::fmax(gap, std::fabs(first[i].m[r][c] - first[j].m[r][c]));
        EXPECT_GT(gap, 1e-6) << rn << ": " << i << " and " << j;
      }
  }
}

}  // namespace
}  // namespace tessera
