// The squeeze as an option of tessera: its layout as the writers get it, Ctrl-C, the refusals.
#include "app/squeeze_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "formats/pose_file.h"
#include "placement/prepared_solid.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "squeeze/layout_check.h"
#include "support/outputs.h"
#include "support/project.h"
#include "support/pty_child.h"
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
  EXPECT_NE(run.out.find("挤压: 2 条路径并行, 每条每 2000 次移动交换一次最好排样。"),
            std::string::npos)
      << run.out;
}

/// The layout file's text of poses of the quick example: equal texts, equal poses bit for bit.
std::string poseText(const test::LoadedExample& quick, const std::vector<Pose>& poses) {
  std::ostringstream out;
  writePoseFile(out, poseFileOf(quick.project, partFilesOf(kQuick + "/project.txt"), poses,
                                packingHeight(quick.problem, poses)));
  return out.str();
}

/// The squeeze of the quick example with the command line's squeeze options, under a move
/// budget instead of its time limit.
std::string squeezedUnder(const test::LoadedExample& quick, std::vector<std::string> arguments,
                          int threads) {
  arguments.insert(arguments.end(),
                   {"--squeeze", "--time-limit", "1", "--threads", std::to_string(threads)});
  SqueezeOptions options = squeezeOptionsOf(parseArguments(arguments, "/"));
  options.timeLimit = 0.0;
  options.moveBudget = 1500;
  platform::BufferConsole console;
  const SqueezeRunResult run = squeezeRun(quick.project, quick.layout, options, console);
  EXPECT_TRUE(run.squeezed);
  return poseText(quick, run.poses);
}

TEST(SqueezeRun, ChainsSetTheSqueezesPathsEachCountTheSameLayoutOnOneTwoAndFourThreads) {
  const test::LoadedExample quick = test::loadExample(kQuick);
  const std::vector<std::string> one = {"--chains", "1"};
  const std::vector<std::string> three = {"--chains", "3", "--exchange-every", "100"};
  const std::string single = squeezedUnder(quick, one, 1);
  const std::string several = squeezedUnder(quick, three, 1);
  EXPECT_NE(single, several);
  EXPECT_NE(several, squeezedUnder(quick, {"--chains", "3", "--exchange-every", "20"},
                                   1));  // other exchanges
  for (const int threads : {2, 4}) {
    EXPECT_EQ(squeezedUnder(quick, one, threads), single) << threads << " threads";
    EXPECT_EQ(squeezedUnder(quick, three, threads), several) << threads << " threads";
  }

  // The run takes them from its command line, says so, and writes a squeezed layout.
  test::ScratchFolder scratch;
  std::filesystem::copy(kQuick, scratch.path(""));
  const test::RunResult run =
      test::runTessera(scratch.path(""),
                       "project.txt --squeeze --time-limit 1 --chains 3 --exchange-every 300 "
                       "--threads 2 --no-picture");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("挤压: 3 条路径并行, 每条每 300 次移动交换一次最好排样。"),
            std::string::npos)
      << run.out;
  EXPECT_LE(reportedHeight(test::readBytes(scratch.path("report.txt")), "Packing Height:"),
            reportedHeight(run.out, "初始排样序列:排样高度="));
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
      {"--squeeze --time-limit 2 --chains 0", "--chains expects a whole number of at least 1"},
      {"--squeeze --time-limit 2 --chains 1 --exchange-every 9",
       "--exchange-every needs --chains with at least 2 chains"},
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

