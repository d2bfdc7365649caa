#include "placement/evaluation.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/solid_checks.h"
#include "placement/fast_evaluation.h"
#include "placement/invariants.h"
#include "support/packing.h"
#include "support/solids.h"

namespace tessera {
namespace {

Polyhedron slabOf(double volume, double bottom, double top) {
  Polyhedron p = test::box({1, 1, bottom}, {2, 2, top});
  p.volume = volume;
  return p;
}

TEST(Evaluation, EfficiencyCountsEveryPartParkedOnesIncluded) {
  PackingSystem system;
  system.container = test::box({0, 0, 0}, {30, 31, 50});
  system.container.boxMax = {1, 1, 1};  // stale on purpose: the box is recomputed first
  for (const Polyhedron& p : {slabOf(100, 0, 5), slabOf(200, 5, 12), slabOf(300, 0, 3)})
    system.parts.pushFront(p);
  EXPECT_EQ(packingEfficiency(system), 600.0 / 11160.0);
  EXPECT_EQ(system.container.boxMax, (Point{30, 31, 50}));

  system.parts.pushFront(slabOf(50, 50, 54));  // found no place: parked above the container
  EXPECT_EQ(packingEfficiency(system), 650.0 / 50220.0);
}

std::vector<std::vector<Point>> verticesById(const PackingSystem& system) {
  std::vector<std::vector<Point>> all;
  for (int id = 0; id < system.parts.count(); ++id)
    all.push_back(system.parts.findById(id)->vertices);
  return all;
}

TEST(Evaluation, SmallProjectPlacesEveryPartWithinTheInvariants) {
  PackingSystem system = test::smallProject(2);
  const PackingSequence sequence = test::identitySequence(4);
  const double efficiency = evaluate(system, sequence);
  EXPECT_EQ(layoutViolations(system, sequence), "");
  EXPECT_EQ(placedIds(system, sequence).size(), 4u);
  EXPECT_GT(efficiency, 0.0);
  EXPECT_LT(efficiency, 1.0);
}

TEST(Evaluation, RepeatingASequenceRepeatsTheLayoutBitForBit) {
  PackingSystem system = test::smallProject(2);
  const PackingSequence sequence = test::sequenceOf({3, 1, 2, 0});
  const double first = evaluate(system, sequence);
  const auto layout = verticesById(system);
  const auto grid = system.grid.cells;
  test::restoreParts(system);
  const double second = evaluate(system, sequence);
  EXPECT_EQ(first, second);
  EXPECT_EQ(verticesById(system), layout);
  EXPECT_EQ(system.grid.cells, grid);
}

TEST(Evaluation, LayoutDependsOnTheIdOrderNotOnTheListOrder) {
  const PackingSequence sequence = test::sequenceOf({1, 3, 0, 2});
  PackingSystem listed = test::smallProject(1);
  PackingSystem shuffled = test::smallProject(1);
  std::vector<Part> reordered;
  for (int i : {2, 0, 3, 1}) reordered.push_back(shuffled.parts[i]);
  shuffled.parts.clear();
  for (auto it = reordered.rbegin(); it != reordered.rend(); ++it) shuffled.parts.pushFront(*it);
  ASSERT_EQ(shuffled.parts[0].id, 2);

  EXPECT_EQ(evaluate(listed, sequence), evaluate(shuffled, sequence));
  EXPECT_EQ(verticesById(listed), verticesById(shuffled));
  EXPECT_EQ(listed.grid.cells, shuffled.grid.cells);
  // A different id order gives a different layout, so the comparison above can fail.
  PackingSystem other = test::smallProject(1);
  evaluate(other, test::sequenceOf({0, 1, 2, 3}));
  EXPECT_NE(verticesById(other), verticesById(listed));
}

TEST(Evaluation, CountsThePartsPlacementPlacedNotThoseBelowTheTop) {
  // Parking the pole puts its bottom one ulp below the container's top; it fits nowhere.
  const Polyhedron container = test::box({0, 0, 0}, {5, 5, 7.7}, "container");
  PackingSystem system = test::makeSystem(
      container, {test::box({0, 0, 1.1}, {1, 1, 9.1}, "pole"), test::cube(1.5)}, 1, 1);
  ASSERT_LT(system.parts[0].boxMin.z, container.boxMax.z);
  evaluate(system, test::identitySequence(2));
  EXPECT_EQ(system.placedParts, 1);
  EXPECT_LT(system.parts[0].boxMin.z, container.boxMax.z);  // still parked where it was
  EXPECT_EQ(partsWithoutPlace(system), std::vector<const Part*>{&system.parts[0]});

  test::restoreParts(system);
  FastEvaluator fast(2);
  fast.evaluate(system, test::identitySequence(2));
  EXPECT_EQ(system.placedParts, 1);
  EXPECT_EQ(partsWithoutPlace(system), std::vector<const Part*>{&system.parts[0]});
}

#if !defined(NDEBUG) || defined(TESSERA_ASSERTS)
TEST(EvaluationDeathTest, AnIdThatNamesNoPartIsAProgrammingError) {
  PackingSystem system = test::smallProject(1);
  EXPECT_DEATH(evaluate(system, test::sequenceOf({0, 1, 9, 3})), "assertion failed");
  EXPECT_DEATH(evaluate(system, test::sequenceOf({0, 1})), "assertion failed");
}
#endif

}  // namespace
}  // namespace tessera
