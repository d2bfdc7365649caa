// search: annealing chains, alone or several run side by side that meet at fixed intervals.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/packing_sequence.h"
#include "model/packing_system.h"
#include "search/chain_transport.h"
#include "search/cooling.h"
#include "search/optimizer.h"
#include "search/random.h"

namespace tessera {

/// The packing height of an efficiency: total part volume / efficiency / container floor area.
struct HeightOf {
  double totalVolume = 0.0;
  double area = 0.0;
  double operator()(double efficiency) const { return totalVolume / efficiency / area; }
};

/// One annealing chain: where it stands, the best it knows and what its iterations gave.
struct AnnealingChain {
  PackingSequence current;  // current.efficiency is the current efficiency
  PackingSequence best;
  Cooling cooling;
  int completed = 0;        // iterations done
  double sum = 0.0;         // of the neighbours' efficiencies
  double minimum = 0.0;
  double maximum = 0.0;
  int bestFoundBy = -1;     // chain whose own neighbour best is; -1: the starting solution
  int maxSwaps = 0;         // most swaps of one neighbour; 0: as many as the sequence is long

  AnnealingChain(PackingSequence start, Cooling startCooling);
};

using LineSink = std::function<void(const std::string&)>;

/// One iteration of the annealing: a neighbour with a type sequence not in the archive is
/// evaluated, archived (and appended to fresh when given), compared and accepted or not; its
/// lines go to say when given. Returns false, drawing and saying nothing, when the archive
/// already holds every type sequence of the project.
bool annealingStep(PackingSystem& system, const Evaluator& evaluate, AnnealingChain& chain,
                   TypeSequenceArchive& archive, Random& random, const HeightOf& height,
                   int chainIndex, const LineSink& say, std::vector<PackingSequence>* fresh);

/// How many of K chains the process of this rank runs, of that many processes: chain c runs
/// in the process of rank c modulo processes.
int chainsInProcess(int chains, int processes, int rank);

/// The generator state of chain c under seed S: S itself for chain 0, a mix of both otherwise.
std::uint32_t chainSeed(std::uint32_t seed, int chain);

/// K chains that run rounds side by side and then exchange, in chain order, what they found.
/// What they compute depends on the seed, K and the iterations of each round only: never on
/// the thread budget or the order in which the threads finish.
class ChainSet {
 public:
  struct Settings {
    int chains = 2;
    int threads = 1;  // shared among the chains; a chain gets at least one
    std::uint32_t seed = Random::kDefaultSeed;
    std::function<Evaluator(int threads)> makeEvaluator;
    // Given: the chains are spread over its processes, chain c in the one of rank c modulo
    // their number; each runs its chains on its own threads. Rank 0 builds the set, the others
    // serve.
    ChainTransport* transport = nullptr;
  };

  /// Every chain starts from start with a copy of system (grid and orientations built) and of
  /// archive; chain 0 draws from lead, chain c >= 1 from Random(chainSeed(seed, c)).
  ChainSet(const PackingSystem& system, const AnnealingChain& start,
           const TypeSequenceArchive& archive, const Settings& settings, Random lead);
  /// Tells the other processes that the search is over.
  ~ChainSet();
  ChainSet(const ChainSet&) = delete;
  ChainSet& operator=(const ChainSet&) = delete;

  struct Round {
    std::vector<std::string> leadLines;  // the lines chain 0 said, in order
    bool exhausted = false;              // a chain found every type sequence archived
  };
  /// Each chain runs up to `iterations` iterations; a chain that finds every type sequence
  /// archived stops early.
  Round run(int iterations, const HeightOf& height);

  /// What a process of rank 1 or more does for the whole search: runs its chains, on the
  /// system (grid and orientations built) as rank 0's set asks, until rank 0 ends the search.
  /// The count, seed and starting point come from rank 0.
  static void serve(const PackingSystem& system, Settings settings);

  /// Every chain's new archive entries go into archive and into every other chain's archive,
  /// in chain order; then the best sequence of all (the first chain's on a tie) becomes the
  /// current solution of every chain whose current is worse, and the best of every chain
  /// whose best is worse.
  void exchange(TypeSequenceArchive& archive) { exchangeChains(&archive); }

  int count() const;
  const AnnealingChain& chain(int c) const;
  /// The chain holding the best sequence of all, the first one on a tie.
  int bestChain() const;

 private:
  struct Member;
  ChainSet(const PackingSystem& system, const AnnealingChain& start,
           const TypeSequenceArchive& archive, const Settings& settings, Random lead, bool);
  void runLocal(int iterations, const HeightOf& height);
  void shareReports();
  void exchangeChains(TypeSequenceArchive* archive);

  std::vector<std::unique_ptr<Member>> members_;
  std::vector<Member*> local_;
  ChainTransport* transport_ = nullptr;
  int workers_ = 1;
};

/// Rank 0's word to the other processes that no search will run (any more); said once.
void endChainSession(ChainTransport& transport);

}  // namespace tessera