TEST(SqueezeRun, TheLayoutFileKeepsTheBestResumesFromItAndWritesItsOutputsAgain) {
  test::ScratchFolder scratch;
  const std::filesystem::path folder = scratch.path("");
  std::filesystem::copy(kQuick, folder);
  test::RunResult first = test::runTessera(
      folder, "project.txt --squeeze --time-limit 2 --threads 2 --export first.obj");
  // On a loaded machine (or under the sanitizers) two seconds may find nothing lower than the
  // start, and then no file is kept: once more with longer.
  if (first.status == 0 && !std::filesystem::exists(scratch.path(kPoseFileName)))
    first = test::runTessera(
        folder, "project.txt --squeeze --time-limit 10 --threads 2 --export first.obj");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string saved = test::readBytes(scratch.path(kPoseFileName));
  const double height = reportedHeight(saved, "Packing Height=");
  EXPECT_NEAR(height,
              reportedHeight(test::readBytes(scratch.path("report.txt")), "Packing Height:"), 1e-4)
      << saved;
  // The squeeze's lines are in the log.
  EXPECT_NE(test::readBytes(scratch.path("report2.txt")).find("\xBC\xB7\xD1\xB9"),
            std::string::npos);  // 挤压 in GBK

  // --layout writes the same layout again, byte for byte, and searches nothing.
  const std::string drawing = test::readBytes(scratch.path("Layout_zodedez.dxf"));
  const std::string log = test::readBytes(scratch.path("report2.txt"));
  std::filesystem::remove(folder / "Layout_zodedez.dxf");
  const test::RunResult again = test::runTessera(
      folder, std::string("project.txt --layout ") + kPoseFileName + " --export again.obj");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(test::readBytes(scratch.path("Layout_zodedez.dxf")), drawing);
  EXPECT_EQ(test::readBytes(scratch.path("again.obj")), test::readBytes(scratch.path("first.obj")));
  EXPECT_EQ(test::readBytes(scratch.path("report2.txt")), log);
  EXPECT_EQ(test::readBytes(scratch.path(kPoseFileName)), saved);

  // A second run starts from the file, so it never ends higher.
  const test::RunResult second =
      test::runTessera(folder, "project.txt --squeeze --time-limit 1 --threads 2 --seed 5");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("低于初始排样: 从它继续挤压"), std::string::npos) << second.out;
  // The report rounds to four decimals, so it may read up to half a unit of the last one above.
  EXPECT_LE(reportedHeight(test::readBytes(scratch.path("report.txt")), "Packing Height:"),
            height + 0.5e-4);
  EXPECT_LE(reportedHeight(test::readBytes(scratch.path(kPoseFileName)), "Packing Height="),
            height);
}

/// The layout file of a squeezed layout of the quick example, which the exact check accepts.
std::string squeezedLayoutFile() {
  const test::LoadedExample quick = test::loadExample(kQuick);
  SqueezeOptions options;
  options.moveBudget = 3000;
  platform::BufferConsole console;
  const std::vector<Pose> poses = squeezeRun(quick.project, quick.layout, options, console).poses;
  EXPECT_TRUE(checkLayout(quick.problem, poses).feasible());
  std::ostringstream out;
  writePoseFile(out, poseFileOf(quick.project, partFilesOf(kQuick + "/project.txt"), poses,
                                packingHeight(quick.problem, poses)));
  return out.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

/// The fields of a part line, and a line of fields.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}
std::string lineOfFields(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : ",") + field;
  return line;
}

