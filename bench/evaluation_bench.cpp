// Evaluations per second of the reference placement and of FastEvaluator, on one project, in
// one run: both evaluate the identity sequence and the same series of neighbour sequences,
// and every efficiency and every placed part must come out bit-identical.
//
//   tessera-bench PROJECT [--neighbours N] [--repeat N] [--reference N] [--plain N]
//                 [--threads N] [--parts N] [--rn N] [--placement lowest-point|lowest-top]
//
// --repeat N evaluates the identity sequence N more times after the neighbours: the warm
// figures of a project whose parts are all of one type, which has no neighbours.
//
// --plain N also evaluates the first N sequences with the same fast path with its shortcuts
// that span placements turned off (resumed scans, the column index, witnesses kept from an
// earlier placement): the second reference for projects too large for the first, and what
// those shortcuts gain.
//
// --placement picks the placement rule of every evaluation.
//
// Run it in the project's folder: the paths inside a project are relative to it.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "formats/project_loader.h"
#include "model/layout.h"
#include "model/project.h"
#include "placement/evaluation.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"
#include "placement/voxelise.h"
#include "search/random.h"
#include "search/sequences.h"

namespace tessera {
namespace {

struct Options {
  std::string project;
  int neighbours = 5;
  int repeat = 0;      // further evaluations of the identity
  int reference = -1;  // sequences the reference evaluates; -1: all of them
  int plain = 0;       // sequences the fast path without shortcuts evaluates; -1: all of them
  int threads = defaultThreadCount();
  int parts = 0;  // 0: the project's own parts
  int rn = -1;    // -1: the project's RN
  PlacementRule rule = PlacementRule::lowestPoint;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr,
               "%s\nUsage: tessera-bench PROJECT [--neighbours N] [--repeat N] [--reference N] "
               "[--plain N] [--threads N] [--parts N] [--rn N] "
               "[--placement lowest-point|lowest-top]\n",
               message);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&]() {
      if (i + 1 >= argc) usage(("missing value after " + arg).c_str());
      return std::atoi(argv[++i]);
    };
    if (arg == "--neighbours") {
      o.neighbours = number();
    } else if (arg == "--repeat") {
      o.repeat = number();
    } else if (arg == "--reference") {
      o.reference = number();
    } else if (arg == "--plain") {
      o.plain = number();
    } else if (arg == "--threads") {
      o.threads = number();
    } else if (arg == "--parts") {
      o.parts = number();
    } else if (arg == "--rn") {
      o.rn = number();
    } else if (arg == "--placement") {
      if (i + 1 >= argc) usage("missing value after --placement");
      const std::string rule = argv[++i];
      if (rule == "lowest-point") {
        o.rule = PlacementRule::lowestPoint;
      } else if (rule == "lowest-top") {
        o.rule = PlacementRule::lowestTop;
      } else {
        usage(("unknown placement rule " + rule).c_str());
      }
    } else if (!arg.empty() && arg[0] == '-') {
      usage(("unknown option " + arg).c_str());
    } else {
      o.project = arg;
    }
  }
  if (o.project.empty()) usage("no project given");
  return o;
}

// The project's parts repeated (in id order) up to `count`, in a container stretched along z
// by count / n so that they still fit; then sorted, parked and numbered as loading does.
void resize(Project& project, int count) {
  const int n = project.parts.count();
  if (count <= 0 || n == 0) return;
  const double factor = static_cast<double>(count) / n;
  Polyhedron& c = project.container;
  const double bottom = c.boxMin.z;
  auto stretch = [&](Point& p) { p.z = bottom + (p.z - bottom) * factor; };
  for (Point& v : c.vertices) stretch(v);
  for (Edge& e : c.edges) {
    stretch(e.start);
    stretch(e.end);
    e.direction = minus(e.end, e.start);
  }
  for (Face& f : c.faces) {
    std::vector<Point> ring = f.points;
    for (Point& p : ring) stretch(p);
    f.setPoints(ring);
  }
  c.computeBoundingBox();

  // Stand-ins carrying each copy's part file settle the order, as in loading.
  PartList order;
  for (int i = count - 1; i >= 0; --i) {
    Part standIn;
    standIn.volume = project.parts[i % n].volume;
    standIn.id = project.sourceOfPart[static_cast<std::size_t>(i % n)];
    order.pushFront(standIn);
  }
  order.sortByVolumeDescending();
  std::vector<int> sources;
  for (const Part& standIn : order) sources.push_back(standIn.id);
  parkParts(project, sources);
}

