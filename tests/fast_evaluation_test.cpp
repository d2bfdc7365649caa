#include "placement/fast_evaluation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fast_solids.h"
#include "formats/project_loader.h"
#include "model/project.h"
#include "placement/evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"
#include "search/random.h"
#include "search/sequences.h"
#include "support/packing.h"
#include "support/run_folder.h"
#include "support/solids.h"

// Whole evaluations: FastEvaluator must leave the project exactly as the reference evaluate
// does (efficiency, every part field by field, every grid cell), sequence after sequence with
// its kept shapes warm, on any number of threads.
namespace tessera {
namespace {

/// What an evaluation leaves behind: its layout, every part's solid realised from it, the grid.
struct Outcome {
  Layout layout;
  std::vector<Polyhedron> solids;
  std::vector<std::uint8_t> cells;
};

/// Adds a failure naming the sequence and the first part that differs.
void expectSame(const Outcome& expected, const Outcome& actual, const std::string& where) {
  EXPECT_TRUE(
      test::sameBits(expected.layout.measure.efficiency(), actual.layout.measure.efficiency()))
      << where << ": efficiency " << actual.layout.measure.efficiency() << ", reference "
      << expected.layout.measure.efficiency();
  ASSERT_EQ(expected.solids.size(), actual.solids.size()) << where;
  for (std::size_t i = 0; i < expected.solids.size(); ++i) {
    EXPECT_TRUE(expected.layout.parts[i] == actual.layout.parts[i]) << where << ": placement " << i;
    const std::string diff = test::differences(expected.solids[i], actual.solids[i]);
    EXPECT_EQ(diff, "") << where << ": part " << i;
    if (!diff.empty()) return;  // one part is enough to find the fault
  }
  EXPECT_TRUE(expected.cells == actual.cells) << where << ": grid cells differ";
}

/// The reference evaluation of s; the layout's motions must replay to the solids placement
/// moved, bit for bit.
Outcome referenceOutcome(const Project& project, const PackingSequence& s, PlacementRule rule) {
  PlacementState state(project, rule);
  Outcome outcome{evaluate(state, s), {}, state.grid.cells};
  outcome.solids = placedSolids(project, outcome.layout);
  for (std::size_t i = 0; i < outcome.solids.size(); ++i) {
    EXPECT_TRUE(test::sameBits(outcome.solids[i].vertices, state.solids[i].vertices))
        << "part " << i << " replayed";
    EXPECT_TRUE(test::sameBits(outcome.solids[i].boxMax, state.solids[i].boxMax));
  }
  return outcome;
}

Outcome fastOutcome(FastEvaluator& fast, const Project& project, const PackingSequence& s) {
  Outcome outcome{fast.evaluate(project, s), {}, fast.grid().cells};
  outcome.solids = placedSolids(project, outcome.layout);
  return outcome;
}

/// Evaluates every sequence with the reference and with fast evaluators of 1 and 2 threads
/// (or those given; each kept across the sequences, as the search keeps one), with each of the
/// given sets of shortcuts (by default all of them on).
void expectFastMatchesReference(
    const Project& project, const std::vector<PackingSequence>& sequences, const std::string& name,
    const std::vector<int>& threadCounts = {1, 2}, PlacementRule rule = PlacementRule::lowestPoint,
    const std::vector<CrossPlacementShortcuts>& shortcutSets = {CrossPlacementShortcuts{}}) {
  std::vector<Outcome> expected;
  for (const PackingSequence& s : sequences) expected.push_back(referenceOutcome(project, s, rule));
  for (std::size_t set = 0; set < shortcutSets.size(); ++set) {
    for (int threads : threadCounts) {
      FastEvaluator fast(threads, rule, shortcutSets[set]);
      for (std::size_t i = 0; i < sequences.size(); ++i) {
        expectSame(expected[i], fastOutcome(fast, project, sequences[i]),
                   name + ", sequence " + std::to_string(i) + ", " + std::to_string(threads) +
                       " thread(s), shortcut set " + std::to_string(set));
        if (testing::Test::HasFailure()) return;
      }
    }
  }
}

/// The identity, then random permutations of the ids.
std::vector<PackingSequence> sequencesFor(int n, int count, test::Draw& draw) {
  std::vector<PackingSequence> sequences{test::identitySequence(n)};
  for (int k = 1; k < count; ++k) {
    PackingSequence s = test::identitySequence(n);
    for (int i = n - 1; i > 0; --i)
      std::swap(s.items[static_cast<std::size_t>(i)],
                s.items[static_cast<std::size_t>(draw.below(i + 1))]);
    sequences.push_back(s);
  }
  return sequences;
}

/// Several shapes with copies, convex and not, turned or not, RN 1 to 4 by seed, cell edges
/// that do not divide the container; containers tight enough that some parts find no place.
Project randomProject(int seed, test::Draw& draw, std::string& name) {
  const double cellEdges[] = {0.7, 1.0, 1.3};
  const int rn = 1 + (seed - 1) % 4;
  const double pbsl = cellEdges[seed % 3];
  std::vector<Polyhedron> parts;
  const int shapes = 2 + draw.below(3);
  for (int s = 0; s < shapes; ++s) {
    Polyhedron shape = test::randomSolid(draw, draw.between(1.2, 2.6));
    shape.name = "shape" + std::to_string(s);
    const int copies = 1 + draw.below(3);
    for (int c = 0; c < copies; ++c) parts.push_back(shape);
  }
  const Polyhedron container = test::box(
      {0, 0, 0}, {draw.between(3.5, 5.5), draw.between(3.5, 5.5), draw.between(3, 6)}, "container");
  name = "seed " + std::to_string(seed) + " (RN " + std::to_string(rn) + ", PBSL " +
         std::to_string(pbsl) + ")";
  return test::makeProject(container, parts, pbsl, rn);
}

TEST(FastEvaluation, RandomProjectsMatchTheReferenceBitForBit) {
  for (int seed = 1; seed <= 12; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(seed));
    std::string name;
    Project project = randomProject(seed, draw, name);
    SCOPED_TRACE(name);
    expectFastMatchesReference(project, sequencesFor(project.sequenceLength, 4, draw), name);
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, ShortcutsOnAndOffMatchTheReferenceOnOneToFourThreads) {
  // Every cross-placement shortcut on, all off, and each one off alone, with many copies per
  // shape so that scans resume and witnesses carry over. The layouts stay the same; the exact
  // tests done (which the column index does not change, as it only spares box tests) grow
  // when scans start at the bottom, or the switch would not reach its shortcut.
  std::vector<CrossPlacementShortcuts> sets{{}, CrossPlacementShortcuts::none()};
  for (int off = 0; off < 3; ++off) {
    CrossPlacementShortcuts one;
    (off == 0 ? one.resumedScans : off == 1 ? one.columnIndex : one.witness) = false;
    sets.push_back(one);
  }
  for (int seed = 1; seed <= 4; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(200 + seed));
    std::vector<Polyhedron> parts;
    for (int s = 0; s < 2; ++s) {
      Polyhedron shape = test::randomSolid(draw, draw.between(1.0, 2.0));
      shape.name = "shape" + std::to_string(s);
      for (int c = 0; c < 4; ++c) parts.push_back(shape);
    }
    const Polyhedron container = test::box(
        {0, 0, 0}, {draw.between(5, 7), draw.between(5, 7), draw.between(4, 7)}, "container");
    const Project project = test::makeProject(container, parts, 0.8, 1 + seed % 3);
    const std::string name = "seed " + std::to_string(seed);
    SCOPED_TRACE(name);
    const std::vector<PackingSequence> sequences = sequencesFor(project.sequenceLength, 3, draw);
    expectFastMatchesReference(project, sequences, name, {1, 2, 3, 4}, PlacementRule::lowestPoint,
                               sets);
    if (HasFailure()) return;
    std::vector<std::uint64_t> work;
    for (const CrossPlacementShortcuts& set : sets) {
      FastEvaluator fast(1, PlacementRule::lowestPoint, set);
      fast.evaluate(project, sequences[0]);
      work.push_back(fast.exactTests());
    }
    EXPECT_LT(work[0], work[1]) << "all shortcuts on against all off";
    EXPECT_LT(work[0], work[2]) << "scans resumed against started at the bottom";
  }
}

/// How many placed parts of the layout take an orientation their type may not.
int turnedAgainstTheirRule(const Project& project, const Layout& layout) {
  int against = 0;
  for (int id = 0; id < project.parts.count(); ++id) {
    const PartPlacement& p = layout.parts[static_cast<std::size_t>(id)];
    if (p.placed &&
        !allowsTurn(project.partTypes[static_cast<std::size_t>(project.typeOf(id))].turns,
                    project.orientationTable[static_cast<std::size_t>(p.orientation)]))
      ++against;
  }
  return against;
}

TEST(FastEvaluation, TurnRulesPerTypeMatchTheReferenceAndAreKept) {
  // One type upright, one with a side kept down (RN 1 has no quarter turns: none there), the
  // others free; with every shortcut set. The same projects without rules must turn some part
  // against the rules, or the test would not reach them.
  const std::vector<CrossPlacementShortcuts> sets{{}, CrossPlacementShortcuts::none()};
  int turnedWithoutRules = 0;
  for (int seed = 1; seed <= 8; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(300 + seed));
    std::string name;
    Project project = randomProject(seed, draw, name);
    SCOPED_TRACE(name);
    const Project free = project;
    project.partTypes[0].turns = *parseTurnRule("upright");
    project.partTypes[1].turns = *parseTurnRule(project.RN == 1 ? "none" : "down=+x");
    buildOrientations(project);
    const std::vector<PackingSequence> sequences = sequencesFor(project.sequenceLength, 3, draw);
    for (const PackingSequence& s : sequences)
      turnedWithoutRules += turnedAgainstTheirRule(
          project, referenceOutcome(free, s, PlacementRule::lowestPoint).layout);
    ASSERT_FALSE(project.turnAllowed.empty());
    expectFastMatchesReference(project, sequences, name, {1, 2}, PlacementRule::lowestPoint, sets);
    if (HasFailure()) return;
    FastEvaluator fast(2);
    for (const PackingSequence& s : sequences) {
      EXPECT_EQ(turnedAgainstTheirRule(
                    project, referenceOutcome(project, s, PlacementRule::lowestPoint).layout),
                0);
      EXPECT_EQ(turnedAgainstTheirRule(project, fast.evaluate(project, s)), 0);
    }
  }
  EXPECT_GT(turnedWithoutRules, 0);
}

