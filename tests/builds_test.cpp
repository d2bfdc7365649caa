// Jobs of several builds and fillers: the split of a sequence into builds, the stacked measure
// the search compares, the filling, and the run's files and refusals.
#include "search/builds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "app/builds.h"
#include "model/input_error.h"
#include "placement/evaluation.h"
#include "placement/fast_evaluation.h"
#include "placement/invariants.h"
#include "platform/console.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

Polyhedron cubeOf(double side, const std::string& name) {
  Polyhedron c = test::cube(side, name);
  c.volume = side * side * side;
  return c;
}

/// `big` cubes of side 3.5 (four to a layer of the 10 x 10 floor, with the cell of slack
/// placement needs) and `small` cubes of side 1.5, in a 10 x 10 x 10 box, PBSL 1, RN 1.
Project cubes(int big, int small) {
  std::vector<Polyhedron> parts;
  for (int i = 0; i < big; ++i) parts.push_back(cubeOf(3.5, "big"));
  for (int i = 0; i < small; ++i) parts.push_back(cubeOf(1.5, "small"));
  return test::makeProject(test::box({0, 0, 0}, {10, 10, 10}, "container"), parts, 1.0, 1);
}

Evaluator reference() {
  return [](const Project& project, const PackingSequence& sequence) {
    return evaluate(project, sequence);
  };
}

/// Every placed part inside the container and disjoint from every other, by the exact tests.
void expectExactlyFeasible(const Project& project, const Layout& layout) {
  const std::vector<Polyhedron> solids = placedSolids(project, layout);
  const std::vector<int> placed = placedIds(layout, test::identitySequence(project.parts.count()));
  EXPECT_EQ(interferingPair(solids, placed), "");
  EXPECT_EQ(partOutsideContainer(project.container, solids, placed), "");
}

TEST(Builds, AJobOfThreeBuildsPlacesEveryPartInExactlyOneAndStacksThemForTheSearch) {
  const Project job = cubes(12, 0);
  const Polyhedron container = containerOfHeight(job.container, 5.0);
  EXPECT_EQ(container.boxMax.z, 5.0);
  EXPECT_EQ(container.boxMax.x, 10.0);
  const PackingSequence sequence = test::sequenceOf({5, 0, 11, 3, 7, 1, 9, 2, 10, 4, 8, 6});
  const std::vector<Build> builds = layoutBuilds(job, container, sequence, reference());
  ASSERT_EQ(builds.size(), 3u);
  std::multiset<int> seen;
  for (const Build& build : builds) {
    EXPECT_EQ(build.jobIds.size(), 4u);
    seen.insert(build.jobIds.begin(), build.jobIds.end());
    const BuildLayout layout = buildLayoutOf(job, container, build);
    expectExactlyFeasible(layout.project, layout.layout);
    EXPECT_EQ(layout.layout.measure.placedCount, 4);
    EXPECT_GE(layout.layout.measure.height(), 3.5);  // one layer
    EXPECT_LT(layout.layout.measure.height(), 4.0);
  }
  EXPECT_EQ(seen, std::multiset<int>(sequence.items.begin(), sequence.items.end()));
  // The builds keep the sequence's order: the first four of it fill build 1.
  EXPECT_EQ(builds[0].jobIds, std::vector<int>({5, 0, 11, 3}));

  // The search's measure: two full builds and the third's height, so fewer builds win.
  const Layout stacked = stackedLayout(job, builds, 5.0);
  const double last = buildLayoutOf(job, container, builds[2]).layout.measure.height();
  EXPECT_EQ(stacked.measure.height(), 10.0 + last);
  EXPECT_EQ(stacked.measure.placedCount, 12);
  // The fast evaluation splits the same way, bit for bit.
  auto fast = std::make_shared<FastEvaluator>(2);
  const Evaluator viaFast = buildsEvaluator(
      [fast](const Project& p, const PackingSequence& s) { return fast->evaluate(p, s); },
      container);
  EXPECT_EQ(viaFast(job, sequence).parts, stacked.parts);
}