// Every placed vertex, part by part in id order, with the efficiency: what must agree.
struct Placed {
  double efficiency = 0.0;
  std::vector<Point> vertices;
};

Placed placedOf(const std::vector<Polyhedron>& solids, double efficiency) {
  Placed placed;
  placed.efficiency = efficiency;
  for (const Polyhedron& solid : solids)
    for (const Point& v : solid.vertices) placed.vertices.push_back(v);
  return placed;
}

bool identical(const Placed& a, const Placed& b) {
  return std::memcmp(&a.efficiency, &b.efficiency, sizeof(double)) == 0 &&
         a.vertices.size() == b.vertices.size() &&
         (a.vertices.empty() || std::memcmp(a.vertices.data(), b.vertices.data(),
                                            a.vertices.size() * sizeof(Point)) == 0);
}

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timing {
  double first = 0.0;
  double later = 0.0;
  int laterCount = 0;
  double all() const { return first + later; }
  int count() const { return laterCount + 1; }
};

void printRate(const char* name, const Timing& t) {
  std::printf("%-10s %4d evaluations  %10.3f eval/s  first %9.4f s  later %9.4f s each\n", name,
              t.count(), t.count() / t.all(), t.first,
              t.laterCount > 0 ? t.later / t.laterCount : NAN);
}