TEST(FastEvaluation, LowestTopRuleMatchesTheReferenceBitForBit) {
  // The same projects under the other rule; some of them must come out otherwise than under
  // the default rule, or the rule would not reach the placements.
  int changed = 0;
  for (int seed = 1; seed <= 8; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(seed));
    std::string name;
    Project project = randomProject(seed, draw, name);
    const std::vector<PackingSequence> sequences = sequencesFor(project.sequenceLength, 3, draw);
    FastEvaluator byDefault(1);
    const Layout before = byDefault.evaluate(project, sequences[0]);
    SCOPED_TRACE(name);
    expectFastMatchesReference(project, sequences, name, {1, 2}, PlacementRule::lowestTop);
    if (HasFailure()) return;
    const Layout after = evaluate(project, sequences[0], PlacementRule::lowestTop);
    if (before.parts != after.parts) ++changed;
  }
  EXPECT_GT(changed, 0);
}

TEST(FastEvaluation, GridRowsLongerThanAWordOnMoreThanTwoThreads) {
  // Containers 72 to 144 cells along y, so that every grid row spans two or three words, and
  // enough copies of each shape that later copies resume the scans of earlier ones.
  for (int seed = 1; seed <= 4; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(100 + seed));
    const int rn = 1 + seed % 2;
    std::vector<Polyhedron> parts;
    for (int s = 0; s < 3; ++s) {
      Polyhedron shape = test::randomSolid(draw, draw.between(1.2, 2.6));
      shape.name = "shape" + std::to_string(s);
      const int copies = 3 + draw.below(3);
      for (int c = 0; c < copies; ++c) parts.push_back(shape);
    }
    const Polyhedron container =
        test::box({0, 0, 0}, {draw.between(3, 4.5), draw.between(50, 100), draw.between(2.5, 4)},
                  "container");
    Project project = test::makeProject(container, parts, 0.7, rn);
    const int gridY = buildGrid(project).gridY;
    ASSERT_GT(gridY, 64);
    const std::string name = "seed " + std::to_string(seed) + " (RN " + std::to_string(rn) +
                             ", grid y " + std::to_string(gridY) + ")";
    SCOPED_TRACE(name);
    expectFastMatchesReference(project, sequencesFor(project.sequenceLength, 3, draw), name,
                               {1, 3, 4});
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, PartsNotParkedOnEntryAndPartsPlacedTwice) {
  // Scans may resume only while every refusal stays a refusal; a part that starts inside the
  // container moves when it is placed, and a part named twice is placed twice.
  Project project = test::smallProject(2);
  // Part 1 loaded with its box minimum on the container's: one move from its file, as parking.
  const Polyhedron& file = project.sources[static_cast<std::size_t>(project.sourceOfPart[1])];
  const Point offset = minus(project.container.boxMin, file.boxMin);
  Part inside = file;
  inside.cellSide = project.PBSL;
  inside.id = 1;
  inside.translate(offset);
  project.parts[1] = inside;
  project.parkOffset[1] = offset;
  const int n = project.sequenceLength;
  PackingSequence twice = test::identitySequence(n);
  twice.items[static_cast<std::size_t>(n - 1)] = twice.items[0];
  expectFastMatchesReference(project, {test::identitySequence(n), twice}, "not parked");
  const Project parked = test::smallProject(2);
  expectFastMatchesReference(parked, {twice}, "placed twice");
}

