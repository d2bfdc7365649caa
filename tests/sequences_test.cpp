#include "search/sequences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include "search/random.h"
#include "support/project.h"

namespace tessera {
namespace {

PackingSequence sequenceOf(std::vector<std::int32_t> items, double efficiency = 0.0) {
  return {std::move(items), efficiency};
}

/// The next draw the generator would make, without advancing it.
int peek(const Random& random) {
  Random copy = random;
  return copy.next();
}

TEST(Random, StartsFromFixedStateWithKnownDraws) {
  Random random;
  const std::vector<int> first = {41, 18467, 6334, 26500, 19169};
  for (int expected : first) EXPECT_EQ(random.next(), expected);
}

TEST(DrawSwapCount, FollowsTheWeightsAtTheirBoundaries) {
  Random random;
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(drawSwapCount(1, random), 1);

  // n = 2: weights 2/3 and 1/3; no running sum exceeds the draw 32767 (a = 1.0): n.
  bool sawTop = false;
  for (int i = 0; i < 200000; ++i) {
    const int draw = peek(random);
    sawTop = sawTop || draw == Random::kMax;
    EXPECT_EQ(drawSwapCount(2, random), draw / 32767.0 < 2.0 / 3.0 ? 1 : 2) << draw;
  }
  EXPECT_TRUE(sawTop);
}

TEST(TypeSequence, MapsIdsThroughPartNamesAndKeepsEfficiency) {
  Project project = test::projectWithTypes({3, 2});
  EXPECT_EQ(toTypeSequence(project, sequenceOf({3, 0, 1, 4, 2}, 0.25)).items,
            (std::vector<std::int32_t>{1, 0, 0, 1, 0}));
  EXPECT_EQ(toTypeSequence(project, sequenceOf({3, 0, 1, 4, 2}, 0.25)).efficiency, 0.25);

  // Each part's type is settled when the parts are made: a type name listed twice resolves to
  // its first type, and an id sequence maps through that table.
  Project moved = test::projectWithTypes({1, 1, 1});
  EXPECT_EQ(toTypeSequence(moved, sequenceOf({2, 1, 0})).items,
            (std::vector<std::int32_t>{2, 1, 0}));
  moved.partTypes[2].name = "T0";
  moved.sources[2].name = "T0";
  parkParts(moved, {0, 1, 2});
  EXPECT_EQ(moved.typeOfPart, (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(toTypeSequence(moved, sequenceOf({2, 1, 0})).items,
            (std::vector<std::int32_t>{0, 1, 0}));
}

TEST(TypeSequenceCount, IsTheMultinomialAndSaturates) {
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes({1})), 1);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes({4})), 1);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes({3, 2})), 10);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes({2, 0, 1, 3})), 60);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes({20, 20})), 137846528820LL);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes(std::vector<int>(20, 1))),
            2432902008176640000LL);  // 20!
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes(std::vector<int>(21, 1))),
            kSaturatedCount);
  EXPECT_EQ(distinctTypeSequenceCount(test::projectWithTypes(std::vector<int>(60, 1))),
            kSaturatedCount);
}

TEST(MakeNeighbour, RetriesWithAccumulatedSwapsInDrawOrder) {
  // Three types; (0,1,2) and (0,2,1) are known. The first attempt swaps positions 2 and 1
  // (draws 41 -> one swap, 18467 % 3, 6334 % 3) into a known order; later attempts start from
  // there. The expected result and draw count follow the draw order by hand and script.
  Project project = test::projectWithTypes({1, 1, 1});
  TypeSequenceArchive archive;
  archive.insertSorted(sequenceOf({0, 1, 2}, 0.5));
  archive.insertSorted(sequenceOf({0, 2, 1}, 0.4));
  Random random;
  std::optional<PackingSequence> next =
      makeNeighbour(project, sequenceOf({0, 1, 2}, 0.5), archive, random);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->items, (std::vector<std::int32_t>{1, 2, 0}));
  EXPECT_EQ(next->efficiency, 0.5);
  EXPECT_EQ(random.next(), 292);  // the 25th draw: 24 were used

  // Swapping two copies of one type gives a known type sequence; a new one comes first try.
  Project five = test::projectWithTypes({3, 2});
  TypeSequenceArchive known;
  known.insertSorted(sequenceOf({0, 0, 0, 1, 1}, 0.6));
  Random fresh;
  next = makeNeighbour(five, sequenceOf({0, 1, 2, 3, 4}, 0.6), known, fresh);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->items, (std::vector<std::int32_t>{0, 1, 4, 3, 2}));
  EXPECT_EQ(fresh.next(), 26500);
}

