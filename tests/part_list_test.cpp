// The part list's sort and id lookup against the straightforward forms they replace.
#include "model/part_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace tessera {
namespace {

// The sort as it was first written, O(n^2): b walks from the last part to the front; each
// round moves the first smallest part in front of b to just behind b when it is smaller than
// the part at b.
void selectionSortReference(std::vector<Part>& parts) {
  for (std::size_t b = parts.size(); b-- > 1;) {
    std::size_t m = b;
    double best = parts[b].volume;
    for (std::size_t i = 0; i < b; ++i) {
      if (parts[i].volume < best) {
        m = i;
        best = parts[i].volume;
      }
    }
    if (m != b) {
      auto first = parts.begin() + static_cast<std::ptrdiff_t>(m);
      std::rotate(first, first + 1, parts.begin() + static_cast<std::ptrdiff_t>(b) + 1);
    }
  }
}

// Parts tagged by their id with volumes drawn from a few values, so that ties abound.
std::vector<Part> randomParts(std::mt19937& random, int n, const std::vector<double>& values) {
  std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
  std::vector<Part> parts(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    parts[static_cast<std::size_t>(i)].volume = values[pick(random)];
    parts[static_cast<std::size_t>(i)].id = i;
  }
  return parts;
}

std::vector<int> idsOf(const PartList& list) {
  std::vector<int> ids;
  for (const Part& part : list) ids.push_back(part.id);
  return ids;
}

TEST(PartListSort, GivesExactlyTheOrderOfRepeatedSelectionTiesIncluded) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::vector<double>> volumeSets = {
      {1, 2, 3}, {5}, {0.0, -0.0, 1, 1, 2}, {1, 2, nan, 3}, {nan, nan, 4, -inf, inf, 0.5},
  };
  std::mt19937 random(15);
  int compared = 0;
  for (const std::vector<double>& values : volumeSets) {
    for (int n : {0, 1, 2, 3, 5, 8, 13, 40, 200}) {
      for (int round = 0; round < 30; ++round) {
        std::vector<Part> reference = randomParts(random, n, values);
        PartList list;
        for (auto it = reference.rbegin(); it != reference.rend(); ++it) list.pushFront(*it);
        selectionSortReference(reference);
        list.sortByVolumeDescending();
        std::vector<int> expected;
        for (const Part& part : reference) expected.push_back(part.id);
        ASSERT_EQ(idsOf(list), expected) << "n " << n << " round " << round;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 5 * 9 * 30);
}

TEST(PartListLookup, FindsEveryIdNumberedOrNot) {
  PartList list;
  for (int id : {4, 0, 7, 2}) {  // not positions: found by the scan
    Part part;
    part.id = id;
    list.pushFront(part);
  }
  // Front to back: 2, 7, 0, 4.
  EXPECT_EQ(list.positionOf(2), 0);
  EXPECT_EQ(list.positionOf(7), 1);
  EXPECT_EQ(list.positionOf(0), 2);
  EXPECT_EQ(list.positionOf(4), 3);
  EXPECT_EQ(list.positionOf(1), -1);
  EXPECT_EQ(list.findById(5), nullptr);
  EXPECT_EQ(list.findById(7)->id, 7);

  PartList numbered;
  for (int id = 99; id >= 0; --id) {
    Part part;
    part.id = id;
    numbered.pushFront(part);
  }
  for (int id = 0; id < 100; ++id) EXPECT_EQ(numbered.findById(id), &numbered[id]);
  EXPECT_EQ(numbered.findById(100), nullptr);
  EXPECT_EQ(numbered.findById(-1), nullptr);
}

}  // namespace
}  // namespace tessera
