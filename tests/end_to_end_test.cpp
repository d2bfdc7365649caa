// The program as a user runs it: a process in a scratch folder, no terminal on stdin.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "support/outputs.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::archivedTypeSequences;
using test::linesOf;
using test::runTessera;
using test::withoutTimes;

/// A scratch folder holding a copy of a project under tests/data.
struct ProjectFolder {
  explicit ProjectFolder(const std::string& dataFolder) { test::copyData(dataFolder, path()); }
  std::filesystem::path path() const { return scratch.path(""); }
  std::string file(const std::string& name) const { return scratch.path(name); }
  test::ScratchFolder scratch;
};

std::string readFile(const std::filesystem::path& path) { return test::readBytes(path.string()); }

TEST(EndToEnd, RunWritesEveryOutputAndTheLogCarriesTheIterations) {
  ProjectFolder folder("search/tiny");
  const test::RunResult run = runTessera(folder.path(), "project.txt --iterations 3");
  ASSERT_EQ(run.status, 0) << run.err;

  EXPECT_NE(run.out.find("欢迎使用TESSERA!"), std::string::npos);
  EXPECT_NE(run.out.find("迭代开始"), std::string::npos);
  EXPECT_NE(run.out.find("第3次模拟退火:"), std::string::npos);
  EXPECT_EQ(run.out.find("第4次模拟退火:"), std::string::npos);
  EXPECT_NE(run.out.find("  本次计划迭代3次迭代,实际完成3次迭代."), std::string::npos);
  EXPECT_NE(run.out.find("Calculating Time:"), std::string::npos);

  // The log receives the console's search lines in GBK: "第3次模拟退火:".
  const std::string log = readFile(folder.path() / "report2.txt");
  EXPECT_NE(log.find("\xb5\xda"
                     "3"
                     "\xb4\xce\xc4\xa3\xc4\xe2\xcd\xcb\xbb\xf0:"),
            std::string::npos);

  const std::vector<std::string> report = linesOf(readFile(folder.path() / "report.txt"));
  ASSERT_EQ(report.size(), 6u);
  EXPECT_EQ(report[1].rfind("Volume of All Parts:", 0), 0u);
  EXPECT_EQ(report[5].back(), '%');

  const std::string dxf = readFile(folder.path() / "Layout_zodedez.dxf");
  EXPECT_EQ(dxf.rfind("  0\nSECTION\n  2\nENTITIES\n  0\n", 0), 0u);
  EXPECT_NE(dxf.find("ENDSEC\n  0\nEOF\n"), std::string::npos);

  const std::string sequences = readFile(folder.path() / "ID_Type_SequenceForPack.txt");
  EXPECT_EQ(sequences.rfind("Optimal IDSequenceForPack\n", 0), 0u);
  EXPECT_EQ(archivedTypeSequences(sequences).size(), 4u);  // the start and three neighbours
  EXPECT_NE(sequences.find("#FileEnd\n"), std::string::npos);
}

TEST(EndToEnd, TwoRunsGiveTheSameBytesButForTheTimes) {
  ProjectFolder first("search/tiny");
  ProjectFolder second("search/tiny");
  const test::RunResult a = runTessera(first.path(), "project.txt --iterations 4");
  const test::RunResult b = runTessera(second.path(), "project.txt --iterations 4");
  ASSERT_EQ(a.status, 0);
  ASSERT_EQ(b.status, 0);
  EXPECT_EQ(withoutTimes(a.out), withoutTimes(b.out));
  for (const char* name : {"report2.txt", "report.txt"})
    EXPECT_EQ(withoutTimes(readFile(first.path() / name)),
              withoutTimes(readFile(second.path() / name)))
        << name;
  for (const char* name : {"Layout_zodedez.dxf", "Layout_zodedez.png", "Layout_zodedez.html",
                           "ID_Type_SequenceForPack.txt"})
    EXPECT_EQ(readFile(first.path() / name), readFile(second.path() / name)) << name;
}

