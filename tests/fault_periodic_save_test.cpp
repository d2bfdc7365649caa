// A long search saves the sequence file as it goes, so that a kill loses little. Each save
// must be exactly what a search ending at that iteration writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "search/optimizer.h"
#include "search/random.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

constexpr const char* kSequenceFile = "ID_Type_SequenceForPack.txt";

/// One search in a scratch folder of its own, with a stand-in evaluation that costs the
/// manual clock costOf(evaluation number) seconds and looks at the folder before it scores.
struct SavingSearch {
  SavingSearch() : project(test::projectWithTypes({3, 2, 2})) {
    project.container = test::box({0, 0, 0}, {10, 10, 10});
    project.PBSL = 1.0;
    project.RN = 1;
  }

  /// The sequence file as it stood at each evaluation: the start, one per iteration, the
  /// final one.
  std::vector<std::string> run(int iterations, SearchOptions options) {
    test::WorkingDirectory inside(folder.path(""));
    std::vector<std::string> seen;
    options.iterations = iterations;
    options.evaluator = [&](const Project& p, const PackingSequence& s) {
      const int evaluation = static_cast<int>(seen.size());
      seen.push_back(test::readBytes(options.sequenceFileName));
      if (beforeEvaluation) beforeEvaluation(evaluation);
      clock.advance(1000 * (costOf ? costOf(evaluation) : 2));
      long score = 0;
      for (std::size_t i = 0; i < s.items.size(); ++i)
        score += static_cast<long>(i + 1) * s.items[i];
      return test::layoutScoring(p, 0.3 + static_cast<double>(score % 97) / 200.0);
    };
    Random random;
    optimize(project, {console, clock, random}, options);
    return seen;
  }

  std::string file(const std::string& name = kSequenceFile) const {
    return test::readBytes(folder.path(name));
  }

  test::ScratchFolder folder;
  Project project;
  platform::ManualClock clock{1000};
  platform::BufferConsole console;
  std::function<int(int)> costOf;  // seconds of an evaluation; empty: 2
  std::function<void(int)> beforeEvaluation;
};

SearchOptions withoutSaving() {
  SearchOptions options;
  options.saveEveryIterations = 0;
  options.saveEverySeconds = 0.0;
  return options;
}

/// What searches of 0, 1, ..., most iterations leave in the sequence file at their end.
std::vector<std::string> finalFiles(int most) {
  std::vector<std::string> files;
  for (int n = 0; n <= most; ++n) {
    SavingSearch search;
    search.run(n, withoutSaving());
    files.push_back(search.file());
  }
  return files;
}

/// For each iteration k = 1..n, the iteration whose end state the file held when k began:
/// -1 for no file, -2 for content no search ending anywhere would write.
std::vector<int> savedStates(const std::vector<std::string>& seen,
                             const std::vector<std::string>& finals, int n) {
  std::vector<int> states;
  for (int k = 1; k <= n; ++k) {
    const std::string& at = seen[static_cast<std::size_t>(k)];
    int state = at.empty() ? -1 : -2;
    for (std::size_t j = 0; j < finals.size() && state == -2; ++j)
      if (finals[j] == at) state = static_cast<int>(j);
    states.push_back(state);
  }
  return states;
}

std::vector<int> repeat(std::initializer_list<std::pair<int, int>> runs) {
  std::vector<int> out;
  for (const auto& [value, count] : runs)
    out.insert(out.end(), static_cast<std::size_t>(count), value);
  return out;
}

TEST(PeriodicSave, EveryTenIterationsByDefaultWithWhatTheEndWouldWrite) {
  const std::vector<std::string> finals = finalFiles(25);
  SavingSearch search;
  const std::vector<std::string> seen = search.run(25, SearchOptions());
  EXPECT_EQ(savedStates(seen, finals, 25), repeat({{-1, 10}, {10, 10}, {20, 5}}));
  // The final file is on the disk before the final evaluation begins.
  ASSERT_EQ(seen.size(), 27u);
  EXPECT_EQ(seen.back(), finals[25]);
  EXPECT_EQ(search.file(), finals[25]);
  EXPECT_EQ(search.folder.entries(), (std::vector<std::string>{kSequenceFile, "report2.txt"}));
}