TEST(Builds, FillerCopiesFillBelowTheLimitWithoutOverlapAndLeaveThePartsWhereTheyWere) {
  const Project loaded = cubes(5, 1);
  const int small = typeIndexOf(loaded.partTypes, "small");
  const Project job = projectWithoutTypes(loaded, {small});
  ASSERT_EQ(job.parts.count(), 5);
  const PackingSequence sequence = test::identitySequence(5);
  const Layout others = evaluate(job, sequence);
  const double height = others.measure.height();  // two layers of big cubes: 7
  Build all;
  for (int id = 0; id < 5; ++id) {
    all.jobIds.push_back(id);
    all.placements.push_back(others.parts[static_cast<std::size_t>(id)]);
  }
  BuildLayout build = buildLayoutOf(job, job.container, all);
  const int copies = fillBuild(build, small, height, reference());
  EXPECT_GT(copies, 20);  // the second layer's three empty places alone hold 8 each
  EXPECT_EQ(build.fillerCopies[static_cast<std::size_t>(small)], copies);
  EXPECT_EQ(build.layout.measure.placedCount, 5 + copies);
  EXPECT_EQ(build.layout.measure.height(), height);
  expectExactlyFeasible(build.project, build.layout);
  int bigSeen = 0;
  for (int id = 0; id < build.project.parts.count(); ++id) {
    const PartPlacement& p = build.layout.parts[static_cast<std::size_t>(id)];
    EXPECT_LE(p.boxMax.z, height) << id;
    if (build.project.typeOf(id) == small) continue;
    // The big cubes stand where they stood before the filling.
    const auto same = std::find_if(others.parts.begin(), others.parts.end(),
                                   [&](const PartPlacement& q) { return q.motion == p.motion; });
    EXPECT_NE(same, others.parts.end()) << id;
    ++bigSeen;
  }
  EXPECT_EQ(bigSeen, 5);
  // A bound on the copies is honoured; a limit below every copy leaves none.
  BuildLayout bounded = buildLayoutOf(job, job.container, all);
  EXPECT_EQ(fillBuild(bounded, small, height, reference(), 3), 3);
  BuildLayout none = buildLayoutOf(job, job.container, all);
  EXPECT_EQ(fillBuild(none, small, 1.0, reference()), 0);
  EXPECT_EQ(none.layout.measure.placedCount, 5);
}

/// The big cubes and a filler type of the given side in a project built in code.
Project withFiller(int big, double side) {
  std::vector<Polyhedron> parts;
  for (int i = 0; i < big; ++i) parts.push_back(cubeOf(3.5, "big"));
  parts.push_back(cubeOf(side, "fill"));
  Project project =
      test::makeProject(test::box({0, 0, 0}, {10, 10, 10}, "container"), parts, 1.0, 1);
  project.partTypes[1].filler = true;
  return project;
}

