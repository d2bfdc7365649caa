// The squeeze as an option of tessera: its layout as the writers get it, Ctrl-C, the refusals.
#include "app/squeeze_run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "placement/prepared_solid.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "support/outputs.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"
#include "support/squeeze_problems.h"

namespace tessera {
namespace {

const std::string kQuick = std::string(TESSERA_EXAMPLES_DIR) + "/quick";

/// Every placed solid inside the container and apart from every other by the exact tests,
/// read from the layout as the writers read it.
void expectExactlyFeasible(const Project& project, const Layout& layout) {
  const std::vector<Polyhedron> solids = placedSolids(project, layout);
  std::vector<PreparedSolid> prepared(solids.size());
  for (std::size_t i = 0; i < solids.size(); ++i) prepareSolid(solids[i], prepared[i]);
  PreparedSolid container;
  prepareSolid(project.container, container);
  for (std::size_t i = 0; i < prepared.size(); ++i) {
    EXPECT_TRUE(layout.parts[i].placed) << "part " << i;
    for (const Point& v : prepared[i].vertices)
      ASSERT_TRUE(insideSolid(v, container)) << "part " << i << " leaves the container";
    for (std::size_t j = i + 1; j < prepared.size(); ++j)
      EXPECT_TRUE(solidsDisjoint(prepared[i], prepared[j])) << "parts " << i << ", " << j;
  }
}

double reportedHeight(const std::string& text, const std::string& label) {
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(label + "([0-9.]+)"))) return -1.0;
  return std::stod(match[1]);
}

TEST(SqueezeRun, TheLayoutHandedToTheWritersIsTheSqueezedOneExactlyFeasibleAndLower) {
  const test::LoadedExample quick = test::loadExample(kQuick);
  SqueezeOptions options;
  options.moveBudget = 3000;
  platform::BufferConsole console;
  const SqueezeRunResult run = squeezeRun(quick.project, quick.layout, options, console);
  ASSERT_TRUE(run.squeezed);
  EXPECT_LT(run.layout.measure.height(), quick.layout.measure.height());
  expectExactlyFeasible(quick.project, run.layout);
  // The placements realise the poses the check judged, bit for bit.
  const std::vector<Pose> poses = posesFromLayout(quick.problem, run.layout);
  for (int id = 0; id < quick.problem.partCount(); ++id)
    EXPECT_EQ(placedSolid(quick.project, run.layout, id).vertices,
              realisePart(quick.problem, id, poses[static_cast<std::size_t>(id)]).vertices)
        << "part " << id;
  // A line for each lower height, the last one the layout's.
  const std::string out = console.output();
  EXPECT_NE(out.find("挤压: 排样高度="), std::string::npos);
  EXPECT_NEAR(reportedHeight(out.substr(out.rfind("挤压")), "排样高度="),
              run.layout.measure.height(), 1e-6);
}

TEST(SqueezeRun, CtrlCEndsTheSqueezeWithTheBestLayoutSoFar) {
  const test::LoadedExample quick = test::loadExample(kQuick);
  platform::installInterruptHandler();
  platform::clearInterrupt();
  std::raise(SIGINT);
  SqueezeOptions options;
  options.timeLimit = 600.0;  // a run that ignored Ctrl-C would end only here
  platform::BufferConsole console;
  const SqueezeRunResult run = squeezeRun(quick.project, quick.layout, options, console);
  platform::clearInterrupt();
  EXPECT_LT(run.progress.seconds, 60.0);
  if (run.squeezed)
    expectExactlyFeasible(quick.project, run.layout);
  else
    EXPECT_EQ(run.layout.parts, quick.layout.parts);
}

