// The search loop with a scripted console, a hand-moved clock and a stand-in evaluation.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>

#include "formats/sequence_file.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/encoding.h"
#include "platform/interrupt.h"
#include "search/optimizer.h"
#include "search/random.h"
#include "support/outputs.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::occurrences;

/// Runs optimize in a scratch folder with a stand-in evaluation that costs two seconds of the
/// manual clock and scores a sequence by where part 0 stands in it.
struct SearchRun {
  std::function<void(int)> onEvaluation;  // called with the evaluation's number, from 1

  explicit SearchRun(std::vector<int> copies) : project(test::projectWithTypes(copies)) {
    project.container = test::box({0, 0, 0}, {10, 10, 10});
    project.PBSL = 1.0;
    project.RN = 1;
  }

  void run(platform::BufferConsole& console, std::optional<int> iterations = std::nullopt) {
    test::WorkingDirectory inside(folder.path(""));
    SearchOptions options = settings;
    options.iterations = iterations;
    options.evaluator = [this](const Project& p, const PackingSequence& s) {
      ++evaluations;
      clock.advance(2000);
      if (onEvaluation) onEvaluation(evaluations);
      if (constantEfficiency > 0) return test::layoutScoring(p, constantEfficiency);
      int at = 0;
      while (s.items[static_cast<std::size_t>(at)] != 0) ++at;
      return test::layoutScoring(p, 0.4 + 0.01 * at);
    };
    // Written at a pause only: no name at the end of the run.
    options.extras.push_back(
        {"", "", false, [this](const Project&, const Layout&, const std::string& baseName) {
           extras.push_back(baseName);
         }});
    Random random(seed);
    computingTimeText = optimize(project, {console, clock, random}, options).computingTimeText;
  }

  std::string file(const std::string& name) const { return test::readBytes(folder.path(name)); }

  test::ScratchFolder folder;
  Project project;
  platform::ManualClock clock{1000};
  int evaluations = 0;
  std::vector<std::string> extras;  // base names the layout extras were asked for
  std::string computingTimeText;    // of the last run
  double constantEfficiency = 0.0;
  SearchOptions settings;  // the options of the run, less what run() sets
  std::uint32_t seed = Random::kDefaultSeed;
};

TEST(Search, PauseSavesTheBestLayoutThenStopsAndPausesStayOutOfTheTime) {
  SearchRun search({2, 1, 1});
  // A key during iteration 1, an unknown answer, then 'a'; a key during iteration 2, then 'B'.
  platform::BufferConsole console("5\nsaved\n", "kxakB");
  search.run(console);

  const std::string& out = console.output();
  EXPECT_EQ(occurrences(out, "Press 'a' to output best packing information and continue, \n"), 3);
  EXPECT_EQ(occurrences(out, "or 'b' to end computing.\n"), 3);
  EXPECT_NE(out.find("Please input the packing file name (NOT including suffix names):"),
            std::string::npos);
  EXPECT_NE(out.find("第2次模拟退火:"), std::string::npos);
  EXPECT_EQ(out.find("第3次模拟退火:"), std::string::npos);
  EXPECT_NE(out.find("本次计划迭代5次迭代,实际完成2次迭代."), std::string::npos);

  // Two seconds per evaluation: iterations 1 and 2 count, the interim layout does not.
  EXPECT_NE(out.find("Total Computing time =6s.\n"), std::string::npos);
  EXPECT_NE(out.find("Pausing time =2s.\n"), std::string::npos);
  EXPECT_EQ(search.computingTimeText, "4.00 秒");

  const std::string interim = search.file("saved.txt");
  EXPECT_NE(interim.find("Iteration Number:1\n"), std::string::npos);
  EXPECT_NE(interim.find("Computing time:2 s\n"), std::string::npos);
  EXPECT_FALSE(search.file("saved.dxf").empty());
  EXPECT_EQ(
      search.file("saved_ID_Type_SequenceForPack.txt").rfind("Optimal IDSequenceForPack\n", 0), 0u);
  EXPECT_EQ(search.extras, std::vector<std::string>{"saved"});
  EXPECT_EQ(console.keysLeft(), 0u);
}