TEST(FastEvaluation, ContainerAwayFromTheOriginAndPartsThatFitNowhere) {
  // A container whose corner is not at the origin, and a part too tall for it: the shortcut
  // that looks only at placed parts must still leave the tall part parked.
  const Polyhedron container = test::box({-3.25, 1.5, 2}, {1.75, 6.5, 6}, "container");
  Project project =
      test::makeProject(container,
                        {test::box({0, 0, 0}, {1, 1, 7}, "pole"), test::lShape(), test::lShape(),
                         test::cube(1.5), test::tetrahedron(), test::tetrahedron()},
                        0.7, 2);
  test::Draw draw(99);
  expectFastMatchesReference(project, sequencesFor(project.sequenceLength, 5, draw), "offset");
}

TEST(FastEvaluation, BundledQuickExampleOverSearchNeighbours) {
  // The sequences the search itself would try first, drawn as it draws them.
  test::WorkingDirectory inside(std::string(TESSERA_EXAMPLES_DIR) + "/quick");
  Project project;
  loadProject(project, "project.txt");
  buildOrientations(project);
  std::vector<PackingSequence> sequences{test::identitySequence(project.sequenceLength)};
  Random random;
  TypeSequenceArchive archive;
  archive.insertSorted(toTypeSequence(project, sequences.front()));
  while (sequences.size() < 5) {
    std::optional<PackingSequence> next = makeNeighbour(project, sequences.back(), archive, random);
    ASSERT_TRUE(next.has_value());
    archive.insertSorted(toTypeSequence(project, *next));
    sequences.push_back(*next);
  }
  expectFastMatchesReference(project, sequences, "quick");
  expectFastMatchesReference(project, sequences, "quick, lowest top", {2},
                             PlacementRule::lowestTop);
}

