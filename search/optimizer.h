// search: the annealing search over sequences, its archive, pauses and periodic saves.
// It never evaluates a layout itself (placement does) and writes only the program's own files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "placement/placement_rule.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "search/chain_transport.h"
#include "search/cooling.h"
#include "search/layout_files.h"
#include "search/random.h"
#include "search/search_records.h"

namespace tessera {

/// Turns an ID sequence into a layout of the project, with its measure.
using Evaluator = std::function<Layout(const Project&, const PackingSequence&)>;

/// The reference evaluation under a placement rule, as an Evaluator.
Evaluator referenceEvaluator(PlacementRule rule);

/// The settings of the annealing that a run may choose, with the values it takes when it
/// chooses none: those of a single chain (the search as it has always been) and those measured
/// best for several chains (README, "Choosing the defaults of several chains").
struct AnnealingDefaults {
  double startTemperature = 0.01;
  CoolingSchedule schedule = CoolingSchedule::Linear;
  int maxSwaps = 0;  // 0: as many as the sequence is long
  int exchangeEvery = 10;
  PlacementRule placementRule = PlacementRule::lowestPoint;
};
inline constexpr AnnealingDefaults kSingleChainDefaults{};
inline constexpr AnnealingDefaults kSeveralChainsDefaults{0.003, CoolingSchedule::Linear, 3, 10,
                                                          PlacementRule::lowestTop};

struct SearchOptions {
  std::optional<int> iterations;  // given on the command line: the dialogue does not ask
  Evaluator evaluator;            // empty: the reference evaluation under placementRule
  // Files beside the drawing of every layout the run writes (picture, page, mesh export).
  std::vector<ExtraLayoutFile> extras;
  // Told every record of the search, after the log.
  std::vector<SearchObserver*> observers;
  // Files a pause must never replace (the project's inputs, the run's outputs): a save name
  // that would write one of them is refused and asked again. The sequence file and the log
  // are always among them.
  std::vector<std::string> protectedFiles;
  std::string sequenceFileName = runFileName(RunFileRole::sequence);
  std::string logFileName = runFileName(RunFileRole::log);
  // The sequence file is also saved during the search, after the iteration that reaches
  // either many iterations or many seconds (by the search's clock) since the last save, so
  // that a killed search loses at most that much work. 0 or less turns a rule off.
  int saveEveryIterations = 10;
  double saveEverySeconds = 300.0;
  // Whatever the archive's size, periodic saves take at most this share of the search's
  // time: after a save that took t seconds the next waits at least t / saveTimeShare seconds,
  // whichever rule is due. 0 or less: no such bound.
  double saveTimeShare = 0.02;
  // The temperature of iteration 1, and how it falls over the planned iterations.
  double startTemperature = kSingleChainDefaults.startTemperature;
  CoolingSchedule schedule = kSingleChainDefaults.schedule;
  // The search ends after the iteration in which this many seconds of computing time (by the
  // search's clock, pauses not counted) have passed, as if the user had chosen to stop.
  std::optional<double> timeLimitSeconds;
  // More than 1: that many chains anneal side by side, each for the planned iterations, and
  // exchange their archives and best sequence after every exchangeEvery iterations. Pauses,
  // Ctrl-C, the time limit and periodic saves then act at those exchanges only. Chain c >= 1
  // draws from a generator derived from seed, chain 0 from the search's own; each chain
  // evaluates with its own chainEvaluator(threads) (empty: the reference evaluation), the
  // threads shared among the chains.
  int chains = 1;
  int exchangeEvery = kSingleChainDefaults.exchangeEvery;
  // Most swaps that make one neighbour; 0 or less: as many as the sequence is long.
  int maxSwaps = kSingleChainDefaults.maxSwaps;
  // The rule the evaluators place by; named when a resumed file's efficiency changed.
  PlacementRule placementRule = kSingleChainDefaults.placementRule;
  int threads = 1;
  std::uint32_t seed = Random::kDefaultSeed;
  std::function<Evaluator(int threads)> chainEvaluator;
  // Given: the chains are spread over its processes (see ChainSet).
  ChainTransport* transport = nullptr;
};

/// Everything the search talks to or draws from; passed in, never global.
struct SearchServices {
  platform::Console& console;
  platform::Clock& clock;
  Random& random;
};

/// What a search found.
struct SearchResult {
  PackingSequence best;           // with its efficiency
  Layout layout;                  // best, laid out
  std::string computingTimeText;  // the net computing time, "%.2f 秒"
  double computingSeconds = 0.0;  // the same, unrounded
};

/// The annealing search over ID sequences. On return the log has grown and the sequence file
/// holds the best sequence and every evaluated type sequence. Saves during the search hold
/// exactly what the end of the search would write at that point; one that fails is reported
/// on the console and tried again at the next save, while a failure of the final write ends
/// the search.
SearchResult optimize(const Project& project, SearchServices services,
                      const SearchOptions& options);

}  // namespace tessera