TEST(Search, EqualEfficiencyIsAcceptedAfterADrawAndNeverBecomesBest) {
  SearchRun search({2, 2});
  search.constantEfficiency = 0.5;
  platform::BufferConsole console;
  search.run(console, 3);
  const std::string& out = console.output();
  EXPECT_EQ(occurrences(out, "  随机数="), 3);
  EXPECT_EQ(occurrences(out, "  邻域解次于当前解\n"), 3);
  EXPECT_EQ(occurrences(out, "  邻域解被接受成为当前解\n"), 3);
  EXPECT_EQ(occurrences(out, "  邻域解次于最优解\n"), 3);
  EXPECT_NE(out.find(" ;接受概率=1\n"), std::string::npos);
  // The start, then one evaluation per iteration and the final layout of the best.
  EXPECT_EQ(search.evaluations, 1 + 3 + 1);
}

TEST(Search, TemperatureFallsLinearlyAndTheLogMatchesTheConsole) {
  SearchRun search({3, 2});
  platform::BufferConsole console;
  search.run(console, 4);
  const std::string& out = console.output();
  EXPECT_NE(out.find("  当前温度=0.01\n"), std::string::npos);
  EXPECT_NE(out.find("  当前温度=0.0075\n"), std::string::npos);
  EXPECT_NE(out.find("  当前温度=0.0025\n"), std::string::npos);
  EXPECT_NE(out.find("  初始排样序列:排样高度="), std::string::npos);
  // The log holds every search line; the timing lines go to the console only.
  const std::string log = search.file("report2.txt");
  EXPECT_EQ(log.find("Total Computing time"), std::string::npos);
  EXPECT_NE(log.find(platform::utf8ToGbk("  当前温度=0.0075\n")), std::string::npos);
  EXPECT_EQ(occurrences(log, platform::utf8ToGbk("次模拟退火:\n")), 4);
}

TEST(Search, AFileFromAnotherProjectIsKeptAsBackupAndNotUsed) {
  SearchRun search({2, 1});
  const std::string foreign =
      "Optimal IDSequenceForPack\nPacking Efficiency=0.9\n0,1\nTypeSequenceForPack\n"
      "Packing Efficiency=0.9\n0,1\n#FileEnd\n";
  test::writeBytes(search.folder.path("ID_Type_SequenceForPack.txt"), foreign);
  platform::BufferConsole console;
  search.run(console, 1);
  EXPECT_NE(console.output().find("不予使用"), std::string::npos);
  EXPECT_EQ(search.file("ID_Type_SequenceForPack.txt.bak"), foreign);
  // The new file starts from the identity: the start and one neighbour.
  EXPECT_EQ(occurrences(search.file("ID_Type_SequenceForPack.txt"), "TypeSequenceForPack\n"), 2);
}

TEST(Search, CtrlCEndsTheSearchAfterTheRunningIterationAndEveryOutputIsWritten) {
  platform::installInterruptHandler();
  platform::clearInterrupt();
  SearchRun search({2, 2, 1});
  search.onEvaluation = [](int n) {
    if (n == 3) std::raise(SIGINT);  // during iteration 2 (the start was evaluation 1)
  };
  platform::BufferConsole console;
  search.run(console, 50);
  platform::clearInterrupt();
  EXPECT_NE(console.output().find("实际完成2次迭代."), std::string::npos);
  EXPECT_NE(console.output().find("Ctrl-C"), std::string::npos);
  EXPECT_EQ(occurrences(search.file("ID_Type_SequenceForPack.txt"), "TypeSequenceForPack\n"), 3);
}

TEST(Search, ResumedSearchLaysOutTheStoredBestOnceAndKeepsItsHistory) {
  SearchRun search({2, 1, 1});
  platform::BufferConsole first;
  search.run(first, 2);
  const int evaluationsBefore = search.evaluations;
  platform::BufferConsole second;
  search.run(second, 2);
  EXPECT_EQ(search.evaluations - evaluationsBefore, 1 + 2 + 1);  // the start once, as recorded
  EXPECT_EQ(second.output().find("不符"), std::string::npos);
  EXPECT_EQ(occurrences(search.file("ID_Type_SequenceForPack.txt"), "TypeSequenceForPack\n"),
            1 + 2 + 2);
}

