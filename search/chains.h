// search: annealing chains, alone or several run side by side that meet at fixed intervals.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "search/annealing.h"
#include "search/chain_transport.h"
#include "search/optimizer.h"
#include "search/random.h"
#include "search/search_records.h"

namespace tessera {

/// How many of K chains the process of this rank runs, of that many processes: chain c runs
/// in the process of rank c modulo processes.
int chainsInProcess(int chains, int processes, int rank);

/// The generator state of chain c under seed S: S itself for chain 0, a mix of both otherwise.
std::uint32_t chainSeed(std::uint32_t seed, int chain);

/// K chains that run rounds side by side and then exchange, in chain order, what they found.
/// What they compute depends on the seed, K and the iterations of each round only: never on
/// the thread budget or the order in which the threads finish. Every chain reads the one
/// project; each evaluates with an evaluator of its own.
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

  /// Every chain starts from start with a copy of archive; chain 0 draws from lead, chain
  /// c >= 1 from Random(chainSeed(seed, c)).
  ChainSet(const Project& project, const AnnealingChain& start, const TypeSequenceArchive& archive,
           const Settings& settings, Random lead);
  /// Tells the other processes that the search is over.
  ~ChainSet();
  ChainSet(const ChainSet&) = delete;
  ChainSet& operator=(const ChainSet&) = delete;

  struct Round {
    std::vector<IterationRecord> leadRecords;  // chain 0's, in order
    bool exhausted = false;                    // a chain found every type sequence archived
  };
  /// Each chain runs up to `iterations` iterations; a chain that finds every type sequence
  /// archived stops early.
  Round run(int iterations, const HeightOf& height);

  /// What a process of rank 1 or more does for the whole search: runs its chains of the
  /// project (orientation table built) as rank 0's set asks, until rank 0 ends the search.
  /// The count, seed and starting point come from rank 0.
  static void serve(const Project& project, Settings settings);

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
  ChainSet(const Project& project, const AnnealingChain& start, const TypeSequenceArchive& archive,
           const Settings& settings, Random lead, bool leadProcess);
  void runLocal(int iterations, const HeightOf& height);
  void shareReports();
  void exchangeChains(TypeSequenceArchive* archive);

  const Project& project_;
  std::vector<std::unique_ptr<Member>> members_;
  std::vector<Member*> local_;
  ChainTransport* transport_ = nullptr;
  int workers_ = 1;
};

/// Rank 0's word to the other processes that no search will run (any more); said once.
void endChainSession(ChainTransport& transport);

}  // namespace tessera