TEST(SqueezeRun, QuickExampleRunWritesEveryOutputFromALayoutNoHigherThanTheGreedyOne) {
  test::ScratchFolder scratch;
  const std::filesystem::path folder = scratch.path("");
  std::filesystem::copy(kQuick, folder);
  const test::RunResult run = test::runTessera(
      folder, "project.txt --squeeze --time-limit 2 --threads 2 --seed 3 --export layout.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  const double greedy = reportedHeight(run.out, "初始排样序列:排样高度=");
  const std::string report = test::readBytes(scratch.path("report.txt"));
  const double height = reportedHeight(report, "Packing Height:");
  ASSERT_GT(greedy, 0.0) << run.out;
  ASSERT_GT(height, 0.0) << report;
  EXPECT_LE(height, greedy);
  for (const char* name : {"report2.txt", "Layout_zodedez.dxf", "Layout_zodedez.png",
                           "Layout_zodedez.html", "ID_Type_SequenceForPack.txt", "layout.obj"})
    EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
}

/// The tiny project under tests/data with one of its files replaced.
struct TinyFolder {
  TinyFolder(const std::string& name, const std::string& text) {
    test::copyData("search/tiny", scratch.path(""));
    test::writeBytes(scratch.path(name), text);
  }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path("")))
      names.insert(entry.path().filename().string());
    return names;
  }
  test::ScratchFolder scratch;
};

/// The pentagonal prism of the test data, scaled to hold the tiny project's parts.
std::string prismContainerText() {
  const std::string prism = test::readBytes(test::dataPath("polyhedra/pentagonal_prism.txt"));
  std::string scaled;
  const std::regex vertex("^(\\d+),(-?\\d+),(-?\\d+),(-?\\d+)$");
  std::smatch m;
  for (const std::string& line : test::linesOf(prism)) {
    if (std::regex_match(line, m, vertex))
      scaled += m[1].str() + "," + std::to_string(std::stoi(m[2]) * 6) + "," +
                std::to_string(std::stoi(m[3]) * 6) + "," + std::to_string(std::stoi(m[4]) * 12);
    else
      scaled += line;
    scaled += "\n";
  }
  return scaled;
}

TEST(SqueezeRun, BadInputIsRefusedWithStatusOneBeforeAnythingIsWritten) {
  const std::pair<const char*, const char*> options[] = {
      {"--squeeze", "--squeeze needs --time-limit SECONDS"},
      {"--squeeze --time-limit 0", "--time-limit expects a positive number of seconds"},
      {"--squeeze --time-limit -3", "--time-limit expects a positive number of seconds"},
      {"--squeeze --time-limit soon", "--time-limit expects a positive number of seconds"},
      {"--squeeze --time-limit 2 --chains 2", "--squeeze cannot be combined with --chains"},
      {"--squeeze --time-limit 2 --iterations 9", "--squeeze cannot be combined with --iterations"},
      {"--evaluate-only --squeeze --time-limit 2",
       "--squeeze cannot be combined with --evaluate-only"},
      {"--squeeze --time-limit 2 --max-swaps 2", "--squeeze cannot be combined with --max-swaps"}};
  TinyFolder plain("project.txt", test::readBytes(test::dataPath("search/tiny/project.txt")));
  const std::set<std::string> before = plain.entries();
  for (const auto& [given, message] : options) {
    const test::RunResult run =
        test::runTessera(plain.scratch.path(""), std::string("project.txt ") + given);
    EXPECT_EQ(run.status, 1) << given;
    EXPECT_NE(run.err.find(message), std::string::npos) << given << ": " << run.err;
  }
  EXPECT_EQ(plain.entries(), before);

  // A container that is no box; a part as wide as the container, which no wall accepts.
  const std::string projects[][3] = {
      {"container.txt", prismContainerText(), "the container is not a box"},
      {"small_cube.txt", test::boxFileText("small_cube", 4, 10, 4),
       "part type \"small_cube\" fits in no orientation"}};
  for (const auto& [file, text, message] : projects) {
    const TinyFolder project(file, text);
    const std::set<std::string> files = project.entries();
    const test::RunResult run =
        test::runTessera(project.scratch.path(""), "project.txt --squeeze --time-limit 2");
    EXPECT_EQ(run.status, 1) << message;
    EXPECT_NE(run.err.find("不能用 --squeeze 排样: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(project.entries(), files) << message;
  }
}

}  // namespace
}  // namespace tessera