TEST(Search, AStaleRecordedEfficiencyIsReplacedAndTheHistoryStartsAfresh) {
  SearchRun search({2, 1, 1});
  platform::BufferConsole first;
  search.run(first, 2);
  // The project changed since (another PBSL, say): every layout now scores 0.3.
  const std::string recorded = search.file("ID_Type_SequenceForPack.txt");
  search.constantEfficiency = 0.3;
  platform::BufferConsole second;
  search.run(second, 2);
  EXPECT_NE(second.output().find("与其排样实际得到的 0.3 不符"), std::string::npos)
      << second.output();
  // Another placement rule changes every efficiency too: the message says which one ran.
  EXPECT_NE(second.output().find("或者文件是在另一种放置规则下搜索得到的; 本次运行的放置规则为 "
                                 "--placement lowest-point"),
            std::string::npos)
      << second.output();
  EXPECT_NE(second.output().find(",排样效率=0.3\n"), std::string::npos) << second.output();
  EXPECT_EQ(search.file("ID_Type_SequenceForPack.txt.bak"), recorded);
  // The start and two neighbours, none of the stale entries.
  const std::string saved = search.file("ID_Type_SequenceForPack.txt");
  EXPECT_EQ(occurrences(saved, "TypeSequenceForPack\n"), 3);
  EXPECT_EQ(occurrences(saved, "Packing Efficiency=0.3\n"), 4);
}

TEST(Search, StartTemperatureAndScheduleSetTheTemperatureOfEveryIteration) {
  SearchRun linear({3, 2});
  linear.settings.startTemperature = 0.02;
  platform::BufferConsole linearConsole;
  linear.run(linearConsole, 4);
  for (const char* t : {"0.02\n", "0.015\n", "0.01\n", "0.005\n"})
    EXPECT_NE(linearConsole.output().find(std::string("  当前温度=") + t), std::string::npos) << t;

  // From T to T/N by a constant factor: (1/3)^(1/2) here.
  SearchRun geometric({3, 2});
  geometric.settings.schedule = CoolingSchedule::Geometric;
  platform::BufferConsole geometricConsole;
  geometric.run(geometricConsole, 3);
  for (const char* t : {"0.01\n", "0.0057735\n", "0.00333333\n"})
    EXPECT_NE(geometricConsole.output().find(std::string("  当前温度=") + t), std::string::npos)
        << t;

  SearchRun constant({3, 2});
  constant.settings.schedule = CoolingSchedule::Constant;
  constant.settings.startTemperature = 0.5;
  platform::BufferConsole constantConsole;
  constant.run(constantConsole, 3);
  EXPECT_EQ(occurrences(constantConsole.output(), "  当前温度=0.5\n"), 3);
}

TEST(Search, TimeLimitEndsTheSearchAfterTheRunningIterationPausesNotCounted) {
  // Two seconds per evaluation; the pause after iteration 1 lays out the best (two more).
  SearchRun search({2, 2, 1});
  search.settings.timeLimitSeconds = 5.0;
  platform::BufferConsole console("saved\n", "ka");
  search.run(console, 50);
  const std::string& out = console.output();
  EXPECT_NE(out.find("实际完成3次迭代."), std::string::npos) << out;
  EXPECT_NE(out.find("已达到时间限制 5 秒"), std::string::npos);
  EXPECT_NE(search.file("report2.txt").find(platform::utf8ToGbk("已达到时间限制 5 秒")),
            std::string::npos);
  EXPECT_EQ(occurrences(search.file("ID_Type_SequenceForPack.txt"), "TypeSequenceForPack\n"), 4);
  // The start, the interim layout, three iterations and the final layout.
  EXPECT_EQ(search.evaluations, 1 + 1 + 3 + 1);
}

TEST(Search, ALimitNotReachedAndTheSpelledOutDefaultsChangeNothing) {
  SearchRun plain({3, 2, 1});
  platform::BufferConsole plainConsole;
  plain.run(plainConsole, 6);

  SearchRun spelled({3, 2, 1});
  spelled.settings.startTemperature = 0.01;
  spelled.settings.schedule = CoolingSchedule::Linear;
  spelled.settings.timeLimitSeconds = 1e9;
  spelled.seed = 1;
  platform::BufferConsole spelledConsole;
  spelled.run(spelledConsole, 6);
  EXPECT_EQ(spelledConsole.output(), plainConsole.output());
  EXPECT_EQ(spelled.file("ID_Type_SequenceForPack.txt"), plain.file("ID_Type_SequenceForPack.txt"));

  // Another seed draws other neighbours: the same project, another search.
  SearchRun seeded({3, 2, 1});
  seeded.seed = 12345;
  platform::BufferConsole seededConsole;
  seeded.run(seededConsole, 6);
  EXPECT_NE(seededConsole.output(), plainConsole.output());
}

}  // namespace
}  // namespace tessera