TEST(MakeNeighbour, MaxSwapsBoundsTheChangeAndOnlyPositiveValuesApply) {
  // Twenty parts of distinct types, nothing known: the first attempt is taken, so the
  // neighbour is current changed by exactly the drawn swaps.
  Project project = test::projectWithTypes(std::vector<int>(20, 1));
  std::vector<std::int32_t> ids(20);
  std::iota(ids.begin(), ids.end(), 0);
  const PackingSequence current = sequenceOf(ids, 0.5);
  const TypeSequenceArchive empty;
  const auto changed = [&](int maxSwaps, std::uint32_t seed) {
    Random random(seed);
    const std::optional<PackingSequence> next =
        makeNeighbour(project, current, empty, random, maxSwaps);
    int positions = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) positions += next->items[i] != ids[i];
    return positions;
  };
  int widest = 0;
  // Seeds spread over the whole range: the first draw of a small seed is always small.
  for (std::uint32_t seed = 1; seed < 4000000000u; seed += 19999999u) {
    EXPECT_LE(changed(1, seed), 2) << seed;
    EXPECT_LE(changed(3, seed), 6) << seed;
    widest = std::max(widest, changed(0, seed));
    // A bound at or above the length is the specified draw, draw for draw.
    EXPECT_EQ(changed(20, seed), changed(0, seed));
    EXPECT_EQ(changed(99, seed), changed(0, seed));
  }
  EXPECT_GT(widest, 6);
}

TEST(MakeNeighbour, TwoTypesHaveOneNeighbourThenNone) {
  Project project = test::projectWithTypes({1, 1});
  TypeSequenceArchive archive;
  archive.insertSorted(sequenceOf({0, 1}, 0.5));
  Random random;
  std::optional<PackingSequence> next =
      makeNeighbour(project, sequenceOf({0, 1}, 0.5), archive, random);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->items, (std::vector<std::int32_t>{1, 0}));

  archive.insertSorted(sequenceOf({1, 0}, 0.4));
  EXPECT_TRUE(typeSequencesExhausted(project, archive));
  const int before = peek(random);
  EXPECT_FALSE(makeNeighbour(project, sequenceOf({1, 0}, 0.4), archive, random).has_value());
  EXPECT_EQ(random.next(), before);  // nothing was drawn
}

TEST(MakeNeighbour, ExhaustionCountsOnlyDistinctSequencesOfThisProject) {
  Project single = test::projectWithTypes({1});
  Project oneType = test::projectWithTypes({4});
  TypeSequenceArchive empty;
  EXPECT_FALSE(typeSequencesExhausted(single, empty));
  Random random;
  // With nothing known even the unchanged sequence is new.
  EXPECT_TRUE(makeNeighbour(oneType, sequenceOf({0, 1, 2, 3}), empty, random).has_value());

  TypeSequenceArchive allZero;
  allZero.insertSorted(sequenceOf({0, 0, 0, 0}, 0.3));
  EXPECT_TRUE(typeSequencesExhausted(oneType, allZero));
  EXPECT_FALSE(makeNeighbour(oneType, sequenceOf({3, 2, 1, 0}), allZero, random).has_value());

  // Duplicates and sequences of another project do not make up for a missing order.
  Project two = test::projectWithTypes({1, 1});
  TypeSequenceArchive padded;
  padded.insertSorted(sequenceOf({0, 1}, 0.5));
  padded.insertSorted(sequenceOf({0, 1}, 0.5));
  padded.insertSorted(sequenceOf({1, 1}, 0.2));
  padded.insertSorted(sequenceOf({0, 1, 2}, 0.1));
  EXPECT_FALSE(typeSequencesExhausted(two, padded));
  std::optional<PackingSequence> next = makeNeighbour(two, sequenceOf({0, 1}, 0.5), padded, random);
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->items, (std::vector<std::int32_t>{1, 0}));
}

TEST(MakeNeighbour, EveryNeighbourIsNewUntilAllOrdersAreKnown) {
  // 2 + 1 + 1 parts: 12 type orders. Recording each neighbour must reach all of them, each
  // returned sequence a permutation of the ids, and then stop.
  Project project = test::projectWithTypes({2, 1, 1});
  TypeSequenceArchive archive;
  PackingSequence current = sequenceOf({0, 1, 2, 3}, 0.1);
  archive.insertSorted(toTypeSequence(project, current));
  Random random;
  for (int i = 1; i < 12; ++i) {
    std::optional<PackingSequence> next = makeNeighbour(project, current, archive, random);
    ASSERT_TRUE(next.has_value()) << i;
    PackingSequence types = toTypeSequence(project, *next);
    EXPECT_FALSE(archive.contains(types));
    std::vector<std::int32_t> sorted = next->items;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::int32_t>{0, 1, 2, 3}));
    archive.insertSorted(types);
    current = *next;
  }
  EXPECT_FALSE(makeNeighbour(project, current, archive, random).has_value());
}

}  // namespace
}  // namespace tessera