TEST(EndToEnd, PictureAndPageBesideTheDrawingUnlessTurnedOff) {
  ProjectFolder with("search/tiny");
  ASSERT_EQ(runTessera(with.path(), "project.txt --iterations 1").status, 0);
  EXPECT_EQ(readFile(with.path() / "Layout_zodedez.png").substr(1, 3), "PNG");
  const std::string page = readFile(with.path() / "Layout_zodedez.html");
  EXPECT_EQ(page.substr(0, 15), "<!DOCTYPE html>");
  // This run's search: the start and one iteration.
  EXPECT_NE(page.find("\"progress\":{\"iterations\":[0,1],\"best\":["), std::string::npos);

  ProjectFolder without("search/tiny");
  ASSERT_EQ(runTessera(without.path(), "project.txt --iterations 1 --no-picture").status, 0);
  EXPECT_FALSE(std::filesystem::exists(without.path() / "Layout_zodedez.png"));
  EXPECT_FALSE(std::filesystem::exists(without.path() / "Layout_zodedez.html"));
  EXPECT_TRUE(std::filesystem::exists(without.path() / "Layout_zodedez.dxf"));
}

TEST(EndToEnd, SecondRunResumesAndNeverEvaluatesATypeSequenceTwice) {
  ProjectFolder folder("search/tiny");
  ASSERT_EQ(runTessera(folder.path(), "project.txt --iterations 3").status, 0);
  const std::string firstLog = readFile(folder.path() / "report2.txt");
  const std::string firstSequences = readFile(folder.path() / "ID_Type_SequenceForPack.txt");

  const test::RunResult second = runTessera(folder.path(), "project.txt --iterations 3");
  ASSERT_EQ(second.status, 0) << second.err;
  // The log grows; the start is the stored best, not a new evaluation.
  const std::string log = readFile(folder.path() / "report2.txt");
  EXPECT_EQ(log.rfind(firstLog, 0), 0u);
  EXPECT_GT(log.size(), firstLog.size());
  const std::string bestLine = linesOf(firstSequences)[1];  // Packing Efficiency=...
  EXPECT_NE(second.out.find(",排样效率=" + bestLine.substr(bestLine.find('=') + 1)),
            std::string::npos);

  const std::vector<std::string> archived =
      archivedTypeSequences(readFile(folder.path() / "ID_Type_SequenceForPack.txt"));
  EXPECT_EQ(archived.size(), 7u);
  EXPECT_EQ(std::set<std::string>(archived.begin(), archived.end()).size(), archived.size());
}

TEST(EndToEnd, NoIterationForZeroOrNegativeCountsButEveryOutput) {
  for (const char* count : {"0", "-4"}) {
    ProjectFolder folder("search/tiny");
    const test::RunResult run =
        runTessera(folder.path(), std::string("project.txt --iterations ") + count);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("次模拟退火:"), std::string::npos);
    EXPECT_NE(run.out.find(std::string("本次计划迭代") + count + "次迭代,实际完成0次迭代."),
              std::string::npos);
    EXPECT_FALSE(readFile(folder.path() / "report.txt").empty());
    EXPECT_FALSE(readFile(folder.path() / "Layout_zodedez.dxf").empty());
    EXPECT_EQ(archivedTypeSequences(readFile(folder.path() / "ID_Type_SequenceForPack.txt")).size(),
              1u);
  }
}

TEST(EndToEnd, IterationCountIsAskedWhenNotGivenAndDefaultsTo500OnNonsense) {
  ProjectFolder folder("search/pair");
  // Two parts of two types: both orders are known after one iteration, so even the default
  // count of 500 ends at once, and says why.
  const test::RunResult run = runTessera(folder.path(), "project.txt", "many\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("请设置迭代次数:"), std::string::npos);
  EXPECT_NE(run.out.find("本次计划迭代500次迭代,实际完成1次迭代."), std::string::npos);
  EXPECT_NE(run.out.find("所有不同的零件类型序列均已评估过"), std::string::npos);
  EXPECT_NE(readFile(folder.path() / "report2.txt")
                .find(platform::utf8ToGbk("所有不同的零件类型序列均已评估过")),
            std::string::npos);
}

TEST(EndToEnd, ExhaustedProjectStopsAtOnceOnTheNextRun) {
  ProjectFolder folder("search/pair");
  ASSERT_EQ(runTessera(folder.path(), "project.txt --iterations 5").status, 0);
  const test::RunResult again = runTessera(folder.path(), "project.txt --iterations 5");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("实际完成0次迭代."), std::string::npos);
  EXPECT_EQ(archivedTypeSequences(readFile(folder.path() / "ID_Type_SequenceForPack.txt")).size(),
            2u);
}

