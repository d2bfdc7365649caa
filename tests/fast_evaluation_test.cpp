#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fast_solids.h"
#include "formats/project_loader.h"
#include "model/packing_system.h"
#include "placement/evaluation.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "search/random.h"
#include "search/sequences.h"
#include "support/packing.h"
#include "support/run_folder.h"
#include "support/solids.h"

// Whole evaluations: FastEvaluator must leave the system exactly as the reference evaluate
// does (efficiency, every part field by field, every grid cell), sequence after sequence with
// its kept shapes warm, on any number of threads.
namespace tessera {
namespace {

/// What an evaluation leaves behind.
struct Outcome {
  double efficiency = 0.0;
  PartList parts;
  std::vector<std::uint8_t> cells;
};

Outcome outcomeOf(const PackingSystem& system, double efficiency) {
  return {efficiency, system.parts, system.grid.cells};
}

/// Adds a failure naming the sequence and the first part that differs.
void expectSame(const Outcome& expected, const Outcome& actual, const std::string& where) {
  EXPECT_TRUE(test::sameBits(expected.efficiency, actual.efficiency))
      << where << ": efficiency " << actual.efficiency << ", reference " << expected.efficiency;
  ASSERT_EQ(expected.parts.count(), actual.parts.count()) << where;
  for (int i = 0; i < expected.parts.count(); ++i) {
    const std::string diff = test::differences(expected.parts[i], actual.parts[i]);
    EXPECT_EQ(diff, "") << where << ": part " << i << " (id " << expected.parts[i].id << ")";
    if (!diff.empty()) return;  // one part is enough to find the fault
  }
  EXPECT_TRUE(expected.cells == actual.cells) << where << ": grid cells differ";
}

/// Evaluates every sequence with the reference and with fast evaluators of 1 and 2 threads
/// (or those given; each kept across the sequences, as the search keeps one), restoring the
/// parts between evaluations as the search does.
void expectFastMatchesReference(PackingSystem& system,
                                const std::vector<PackingSequence>& sequences,
                                const std::string& name,
                                const std::vector<int>& threadCounts = {1, 2}) {
  std::vector<Outcome> expected;
  for (const PackingSequence& s : sequences) {
    const double e = evaluate(system, s);
    expected.push_back(outcomeOf(system, e));
    test::restoreParts(system);
  }
  for (int threads : threadCounts) {
    FastEvaluator fast(threads);
    for (std::size_t i = 0; i < sequences.size(); ++i) {
      const double e = fast.evaluate(system, sequences[i]);
      expectSame(expected[i], outcomeOf(system, e),
                 name + ", sequence " + std::to_string(i) + ", " + std::to_string(threads) +
                     " thread(s)");
      test::restoreParts(system);
      if (testing::Test::HasFailure()) return;
    }
  }
}

/// The identity, then random permutations of the ids.
std::vector<PackingSequence> sequencesFor(int n, int count, test::Draw& draw) {
  std::vector<PackingSequence> sequences{test::identitySequence(n)};
  for (int k = 1; k < count; ++k) {
    PackingSequence s = test::identitySequence(n);
    for (int i = n - 1; i > 0; --i) std::swap(s.items[static_cast<std::size_t>(i)],
                                              s.items[static_cast<std::size_t>(draw.below(i + 1))]);
    sequences.push_back(s);
  }
  return sequences;
}

/// Several shapes with copies, convex and not, turned or not, RN 1 to 4 by seed, cell edges
/// that do not divide the container; containers tight enough that some parts find no place.
PackingSystem randomProject(int seed, test::Draw& draw, std::string& name) {
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
  const Polyhedron container =
      test::box({0, 0, 0}, {draw.between(3.5, 5.5), draw.between(3.5, 5.5), draw.between(3, 6)},
                "container");
  name = "seed " + std::to_string(seed) + " (RN " + std::to_string(rn) + ", PBSL " +
         std::to_string(pbsl) + ")";
  return test::makeSystem(container, parts, pbsl, rn);
}

TEST(FastEvaluation, RandomProjectsMatchTheReferenceBitForBit) {
  for (int seed = 1; seed <= 12; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(seed));
    std::string name;
    PackingSystem system = randomProject(seed, draw, name);
    SCOPED_TRACE(name);
    expectFastMatchesReference(system, sequencesFor(system.sequenceLength, 4, draw), name);
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, LowestTopRuleMatchesTheReferenceBitForBit) {
  // The same projects under the other rule; some of them must come out otherwise than under
  // the default rule, or the rule would not reach the placements.
  int changed = 0;
  for (int seed = 1; seed <= 8; ++seed) {
    test::Draw draw(static_cast<std::uint32_t>(seed));
    std::string name;
    PackingSystem system = randomProject(seed, draw, name);
    const std::vector<PackingSequence> sequences = sequencesFor(system.sequenceLength, 3, draw);
    FastEvaluator byDefault(1);
    const double before = byDefault.evaluate(system, sequences[0]);
    const PartList defaultLayout = system.parts;
    test::restoreParts(system);
    system.placementRule = PlacementRule::lowestTop;
    SCOPED_TRACE(name);
    expectFastMatchesReference(system, sequences, name);
    if (HasFailure()) return;
    const double after = evaluate(system, sequences[0]);
    bool same = test::sameBits(before, after);
    for (int i = 0; same && i < system.parts.count(); ++i)
      same = test::differences(defaultLayout[i], system.parts[i]).empty();
    if (!same) ++changed;
    test::restoreParts(system);
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
    PackingSystem system = test::makeSystem(container, parts, 0.7, rn);
    ASSERT_GT(system.grid.gridY, 64);
    const std::string name = "seed " + std::to_string(seed) + " (RN " + std::to_string(rn) +
                             ", grid y " + std::to_string(system.grid.gridY) + ")";
    SCOPED_TRACE(name);
    expectFastMatchesReference(system, sequencesFor(system.sequenceLength, 3, draw), name,
                               {1, 3, 4});
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, PartsNotParkedOnEntryAndPartsPlacedTwice) {
  // Scans may resume only while every refusal stays a refusal; a part that starts inside the
  // container moves when it is placed, and a part named twice is placed twice.
  PackingSystem system = test::smallProject(2);
  system.parts[1].translate(minus(system.container.boxMin, system.parts[1].boxMin));
  system.parts.copyInto(system.masterParts);
  const int n = system.sequenceLength;
  PackingSequence twice = test::identitySequence(n);
  twice.items[static_cast<std::size_t>(n - 1)] = twice.items[0];
  expectFastMatchesReference(system, {test::identitySequence(n), twice}, "not parked");
  test::restoreParts(system);
  PackingSystem parked = test::smallProject(2);
  expectFastMatchesReference(parked, {twice}, "placed twice");
}

TEST(FastEvaluation, ContainerAwayFromTheOriginAndPartsThatFitNowhere) {
  // A container whose corner is not at the origin, and a part too tall for it: the shortcut
  // that looks only at placed parts must still leave the tall part parked.
  const Polyhedron container = test::box({-3.25, 1.5, 2}, {1.75, 6.5, 6}, "container");
  PackingSystem system =
      test::makeSystem(container,
                       {test::box({0, 0, 0}, {1, 1, 7}, "pole"), test::lShape(), test::lShape(),
                        test::cube(1.5), test::tetrahedron(), test::tetrahedron()},
                       0.7, 2);
  test::Draw draw(99);
  expectFastMatchesReference(system, sequencesFor(system.sequenceLength, 5, draw), "offset");
}

TEST(FastEvaluation, BundledQuickExampleOverSearchNeighbours) {
  // The sequences the search itself would try first, drawn as it draws them.
  test::WorkingDirectory inside(std::string(TESSERA_EXAMPLES_DIR) + "/quick");
  PackingSystem system;
  loadProject(system, "project.txt");
  buildGrid(system);
  system.buildOrientations();
  std::vector<PackingSequence> sequences{test::identitySequence(system.sequenceLength)};
  Random random;
  TypeSequenceArchive archive;
  archive.insertSorted(toTypeSequence(system, sequences.front()));
  while (sequences.size() < 5) {
    std::optional<PackingSequence> next = makeNeighbour(system, sequences.back(), archive, random);
    ASSERT_TRUE(next.has_value());
    archive.insertSorted(toTypeSequence(system, *next));
    sequences.push_back(*next);
  }
  expectFastMatchesReference(system, sequences, "quick");
  system.placementRule = PlacementRule::lowestTop;
  expectFastMatchesReference(system, sequences, "quick, lowest top", {2});
}

TEST(FastEvaluation, BundledTwentyPartExample) {
  // RN 4 and twenty parts: the reference takes seconds here, so the identity only.
  test::WorkingDirectory inside(std::string(TESSERA_EXAMPLES_DIR) + "/twenty");
  PackingSystem system;
  loadProject(system, "project.txt");
  buildGrid(system);
  system.buildOrientations();
  expectFastMatchesReference(system, {test::identitySequence(system.sequenceLength)}, "twenty");
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
    PackingSystem system = test::makeSystem(container, parts, pbsl, 2);
    FastEvaluator probe(1);
    probe.evaluate(system, test::identitySequence(system.sequenceLength));
    EXPECT_GE(system.placedParts, 4);  // the parts meet each other, not only the container
    test::restoreParts(system);
    test::Draw draw(7);
    expectFastMatchesReference(system, sequencesFor(system.sequenceLength, 3, draw),
                               "lathes, PBSL " + std::to_string(pbsl));
    if (HasFailure()) return;
  }
}

TEST(FastEvaluation, PublicInstanceParts) {
  // Five parts of a published instance (tests/data/projects/public-five/README.md).
  test::WorkingDirectory inside(test::dataPath("projects/public-five"));
  PackingSystem system;
  loadProject(system, "project.txt");
  buildGrid(system);
  system.buildOrientations();
  FastEvaluator probe(1);
  probe.evaluate(system, test::identitySequence(system.sequenceLength));
  EXPECT_EQ(system.placedParts, 5);
  test::restoreParts(system);
  test::Draw draw(5);
  expectFastMatchesReference(system, sequencesFor(system.sequenceLength, 3, draw), "public five");
}

TEST(FastEvaluation, ASecondSystemWithOtherCellsDropsWhatWasKept) {
  // One evaluator, two systems in turn: shapes kept for the first must not leak into the
  // second, whose cell edge and orientations differ.
  PackingSystem first = test::smallProject(2);
  PackingSystem second = test::smallProject(3);
  second.PBSL = 0.7;
  for (Part& part : second.parts) part.cellSide = 0.7;
  second.parts.copyInto(second.masterParts);
  buildGrid(second);
  FastEvaluator fast(2);
  for (PackingSystem* system : {&first, &second, &first}) {
    const PackingSequence identity = test::identitySequence(system->sequenceLength);
    const double e = evaluate(*system, identity);
    const Outcome expected = outcomeOf(*system, e);
    test::restoreParts(*system);
    const double f = fast.evaluate(*system, identity);
    expectSame(expected, outcomeOf(*system, f), "PBSL " + std::to_string(system->PBSL));
    test::restoreParts(*system);
  }
}

}  // namespace
}  // namespace tessera