TEST(Builds, AJobWithAFillerReportsItsCopiesPerBuildAndRefusesAFillerWithNoRoom) {
  const Evaluator evaluator = reference();
  platform::BufferConsole console;
  test::ScratchFolder scratch;
  test::WorkingDirectory inside(scratch.path(""));
  Arguments arguments;
  arguments.maxHeight = 5.0;
  const JobPlan plan = planJob(arguments, withFiller(5, 1.5), "p.txt", &evaluator, &console);
  EXPECT_EQ(plan.searchProject.parts.count(), 5);
  EXPECT_EQ(plan.fillerTypes, std::vector<int>({1}));
  writeJobFiles(plan, jobLayout(plan, test::identitySequence(5), evaluator), "0.00 秒", {},
                console);
  // Build 1 holds a layer of four big cubes and copies beside them; build 2 one big cube and
  // copies up to the build height.
  const std::regex copies("Filler fill: ([0-9]+) copies");
  std::smatch match;
  int total = 0;
  for (const char* name : {"report_build1.txt", "report_build2.txt"}) {
    const std::string report = test::readBytes(scratch.path(name));
    ASSERT_TRUE(std::regex_search(report, match, copies)) << name << ": " << report;
    EXPECT_GT(std::stoi(match[1]), 0) << name;
    total += std::stoi(match[1]);
  }
  const std::string job = test::readBytes(scratch.path("report.txt"));
  EXPECT_NE(job.find("Filler fill: " + std::to_string(total) + " copies\n"), std::string::npos)
      << job;
  EXPECT_NE(job.find("Builds:2 Parts:" + std::to_string(5 + total) + "\n"), std::string::npos)
      << job;

  // A cube as large as the big ones finds no room beside a layer of four below its height;
  // nothing is written.
  const Project noRoom = withFiller(4, 3.5);
  const std::vector<std::string> before = scratch.entries();
  try {
    planJob(Arguments{}, noRoom, "p.txt", &evaluator, &console);
    ADD_FAILURE() << "a filler without room was accepted";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("填充零件\"fill\"没有空间"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(scratch.entries(), before);
}

// --- the run ---------------------------------------------------------------------------------

struct CubeFolder {
  explicit CubeFolder(int copies,
                      const std::string& container = test::boxFileText("box", 10, 10, 10)) {
    test::writeBytes(scratch.path("container.txt"), container);
    test::writeBytes(scratch.path("big.txt"), test::boxFileText("big", 3.5, 3.5, 3.5));
    test::writeBytes(scratch.path("project.txt"),
                     "PBSL=1\nRN=1\nContainer\n\"container.txt\"\nPart\n\"big.txt\"\nCopies\n" +
                         std::to_string(copies) + "\n----\n#EndFile\n");
  }
  std::vector<std::string> entries() const { return scratch.entries(); }
  test::ScratchFolder scratch;
};

/// The 10 x 10 box with its top tilted from z = 10 at x = 0 to z = 12 at x = 10.
std::string tiltedBoxText() {
  std::string box = test::boxFileText("box", 10, 10, 10);
  box = std::regex_replace(box, std::regex("\n5,10,0,10\n"), "\n5,10,0,12\n");
  return std::regex_replace(box, std::regex("\n6,10,10,10\n"), "\n6,10,10,12\n");
}

TEST(Builds, ARunOfThreeBuildsWritesThreeCompleteSetsOfOutputsAndAJobSummary) {
  const CubeFolder folder(12);
  const test::RunResult run =
      test::runTessera(folder.scratch.path(""),
                       "project.txt --iterations 3 --threads 1 --max-height 5 --export job.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  int parts = 0;
  for (int k = 1; k <= 3; ++k) {
    const std::string b = "_build" + std::to_string(k);
    for (const std::string& name :
         {"report" + b + ".txt", "Layout_zodedez" + b + ".dxf", "Layout_zodedez" + b + ".png",
          "Layout_zodedez" + b + ".html", "job" + b + ".obj"})
      EXPECT_TRUE(std::filesystem::exists(folder.scratch.path(name))) << name;
    const std::string report = test::readBytes(folder.scratch.path("report" + b + ".txt"));
    EXPECT_NE(report.find("Packing Height:3.5"), std::string::npos) << report;
    // One object per part in the build's export.
    const std::string obj = test::readBytes(folder.scratch.path("job" + b + ".obj"));
    for (std::size_t at = obj.find("\no "); at != std::string::npos; at = obj.find("\no ", at + 1))
      ++parts;
    EXPECT_NE(run.out.find("Build " + std::to_string(k) + ": Parts:4 Packing Height:3.5"),
              std::string::npos)
        << run.out;
  }
  EXPECT_EQ(parts, 12);
  EXPECT_FALSE(std::filesystem::exists(folder.scratch.path("report_build4.txt")));
  // The job's own report, and none of the files of a run without builds.
  const std::string report = test::readBytes(folder.scratch.path("report.txt"));
  EXPECT_NE(report.find("Build Height:5\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Builds:3 Parts:12\n"), std::string::npos) << report;
  EXPECT_FALSE(std::filesystem::exists(folder.scratch.path("Layout_zodedez.dxf")));
  EXPECT_FALSE(std::filesystem::exists(folder.scratch.path("job.obj")));
}

TEST(Builds, SqueezeSqueezesEveryBuildAndKeepsEachOfItsParts) {
  const CubeFolder folder(12);
  const test::RunResult run = test::runTessera(
      folder.scratch.path(""), "project.txt --threads 1 --max-height 5 --squeeze --time-limit 1");
  ASSERT_EQ(run.status, 0) << run.err;
  for (int k = 1; k <= 3; ++k) {
    const std::string b = "_build" + std::to_string(k);
    const std::string report = test::readBytes(folder.scratch.path("report" + b + ".txt"));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(report, match, std::regex("Packing Height:([0-9.]+)")));
    EXPECT_LE(std::stod(match[1]), 5.0) << report;
    EXPECT_TRUE(std::filesystem::exists(folder.scratch.path("Layout_zodedez" + b + ".dxf")));
  }
  const std::string report = test::readBytes(folder.scratch.path("report.txt"));
  EXPECT_NE(report.find("Builds:3 Parts:12\n"), std::string::npos) << report;
}

TEST(Builds, AFillerMarkedInTheProjectFileGetsItsCopiesAndOneWithoutRoomIsRefused) {
  for (const double side : {1.5, 3.5}) {
    CubeFolder folder(side == 1.5 ? 5 : 4);
    test::writeBytes(folder.scratch.path("fill.txt"), test::boxFileText("fill", side, side, side));
    std::string project = test::readBytes(folder.scratch.path("project.txt"));
    project.replace(project.find("#EndFile"), 8,
                    "Part\n\"fill.txt\"\nCopies\n1\nFiller\n----\n#EndFile");
    test::writeBytes(folder.scratch.path("project.txt"), project);
    const std::vector<std::string> before = folder.entries();
    const test::RunResult run =
        test::runTessera(folder.scratch.path(""), "project.txt --iterations 2 --threads 1");
    const std::string report = test::readBytes(folder.scratch.path("report.txt"));
    std::smatch match;
    if (side == 3.5) {
      // Beside a layer of four big cubes no cube as large fits below their height.
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("填充零件\"fill\"没有空间"), std::string::npos) << run.err;
      EXPECT_EQ(folder.entries(), before);
      continue;
    }
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(std::regex_search(report, match, std::regex("\nFiller fill: ([0-9]+) copies\n")))
        << report;
    EXPECT_GT(std::stoi(match[1]), 0);
    EXPECT_NE(report.find("Packing Height:7.0"), std::string::npos) << report;
    EXPECT_NE(run.out.find("Filler fill: " + match[1].str() + " copies"), std::string::npos);
  }
}

TEST(Builds, BadInputIsRefusedWithStatusOneBeforeAnythingIsWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {"--iterations 1 --max-height 4", "放不进高度为 4 的构建"},
      {"--iterations 1 --max-height 0", "--max-height expects a positive number"},
      {"--iterations 1 --max-height tall", "--max-height expects a positive number"},
      {"--max-height 5 --evaluate-only", "--max-height cannot be combined with --evaluate-only"}};
  const CubeFolder folder(3);
  const std::vector<std::string> before = folder.entries();
  for (const auto& [given, message] : cases) {
    const test::RunResult run = test::runTessera(folder.scratch.path(""), "project.txt " + given);
    EXPECT_EQ(run.status, 1) << given;
    EXPECT_NE(run.err.find(message), std::string::npos) << given << ": " << run.err;
    EXPECT_EQ(folder.entries(), before) << given;
  }
  // A container that is no box cannot be cut to a build's height.
  const CubeFolder notABox(1, tiltedBoxText());
  ASSERT_NE(tiltedBoxText(), test::boxFileText("box", 10, 10, 10));
  const std::vector<std::string> files = notABox.entries();
  const test::RunResult run =
      test::runTessera(notABox.scratch.path(""), "project.txt --iterations 1 --max-height 5");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("只能用于长方体容器"), std::string::npos) << run.err;
  EXPECT_EQ(notABox.entries(), files);
}

}  // namespace
}  // namespace tessera