TEST(EndToEnd, BadInputEndsWithStatusOneAndAMessage) {
  test::ScratchFolder scratch;
  const std::filesystem::path folder = scratch.path("");
  const test::RunResult missing = runTessera(folder, "nowhere.txt --iterations 1");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Warning!"), std::string::npos);
  EXPECT_NE(missing.err.find("读取失败!"), std::string::npos);

  const test::RunResult option = runTessera(folder, "--iterations lots");
  EXPECT_EQ(option.status, 1);
  EXPECT_NE(option.err.find("Usage: tessera"), std::string::npos);

  // No project given and no answer to the file prompt: the user gave up.
  const test::RunResult gaveUp = runTessera(folder, "", "");
  EXPECT_EQ(gaveUp.status, 1);
  EXPECT_NE(gaveUp.err.find("文件打开失败!"), std::string::npos);
}

TEST(EndToEnd, AbsurdCellSizeIsRefusedBeforeAnythingIsAllocated) {
  ProjectFolder folder("search/tiny");
  std::string project = readFile(folder.path() / "project.txt");
  project.replace(0, project.find('\n'), "PBSL=1e-9");
  test::writeBytes(folder.file("project.txt"), project);
  const test::RunResult run = runTessera(folder.path(), "project.txt --iterations 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("project.txt\": 容器无法以 PBSL=1e-09 采样"), std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "report2.txt"));
}

TEST(EndToEnd, ProjectWithoutPartsIsRefused) {
  ProjectFolder folder("search/pair");
  {
    std::ofstream project(folder.file("project.txt"), std::ios::trunc);
    project << "PBSL=2\nRN=1\nContainer\n\"container.txt\"\n#EndFile\n";
  }
  const test::RunResult run = runTessera(folder.path(), "project.txt --iterations 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("没有零件"), std::string::npos);
}

// Eight iterations of search/tiny as the program ran them before the search had control
// options, times blanked; the options at their defaults must not change a byte of it.
TEST(EndToEnd, WithoutControlOptionsOrWithTheirDefaultsTheOutputsAreAsRecorded) {
  for (const std::string options :
       {"", " --seed 1 --start-temperature 0.01 --schedule linear --time-limit 1e9",
        " --placement lowest-point"}) {
    ProjectFolder folder("search/tiny");
    const test::RunResult run = runTessera(folder.path(), "project.txt --iterations 8" + options);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const std::string name :
         {"report2.txt", "report.txt", "ID_Type_SequenceForPack.txt", "Layout_zodedez.dxf"})
      EXPECT_EQ(withoutTimes(readFile(folder.path() / name)),
                test::readBytes(test::dataPath("golden_runs/tiny/" + name)))
          << name << " with \"" << options << "\"";
  }
}

TEST(EndToEnd, TimeLimitEndsTheSearchAfterTheRunningIterationWithEveryOutput) {
  ProjectFolder folder("search/tiny");
  const test::RunResult run =
      runTessera(folder.path(), "project.txt --iterations 50 --time-limit 1e-300");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("已达到时间限制 1e-300 秒"), std::string::npos);
  EXPECT_NE(run.out.find("  本次计划迭代50次迭代,实际完成1次迭代."), std::string::npos);
  for (const char* name : {"report.txt", "Layout_zodedez.dxf", "Layout_zodedez.png"})
    EXPECT_TRUE(std::filesystem::exists(folder.path() / name)) << name;
  EXPECT_EQ(archivedTypeSequences(readFile(folder.path() / "ID_Type_SequenceForPack.txt")).size(),
            2u);
}