/// text with line n (1-based) replaced by lineOfFields(change(its fields)).
template <typename Change>
std::string withLine(const std::string& text, int n, Change change) {
  std::vector<std::string> lines = test::linesOf(text);
  std::vector<std::string> fields = fieldsOf(lines[static_cast<std::size_t>(n - 1)]);
  change(fields);
  lines[static_cast<std::size_t>(n - 1)] = lineOfFields(fields);
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

TEST(SqueezeRun, ALayoutFileThatDoesNotFitTheProjectIsRefusedAndLeftAsItIs) {
  const std::string good = squeezedLayoutFile();
  const std::vector<std::string> lines = test::linesOf(good);
  // Parts 0 and j are of one type: part j in part 0's pose overlaps it.
  int j = 1;
  while (fieldsOf(lines[static_cast<std::size_t>(5 + j)])[1] != fieldsOf(lines[5])[1]) ++j;
  const struct {
    std::string text;
    std::string where;
    std::string what;
  } cases[] = {
      {replaced(replaced(good, "Part Count=7", "Part Count=6"), lines[11] + "\n", ""), "第2行",
       "零件数 6 与项目的 7 个零件不符"},
      {replaced(good, "RN=2", "RN=3"), "第3行", "RN=3 与项目的 RN=2 不符"},
      {replaced(good, "Orientation Count=24", "Orientation Count=8"), "第4行", "姿态数 8"},
      {withLine(good, 7,
                [](auto& f) { f[1] = f[1] == "\"ramp.txt\"" ? "\"slab.txt\"" : "\"ramp.txt\""; }),
       "第7行", "零件 1 的零件文件"},
      {withLine(good, 11, [](auto& f) { f[2] = "24"; }), "第11行", "姿态序号 24 不在 0 到 23 之间"},
      {withLine(good, 12, [](auto& f) { f[3] = "-500"; }), "第12行", "不完全在容器之内"},
      {withLine(good, 6 + j,
                [&](auto& f) {
                  std::vector<std::string> zero = fieldsOf(lines[5]);
                  zero[0] = f[0];
                  f = zero;
                }),
       "第" + std::to_string(6 + j) + "行", "零件 0 与零件 " + std::to_string(j) + " 相交"},
      {withLine(good, 5, [](auto& f) { f[0] = "Packing Height=3"; }), "第5行",
       "不是零件位姿给出的高度"},
      {good.substr(0, good.find("#FileEnd")), "第13行", "缺少 \"#FileEnd\""},
  };
  for (const auto& c : cases) {
    for (const char* run : {"--squeeze --time-limit 5", "--layout ID_Pose_LayoutForPack.txt"}) {
      test::ScratchFolder scratch;
      std::filesystem::copy(kQuick, scratch.path(""));
      test::writeBytes(scratch.path(kPoseFileName), c.text);
      const std::map<std::string, std::string> before = test::filesIn(scratch.path(""));
      const test::RunResult result =
          test::runTessera(scratch.path(""), std::string("project.txt ") + run);
      EXPECT_EQ(result.status, 1) << run << "\n" << c.text;
      const std::string message = result.out + result.err;
      EXPECT_NE(message.find(std::string(kPoseFileName) + "\"" + c.where), std::string::npos)
          << run << ": " << message;
      EXPECT_NE(message.find(c.what), std::string::npos) << run << ": " << message;
      EXPECT_EQ(test::filesIn(scratch.path("")), before) << run << ": " << c.what;
    }
  }
  // The options of a search do not go with --layout; a missing file is refused as such, and
  // so is a layout file under the name of an output, which the outputs would replace.
  test::ScratchFolder scratch;
  std::filesystem::copy(kQuick, scratch.path(""));
  test::writeBytes(scratch.path("report.txt"), good);  // a saved layout under an output's name
  const std::map<std::string, std::string> before = test::filesIn(scratch.path(""));
  for (const auto& [given, message] :
       {std::pair<std::string, std::string>{"--layout x.txt --squeeze --time-limit 2",
                                            "--layout cannot be combined with --squeeze"},
        {"--layout x.txt --iterations 3", "--layout cannot be combined with --iterations"},
        {"--layout x.txt", "x.txt\"读取失败"},
        {"--layout report.txt", "就是本次运行的输出 \"report.txt\""}}) {
    const test::RunResult result = test::runTessera(scratch.path(""), "project.txt " + given);
    EXPECT_EQ(result.status, 1) << given;
    EXPECT_NE((result.out + result.err).find(message), std::string::npos)
        << given << ": " << result.out << result.err;
  }
  EXPECT_EQ(test::filesIn(scratch.path("")), before);
}

TEST(SqueezeRun, AKeyPausesTheSqueezeSavesTheBestLayoutUnderANameAndEndsIt) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("");
  std::filesystem::copy(kQuick, folder);
  test::PtyChild child([&] {
    if (chdir(folder.c_str()) != 0) _exit(3);
    execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--squeeze", "--time-limit", "600", "--threads",
          "2", "--no-picture", static_cast<char*>(nullptr));
    _exit(4);
  });
  using std::chrono::seconds;
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60)));
  ASSERT_TRUE(child.send(" "));
  ASSERT_TRUE(child.waitFor("挤压: 排样高度=", seconds(120))) << child.output();
  // The first lower layout is saved while the squeeze goes on.
  const std::string saved = scratch.path(kPoseFileName);
  for (int wait = 0; wait < 600 && !std::filesystem::exists(saved); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string shown = child.output().substr(child.output().find("挤压: 排样高度="));
  EXPECT_LE(reportedHeight(test::readBytes(saved), "Packing Height="),
            reportedHeight(shown, "排样高度=") + 1e-6);
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60))) << child.output();
  ASSERT_TRUE(child.send("a"));
  ASSERT_TRUE(child.waitFor("NOT including suffix names", seconds(60)));
  ASSERT_TRUE(child.send("mid\n"));
  ASSERT_TRUE(child.waitFor("Computing time:", seconds(60))) << child.output();
  ASSERT_TRUE(child.waitForRawMode());
  // Saved, the squeeze goes on; the next key ends it and the run writes its outputs.
  const std::size_t seen = child.output().size();
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen)) << child.output();
  ASSERT_TRUE(child.send("b"));
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60), seen)) << child.output();
  ASSERT_TRUE(child.send(" "));
  const int status = child.finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << child.output();
  for (const char* name : {"mid.dxf", "mid.txt", "mid_ID_Pose_LayoutForPack.txt", "report.txt",
                           "ID_Pose_LayoutForPack.txt"})
    EXPECT_TRUE(std::filesystem::exists(scratch.path(name))) << name << "\n" << child.output();
  // The layout saved in the pause is one a later run accepts and writes out.
  const test::RunResult again =
      test::runTessera(folder, "project.txt --layout mid_ID_Pose_LayoutForPack.txt --no-picture");
  EXPECT_EQ(again.status, 0) << again.out << again.err;
}

}  // namespace
}  // namespace tessera