TEST(PeriodicSave, ByIterationsOrBySecondsWhicheverComesFirst) {
  const std::vector<std::string> finals = finalFiles(18);
  SavingSearch search;
  // One second per evaluation up to iteration 12, then twenty.
  search.costOf = [](int evaluation) { return evaluation <= 12 ? 1 : 20; };
  SearchOptions options;
  options.saveEveryIterations = 5;
  options.saveEverySeconds = 30.0;
  const std::vector<std::string> seen = search.run(18, options);
  // By count after 5 and 10; by time after 14 (42 s) and 16 (40 s), though fewer than five
  // iterations had passed.
  EXPECT_EQ(savedStates(seen, finals, 18), repeat({{-1, 5}, {5, 5}, {10, 4}, {14, 2}, {16, 2}}));
}

TEST(PeriodicSave, AFailedSaveIsReportedKeepsNothingHalfWrittenAndIsTriedAgain) {
  const std::vector<std::string> finals = finalFiles(18);
  SavingSearch search;
  const std::string folder = search.folder.path("out");
  test::writeBytes(folder, "a file where the folder should be");
  // The way clears during iteration 12.
  search.beforeEvaluation = [&](int evaluation) {
    if (evaluation != 12) return;
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
  };
  SearchOptions options;
  options.saveEveryIterations = 5;
  options.sequenceFileName = "out/" + std::string(kSequenceFile);
  const std::vector<std::string> seen = search.run(18, options);

  // The saves after 5 and 10 fail and are reported; the search goes on and saves after 15.
  EXPECT_EQ(savedStates(seen, finals, 18), repeat({{-1, 15}, {15, 3}}));
  const std::string& out = search.console.output();
  std::size_t warnings = 0;
  for (std::size_t at = out.find("搜索中途保存排样序列文件"); at != std::string::npos;
       at = out.find("搜索中途保存排样序列文件", at + 1))
    ++warnings;
  EXPECT_EQ(warnings, 2u);
  EXPECT_NE(out.find("ID_Type_SequenceForPack.txt file open error!"), std::string::npos);
  EXPECT_NE(out.find("本次计划迭代18次迭代,实际完成18次迭代."), std::string::npos);
  EXPECT_EQ(search.file(options.sequenceFileName), finals[18]);
  EXPECT_EQ(search.folder.entries(), (std::vector<std::string>{"out", "report2.txt"}));
}

TEST(PeriodicSave, SavesThatTakeLongWaitSoThatTheyCostAtMostTheirShare) {
  const std::vector<std::string> finals = finalFiles(40);
  // Each save of this archive costs 3 s by the clock (it is read once before and once after
  // the write, each read moving it on by 3 s); each iteration 2 s of evaluation and 3 s of
  // the clock's reads by the save's rule.
  SavingSearch search;
  search.clock.setStepPerRead(3000);
  SearchOptions options;
  options.saveEveryIterations = 1;
  options.saveTimeShare = 0.1;  // a 3 s save, then at least 30 s without one
  const std::vector<std::string> seen = search.run(40, options);

  std::vector<int> saves;  // the iteration whose end state each save held
  int previous = -1;
  for (int state : savedStates(seen, finals, 40)) {
    ASSERT_NE(state, -2) << "a save held what no search ending there writes";
    if (state != previous && state >= 0) saves.push_back(state);
    previous = state;
  }
  ASSERT_GE(saves.size(), 2u);
  // Saved at the first chance, then every few iterations: 30 s over 5 s per iteration.
  EXPECT_EQ(saves.front(), 1);
  for (std::size_t i = 1; i < saves.size(); ++i)
    EXPECT_GE(saves[i] - saves[i - 1], 6) << "save " << i;
  EXPECT_EQ(search.file(), finals[40]);
}

}  // namespace
}  // namespace tessera