TEST(EndToEnd, ASeedGivesItsOwnRunAndTheSameRunEveryTime) {
  ProjectFolder first("search/tiny");
  ProjectFolder second("search/tiny");
  ProjectFolder plain("search/tiny");
  ASSERT_EQ(runTessera(first.path(), "project.txt --iterations 6 --seed 99").status, 0);
  ASSERT_EQ(runTessera(second.path(), "project.txt --iterations 6 --seed=99").status, 0);
  ASSERT_EQ(runTessera(plain.path(), "project.txt --iterations 6").status, 0);
  const std::string log = withoutTimes(readFile(first.path() / "report2.txt"));
  EXPECT_EQ(log, withoutTimes(readFile(second.path() / "report2.txt")));
  EXPECT_NE(log, withoutTimes(readFile(plain.path() / "report2.txt")));
}

TEST(EndToEnd, ChainsGiveTheSameOutputsWithOneTwoAndFourThreads) {
  std::vector<std::string> first;
  for (const int threads : {1, 2, 4}) {
    ProjectFolder folder("search/tiny");
    test::setTinyCopies(folder.path(), 3);
    const test::RunResult run =
        runTessera(folder.path(),
                   "project.txt --iterations 9 --chains 3 --exchange-every 4 "
                   "--seed 5 --threads " +
                       std::to_string(threads));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> outputs;
    for (const char* name :
         {"report2.txt", "report.txt", "ID_Type_SequenceForPack.txt", "Layout_zodedez.dxf"})
      outputs.push_back(withoutTimes(readFile(folder.path() / name)));
    // Exchanges after 4, 8 and 9 iterations; the start and 27 new type sequences at most.
    EXPECT_NE(run.out.find("第3次链间交换 (3 条链, 每条已完成 9 次迭代)"), std::string::npos);
    // Several chains start at their own temperature unless one is given.
    EXPECT_NE(run.out.find("  当前温度=0.003\n"), std::string::npos);
    EXPECT_GT(archivedTypeSequences(outputs[2]).size(), 20u);
    if (first.empty()) {
      first = outputs;
      continue;
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
      EXPECT_EQ(outputs[i], first[i]) << "output " << i << " with " << threads << " threads";
  }
}

TEST(EndToEnd, BadControlOptionsAreRefusedBeforeAnythingIsWritten) {
  ProjectFolder folder("search/tiny");
  const auto entries = [&] {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      names.insert(entry.path().filename().string());
    return names;
  };
  const std::set<std::string> before = entries();
  const std::pair<const char*, const char*> cases[] = {
      {"--time-limit 0", "--time-limit expects a positive number of seconds, got \"0\""},
      {"--time-limit 2min", "--time-limit expects a positive number of seconds, got \"2min\""},
      {"--seed 4294967296", "--seed expects an integer from 0 to 4294967295, got \"4294967296\""},
      {"--seed -5", "--seed expects an integer from 0 to 4294967295"},
      {"--start-temperature 0", "--start-temperature expects a positive number"},
      {"--schedule fast", "--schedule expects linear, geometric or constant"},
      {"--chains 0", "--chains expects a whole number of at least 1, got \"0\""},
      {"--chains -2", "--chains expects a whole number of at least 1, got \"-2\""},
      {"--chains 2.5", "--chains expects a whole number of at least 1, got \"2.5\""},
      {"--chains=many", "--chains expects a whole number of at least 1, got \"many\""},
      {"--chains 99999999999", "--chains expects a whole number of at least 1"},
      {"--chains 2 --exchange-every 0", "--exchange-every expects a whole number of at least 1"},
      {"--exchange-every 5", "--exchange-every needs --chains with at least 2 chains"},
      {"--placement lowest", "--placement expects lowest-point or lowest-top"}};
  for (const auto& [option, message] : cases) {
    const test::RunResult run =
        runTessera(folder.path(), std::string("project.txt --iterations 2 ") + option);
    EXPECT_EQ(run.status, 1) << option;
    EXPECT_NE(run.err.find(message), std::string::npos) << option << ": " << run.err;
  }
  EXPECT_EQ(entries(), before);
}

}  // namespace
}  // namespace tessera