TEST(FastEvaluation, BundledTwentyPartExample) {
  // RN 4 and twenty parts: the reference takes seconds here, so the identity only.
  test::WorkingDirectory inside(std::string(TESSERA_EXAMPLES_DIR) + "/twenty");
  Project project;
  loadProject(project, "project.txt");
  buildOrientations(project);
  expectFastMatchesReference(project, {test::identitySequence(project.sequenceLength)}, "twenty");
}

TEST(FastEvaluation, MeshesOfRevolutionAsFromCad) {
  // Triangle meshes of a few hundred faces: samples, grid corners and slides meet their ring
  // edges and flat bottoms, and parts of the same turned shape stand side by side.
  const std::vector<Polyhedron> parts = {
      test::wavyLathe(16, 12, "vase", 2.5), test::wavyLathe(16, 12, "vase", 2.5),
      test::wavyLathe(24, 8, "urn", 2.0), test::wavyLathe(24, 8, "urn", 2.0),
      test::lathe({{0, 0}, {1, 0}, {1, 1}, {0.5, 1.5}, {0, 1.5}}, 12, "pawn")};
  const Polyhedron container = test::box({0, 0, 0}, {4.5, 4, 5}, "container");
  for (const double pbsl : {0.5, 1.0}) {
    Project project = test::makeProject(container, parts, pbsl, 2);
    FastEvaluator probe(1);
    const Layout layout = probe.evaluate(project, test::identitySequence(project.sequenceLength));
    EXPECT_GE(layout.measure.placedCount, 4);  // the parts meet each other, not only the container
    test::Draw draw(7);
    expectFastMatchesReference(project, sequencesFor(project.sequenceLength, 3, draw),
                               "lathes, PBSL " + std::to_string(pbsl));
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, PublicInstanceParts) {
  // Five parts of a published instance (tests/data/projects/public-five/README.md).
  test::WorkingDirectory inside(test::dataPath("projects/public-five"));
  Project project;
  loadProject(project, "project.txt");
  buildOrientations(project);
  FastEvaluator probe(1);
  EXPECT_EQ(
      probe.evaluate(project, test::identitySequence(project.sequenceLength)).measure.placedCount,
      5);
  test::Draw draw(5);
  expectFastMatchesReference(project, sequencesFor(project.sequenceLength, 3, draw), "public five");
}

TEST(FastEvaluation, ASecondProjectWithOtherCellsDropsWhatWasKept) {
  // One evaluator, two projects in turn: shapes kept for the first must not leak into the
  // second, whose cell edge and orientations differ.
  Project first = test::smallProject(2);
  Project second = test::smallProject(3);
  second.PBSL = 0.7;
  for (Part& part : second.parts) part.cellSide = 0.7;
  FastEvaluator fast(2);
  for (const Project* project : {&first, &second, &first}) {
    const PackingSequence identity = test::identitySequence(project->sequenceLength);
    expectSame(referenceOutcome(*project, identity, PlacementRule::lowestPoint),
               fastOutcome(fast, *project, identity), "PBSL " + std::to_string(project->PBSL));
  }
}

}  // namespace
}  // namespace tessera
