// search: the annealing search over sequences, its archive, pauses and periodic saves.
// It never evaluates a layout itself (placement does) and writes only the program's own files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/packing_sequence.h"
#include "model/packing_system.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "search/chain_transport.h"
#include "search/cooling.h"
#include "search/random.h"

namespace tessera {

/// Turns an ID sequence into a layout in system.parts and returns its packing efficiency.
using Evaluator = std::function<double(PackingSystem&, const PackingSequence&)>;

/// Writes extra files of a layout beside its drawing (picture, mesh export); gets the base
/// name without suffix. Called with the layout placed in system.parts.
using LayoutExtras = std::function<void(PackingSystem&, const std::string& baseName)>;

struct SearchOptions {
  std::optional<int> iterations;  // given on the command line: the dialogue does not ask
  Evaluator evaluator;            // empty: the reference evaluation
  LayoutExtras layoutExtras;      // empty: none
  // Files a pause must never replace (the project's inputs, the run's outputs): a save name
  // that would write one of them is refused and asked again. The sequence file and the log
  // are always among them.
  std::vector<std::string> protectedFiles;
  // Endings of the files the layout extras write beside a pause's drawing (".png", ".3mf").
  std::vector<std::string> extraSuffixes;
  std::string sequenceFileName = "ID_Type_SequenceForPack.txt";
  std::string logFileName = "report2.txt";
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
  double startTemperature = 0.01;
  CoolingSchedule schedule = CoolingSchedule::Linear;
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
  int exchangeEvery = 10;
  // Most swaps that make one neighbour; 0 or less: as many as the sequence is long.
  int maxSwaps = 0;
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

/// The annealing search over ID sequences. On return system.parts holds the best layout,
/// computingTimeText is set, the log has grown and the sequence file holds the best sequence
/// and every evaluated type sequence. Saves during the search hold exactly what the end of
/// the search would write at that point; one that fails is reported on the console and
/// tried again at the next save, while a failure of the final write ends the search.
void optimize(PackingSystem& system, SearchServices services, const SearchOptions& options);

}  // namespace tessera
