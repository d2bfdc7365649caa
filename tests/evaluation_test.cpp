#include "placement/evaluation.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/solid_checks.h"
#include "placement/fast_evaluation.h"
#include "placement/invariants.h"
#include "placement/placement.h"
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
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const auto efficiencyOf = [&](const std::vector<Polyhedron>& parts) {
    const Project project = test::loadedProject(container, parts, 1, 1);
    return test::layoutAtSources(project).measure.efficiency();
  };
  const std::vector<Polyhedron> placed{slabOf(300, 0, 3), slabOf(200, 5, 12), slabOf(100, 0, 5)};
  EXPECT_EQ(efficiencyOf(placed), 600.0 / 11160.0);
  std::vector<Polyhedron> withParked = placed;
  withParked.push_back(slabOf(50, 50, 54));  // found no place: parked above the container
  EXPECT_EQ(efficiencyOf(withParked), 650.0 / 50220.0);
}

TEST(Evaluation, SmallProjectPlacesEveryPartWithinTheInvariants) {
  const Project project = test::smallProject(2);
  const PackingSequence sequence = test::identitySequence(4);
  PlacementState state(project);
  const Layout layout = evaluate(state, sequence);
  EXPECT_EQ(layoutViolations(project, layout, state.grid, sequence), "");
  EXPECT_EQ(placedIds(layout, sequence).size(), 4u);
  EXPECT_EQ(layout.measure.placedCount, 4);
  EXPECT_GT(layout.measure.efficiency(), 0.0);
  EXPECT_LT(layout.measure.efficiency(), 1.0);
  // The project is read, never changed: every part stays parked there.
  EXPECT_EQ(project.parts[0].vertices, test::smallProject(2).parts[0].vertices);
}

TEST(Evaluation, RepeatingASequenceRepeatsTheLayoutBitForBit) {
  const Project project = test::smallProject(2);
  const PackingSequence sequence = test::sequenceOf({3, 1, 2, 0});
  PlacementState state(project);
  const Layout first = evaluate(state, sequence);
  const std::vector<std::uint8_t> grid = state.grid.cells;
  const Layout second = evaluate(state, sequence);  // the state's last layout is undone first
  EXPECT_EQ(first.parts, second.parts);
  EXPECT_EQ(first.measure.efficiency(), second.measure.efficiency());
  EXPECT_EQ(state.grid.cells, grid);
  EXPECT_EQ(evaluate(project, sequence).parts, first.parts);
  // A different id order gives a different layout, so the comparisons above can fail.
  EXPECT_NE(evaluate(project, test::sequenceOf({0, 1, 2, 3})).parts, first.parts);
}

TEST(Evaluation, CountsThePartsPlacementPlacedNotThoseBelowTheTop) {
  // Parking the pole puts its bottom one ulp below the container's top; it fits nowhere.
  const Polyhedron container = test::box({0, 0, 0}, {5, 5, 7.7}, "container");
  const Project project = test::makeProject(
      container, {test::box({0, 0, 1.1}, {1, 1, 9.1}, "pole"), test::cube(1.5)}, 1, 1);
  ASSERT_LT(project.parts[0].boxMin.z, container.boxMax.z);
  const Layout reference = evaluate(project, test::identitySequence(2));
  EXPECT_EQ(reference.measure.placedCount, 1);
  EXPECT_EQ(reference.parts[0].boxMin.z, project.parts[0].boxMin.z);  // still parked there
  EXPECT_EQ(unplacedParts(reference), std::vector<int>{0});

  FastEvaluator fast(2);
  const Layout fastLayout = fast.evaluate(project, test::identitySequence(2));
  EXPECT_EQ(fastLayout.measure.placedCount, 1);
  EXPECT_EQ(unplacedParts(fastLayout), std::vector<int>{0});
}

#if !defined(NDEBUG) || defined(TESSERA_ASSERTS)
TEST(EvaluationDeathTest, AnIdThatNamesNoPartIsAProgrammingError) {
  Project project = test::smallProject(1);
  EXPECT_DEATH(evaluate(project, test::sequenceOf({0, 1, 9, 3})), "assertion failed");
  EXPECT_DEATH(evaluate(project, test::sequenceOf({0, 1})), "assertion failed");
}
#endif

}  // namespace
}  // namespace tessera