int run(const Options& options) {
  Project project;
  loadProject(project, options.project);
  if (options.rn >= 0) project.RN = options.rn;
  resize(project, options.parts);
  checkCellBudget(project);
  const OccupancyGrid grid = buildGrid(project);
  buildOrientations(project);

  // The identity, then neighbours drawn as the search draws them: each new type sequence
  // goes into the archive, so no two sequences share a type sequence.
  std::vector<PackingSequence> sequences;
  PackingSequence identity;
  for (int i = 0; i < project.sequenceLength; ++i) identity.items.push_back(i);
  sequences.push_back(identity);
  Random random;
  TypeSequenceArchive archive;
  archive.insertSorted(toTypeSequence(project, identity));
  for (int i = 0; i < options.neighbours; ++i) {
    std::optional<PackingSequence> next = makeNeighbour(project, identity, archive, random);
    if (!next) break;
    archive.insertSorted(toTypeSequence(project, *next));
    sequences.push_back(*next);
  }
  for (int i = 0; i < options.repeat; ++i) sequences.push_back(identity);

  std::printf("project %s: %d parts, RN %d (%d orientations), PBSL %g, grid %d x %d x %d\n",
              options.project.c_str(), project.sequenceLength, project.RN,
              project.orientationCount(), project.PBSL, grid.gridX, grid.gridY, grid.gridZ);

  // How much of a sequence's placement the one before it could lend: the leading parts of
  // consecutive sequences that are of the same types.
  if (sequences.size() > 1) {
    double shared = 0.0;
    for (std::size_t i = 1; i < sequences.size(); ++i) {
      const auto before = toTypeSequence(project, sequences[i - 1]);
      const auto now = toTypeSequence(project, sequences[i]);
      std::size_t p = 0;
      while (p < before.items.size() && p < now.items.size() && before.items[p] == now.items[p])
        ++p;
      shared += static_cast<double>(p);
    }
    std::printf(
        "neighbours %zu: on average %.1f leading parts of the same types as the sequence "
        "before\n",
        sequences.size() - 1, shared / static_cast<double>(sequences.size() - 1));
  }

  const int referenceCount = options.reference < 0
                                 ? static_cast<int>(sequences.size())
                                 : std::min(options.reference, static_cast<int>(sequences.size()));
  std::vector<Placed> expected;
  Timing reference;
  PlacementState state(project, options.rule);
  for (int i = 0; i < referenceCount; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const Layout layout = evaluate(state, sequences[static_cast<std::size_t>(i)]);
    const double took = secondsSince(start);
    (i == 0 ? reference.first : reference.later) += took;
    if (i > 0) ++reference.laterCount;
    expected.push_back(placedOf(state.solids, layout.measure.efficiency()));
  }

  // The second reference, for the sequences the first did not evaluate.
  const int plainCount = options.plain < 0
                             ? static_cast<int>(sequences.size())
                             : std::min(options.plain, static_cast<int>(sequences.size()));
  std::vector<Placed> expectedPlain;
  Timing plain;
  if (plainCount > 0) {
    FastEvaluator without(options.threads, options.rule, CrossPlacementShortcuts::none());
    for (int i = 0; i < plainCount; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const Layout layout = without.evaluate(project, sequences[static_cast<std::size_t>(i)]);
      const double took = secondsSince(start);
      (i == 0 ? plain.first : plain.later) += took;
      if (i > 0) ++plain.laterCount;
      expectedPlain.push_back(placedOf(placedSolids(project, layout), layout.measure.efficiency()));
    }
  }

  FastEvaluator fast(options.threads, options.rule);
  Timing fastTiming;
  double laterCpu = 0.0;
  double firstCpu = 0.0;
  std::uint64_t laterExact = 0;
  int mismatches = 0;
  int plainMismatches = 0;
  double bestEfficiency = 0.0;
  double efficiencySum = 0.0;
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const Layout fastLayout = fast.evaluate(project, sequences[i]);
    const double e = fastLayout.measure.efficiency();
    const double took = secondsSince(start);
    (i == 0 ? fastTiming.first : fastTiming.later) += took;
    if (i == 0) firstCpu = cpuSeconds() - cpuStart;
    if (i > 0) {
      ++fastTiming.laterCount;
      laterCpu += cpuSeconds() - cpuStart;
      laterExact += fast.exactTests();
    }
    if (e > bestEfficiency) bestEfficiency = e;
    efficiencySum += e;
    const Placed layout = placedOf(placedSolids(project, fastLayout), e);
    if (i < expected.size() && !identical(expected[i], layout)) {
      std::printf("MISMATCH in sequence %zu: efficiency %.17g (reference %.17g)\n", i, e,
                  expected[i].efficiency);
      ++mismatches;
    }
    if (i < expectedPlain.size() && !identical(expectedPlain[i], layout)) {
      std::printf("MISMATCH in sequence %zu: efficiency %.17g (shortcuts off %.17g)\n", i, e,
                  expectedPlain[i].efficiency);
      ++plainMismatches;
    }
  }

  if (referenceCount > 0) printRate("reference", reference);
  if (plainCount > 0) printRate("plain", plain);
  printRate("fast", fastTiming);
  if (referenceCount > 0) {
    const double referenceMean = reference.all() / reference.count();
    std::printf(
        "ratio      %.1f x overall, first %.1f x, later %.1f x (against the reference mean)\n",
        referenceMean / (fastTiming.all() / fastTiming.count()), reference.first / fastTiming.first,
        fastTiming.laterCount > 0 ? referenceMean / (fastTiming.later / fastTiming.laterCount)
                                  : NAN);
    std::printf(
        "checked    %d sequences: %s\n", referenceCount,
        mismatches == 0 ? "every efficiency and placed vertex bit-identical" : "MISMATCHES FOUND");
  } else if (plainCount == 0) {
    std::printf("checked    none (no reference evaluations asked for)\n");
  }
  if (plainCount > 0)
    std::printf("checked    %d sequences against the shortcuts off: %s\n", plainCount,
                plainMismatches == 0 ? "every efficiency and placed vertex bit-identical"
                                     : "MISMATCHES FOUND");
  // The packing heights the placement rule reaches on these sequences.
  double volume = 0.0;
  for (const Part& part : project.parts) volume += part.volume;
  const Polyhedron& box = project.container;
  const double area = (box.boxMax.x - box.boxMin.x) * (box.boxMax.y - box.boxMin.y);
  std::printf("heights    lowest %.4f, mean of efficiencies gives %.4f (placement %s)\n",
              volume / area / bestEfficiency,
              volume / area / (efficiencySum / static_cast<double>(sequences.size())),
              options.rule == PlacementRule::lowestTop ? "lowest-top" : "lowest-point");
  std::printf("threads    %d\n", fast.threads());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double peak = usage.ru_maxrss / 1024.0;
  std::printf("peak memory %.1f MiB\n", peak);
  if (fastTiming.laterCount > 0) {
    // One line for bench/run-bench to gather: parts, cold s, warm s, warm CPU s, exact tests
    // per warm evaluation, peak MiB, cold CPU s, faces per part (the largest).
    std::size_t faces = 0;
    for (const Part& part : project.parts) faces = std::max(faces, part.faces.size());
    std::printf(
        "summary    parts %d cold %.4f warm %.4f cpu %.4f exact %.0f peak %.1f coldcpu %.4f "
        "faces %zu\n",
        project.sequenceLength, fastTiming.first, fastTiming.later / fastTiming.laterCount,
        laterCpu / fastTiming.laterCount, static_cast<double>(laterExact) / fastTiming.laterCount,
        peak, firstCpu, faces);
  }
  return mismatches == 0 && plainMismatches == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tessera

int main(int argc, char** argv) {
  try {
    return tessera::run(tessera::parse(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
