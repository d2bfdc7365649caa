// Several annealing chains side by side: a result that depends on the seed and the chain count
// only, the exchanges, the time limit and resuming from what the chains archived.
#include "search/chains.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "formats/sequence_file.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/encoding.h"
#include "search/optimizer.h"
#include "search/random.h"
#include "search/sequences.h"
#include "support/outputs.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::occurrences;

/// A stand-in evaluation that any number of chains may call at once: the efficiency is a
/// fixed function of the ID sequence, and every call's type sequence is recorded.
struct ChainSearch {
  ChainSearch() : project(test::projectWithTypes({3, 3, 2, 2})) {
    project.container = test::box({0, 0, 0}, {10, 10, 10});
    project.PBSL = 1.0;
    project.RN = 1;
  }

  void run(int iterations, SearchOptions options) {
    test::WorkingDirectory inside(folder.path(""));
    platform::BufferConsole console("");
    options.iterations = iterations;
    options.evaluator = [](const Project& p, const PackingSequence& s) {
      return test::layoutScoring(p, score(s));
    };
    options.chainEvaluator = [this](int) -> Evaluator {
      return [this](const Project& chainProject, const PackingSequence& s) {
        const std::lock_guard<std::mutex> hold(mutex);
        evaluated.push_back(toTypeSequence(chainProject, s).items);
        if (advancePerEvaluation > 0) clock.advance(advancePerEvaluation);
        return test::layoutScoring(chainProject, score(s));
      };
    };
    Random random(options.seed);
    Project copy = project;
    optimize(copy, {console, clock, random}, options);
    consoleText = console.output();
  }

  static double score(const PackingSequence& s) {
    double e = 0.3;
    for (std::size_t i = 0; i < s.items.size(); ++i)
      e += 0.001 * static_cast<double>((s.items[i] * 7 + static_cast<int>(i) * 3) % 11) *
           static_cast<double>(i);
    return e;
  }

  std::string file(const std::string& name) const { return test::readBytes(folder.path(name)); }

  /// The type sequences of the sequence file's archive.
  std::set<std::vector<std::int32_t>> archived() const {
    std::ifstream in(folder.path("ID_Type_SequenceForPack.txt"), std::ios::binary);
    const SequenceFileContents contents = readSequenceFile(project, in);
    std::set<std::vector<std::int32_t>> items;
    for (const PackingSequence& entry : contents.archive) items.insert(entry.items);
    return items;
  }

  test::ScratchFolder folder;
  Project project;
  platform::ManualClock clock{1000};
  std::mutex mutex;
  std::vector<std::vector<std::int32_t>> evaluated;
  int advancePerEvaluation = 0;
  std::string consoleText;
};

SearchOptions chainOptions(int chains, int threads, int every) {
  SearchOptions options;
  options.chains = chains;
  options.threads = threads;
  options.exchangeEvery = every;
  options.seed = 7;
  return options;
}

TEST(Chains, TheSameSeedAndChainCountGiveTheSameBytesWithAnyThreadCount) {
  ChainSearch reference;
  reference.run(15, chainOptions(3, 1, 4));
  const std::string log = reference.file("report2.txt");
  const std::string sequences = reference.file("ID_Type_SequenceForPack.txt");
  // Four exchanges (after 4, 8, 12 and 15 iterations) and the lead chain's own iterations.
  EXPECT_EQ(occurrences(log, platform::utf8ToGbk("次链间交换 (3 条链, 每条已完成 ")), 4);
  EXPECT_EQ(occurrences(log, platform::utf8ToGbk("次模拟退火:")), 15);
  EXPECT_NE(log.find(platform::utf8ToGbk("每条已完成 15 次迭代")), std::string::npos);
  EXPECT_EQ(reference.evaluated.size(), 45u);
  for (int threads : {2, 4}) {
    ChainSearch other;
    other.run(15, chainOptions(3, threads, 4));
    EXPECT_EQ(other.file("report2.txt"), log) << threads << " threads";
    EXPECT_EQ(other.file("ID_Type_SequenceForPack.txt"), sequences) << threads << " threads";
    EXPECT_EQ(other.consoleText, reference.consoleText) << threads << " threads";
  }
  ChainSearch otherSeed;
  SearchOptions options = chainOptions(3, 2, 4);
  options.seed = 8;
  otherSeed.run(15, options);
  EXPECT_NE(otherSeed.file("ID_Type_SequenceForPack.txt"), sequences);
}

TEST(Chains, TheArchiveHoldsEveryChainsSequencesAndTheBestOfAll) {
  ChainSearch search;
  search.run(10, chainOptions(4, 2, 5));
  const std::set<std::vector<std::int32_t>> archived = search.archived();
  // The start and the 40 neighbours, less those two chains met in the same round.
  const std::set<std::vector<std::int32_t>> distinct(search.evaluated.begin(),
                                                     search.evaluated.end());
  EXPECT_EQ(archived.size(), distinct.size() + 1);
  for (const auto& types : distinct) EXPECT_EQ(archived.count(types), 1u);

  // The file's best is the best any chain evaluated.
  std::ifstream in(search.folder.path("ID_Type_SequenceForPack.txt"), std::ios::binary);
  const SequenceFileContents contents = readSequenceFile(search.project, in);
  double bestSeen = 0.0;
  for (const PackingSequence& entry : contents.archive)
    bestSeen = std::max(bestSeen, entry.efficiency);
  EXPECT_EQ(contents.idSequence.efficiency, bestSeen);
}

TEST(Chains, AResumedSearchNeverEvaluatesATypeSequenceTheChainsArchived) {
  ChainSearch search;
  search.run(12, chainOptions(3, 2, 3));
  const std::set<std::vector<std::int32_t>> first = search.archived();
  ASSERT_GT(first.size(), 30u);
  search.evaluated.clear();
  search.run(12, chainOptions(2, 2, 4));  // resumes from the sequence file
  ASSERT_EQ(search.evaluated.size(), 24u);
  std::set<std::vector<std::int32_t>> seen;
  for (const auto& types : search.evaluated) {
    EXPECT_EQ(first.count(types), 0u);
    seen.insert(types);
  }
  const std::set<std::vector<std::int32_t>> second = search.archived();
  EXPECT_EQ(second.size(), first.size() + seen.size());
  // And a single chain resuming from that file goes on from it just as well.
  search.evaluated.clear();
  search.run(5, SearchOptions());
  EXPECT_EQ(search.archived().size(), second.size() + 5);
}

TEST(Chains, TheTimeLimitEndsTheSearchAtAnExchangeWithEveryOutput) {
  ChainSearch search;
  search.advancePerEvaluation = 2000;  // two seconds per evaluation
  SearchOptions options = chainOptions(2, 1, 3);
  options.timeLimitSeconds = 5.0;
  search.run(30, options);
  const std::string log = platform::gbkToUtf8(search.file("report2.txt"));
  EXPECT_NE(log.find("已达到时间限制 5 秒"), std::string::npos);
  EXPECT_NE(log.find("  本次计划迭代30次迭代,实际完成3次迭代."), std::string::npos) << log;
  EXPECT_EQ(search.evaluated.size(), 6u);
  EXPECT_EQ(search.archived().size(), 7u);
}

TEST(Chains, ChainStreamsStartFromTheSeedAndDifferFromEachOther) {
  EXPECT_EQ(chainSeed(12345, 0), 12345u);
  std::set<std::uint32_t> seeds;
  for (int c = 0; c < 64; ++c) seeds.insert(chainSeed(12345, c));
  EXPECT_EQ(seeds.size(), 64u);
}

}  // namespace
}  // namespace tessera
