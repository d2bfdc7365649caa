#include "search/chains.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include "geometry/assert.h"
#include "search/chain_wire.h"

namespace tessera {

int chainsInProcess(int chains, int processes, int rank) {
  return chains / processes + (rank < chains % processes ? 1 : 0);
}

std::uint32_t chainSeed(std::uint32_t seed, int chain) {
  if (chain == 0) return seed;
  std::uint32_t x = seed + static_cast<std::uint32_t>(chain) * 0x9E3779B9u;
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  x *= 0xC2B2AE35u;
  x ^= x >> 16;
  return x;
}

namespace {

/// Keeps the records chain 0 tells, for rank 0 to pass on after the round.
class RecordList final : public SearchObserver {
 public:
  explicit RecordList(std::vector<IterationRecord>& records) : records_(records) {}
  void iterated(const IterationRecord& record) override { records_.push_back(record); }

 private:
  std::vector<IterationRecord>& records_;
};

WireLimits limitsOf(const Project& project, int chains, const ChainTransport& transport) {
  return {project.sequenceLength, static_cast<int>(project.partTypes.size()), chains,
          transport.processes()};
}

}  // namespace

struct ChainSet::Member {
  int index = 0;
  AnnealingChain chain;
  // Only for a chain of this process:
  TypeSequenceArchive archive;
  Random random;
  Evaluator evaluate;
  std::vector<IterationRecord> records;
  std::exception_ptr failure;
  // Of every chain, brought up to date after each round:
  std::vector<PackingSequence> fresh;  // type sequences evaluated since the last exchange
  bool exhausted = false;
};

ChainSet::ChainSet(const Project& project, const AnnealingChain& start,
                   const TypeSequenceArchive& archive, const Settings& settings, Random lead)
    : ChainSet(project, start, archive, settings, lead, true) {}

ChainSet::ChainSet(const Project& project, const AnnealingChain& start,
                   const TypeSequenceArchive& archive, const Settings& settings, Random lead,
                   bool leadProcess)
    : project_(project), transport_(settings.transport) {
  TESSERA_ASSERT(settings.chains >= 1 && settings.threads >= 1 && settings.makeEvaluator);
  const int k = settings.chains;
  const int processes = transport_ ? transport_->processes() : 1;
  const int rank = transport_ ? transport_->rank() : 0;
  if (transport_ && leadProcess) {
    std::string message = encodeStart(
        {k, settings.seed, start, std::vector<PackingSequence>(archive.begin(), archive.end())});
    transport_->broadcast(message);
  }
  const int mine = chainsInProcess(k, processes, rank);
  workers_ = std::max(1, std::min(mine, settings.threads));
  for (int c = 0; c < k; ++c) {
    auto member =
        std::make_unique<Member>(Member{c, start, {}, Random(), {}, {}, nullptr, {}, false});
    if (c % processes == rank) {
      // Threads left over once every chain has one go to the first chains' evaluations.
      const int own = static_cast<int>(local_.size());
      const int threads = settings.threads <= mine
                              ? 1
                              : settings.threads / mine + (own < settings.threads % mine ? 1 : 0);
      member->archive = archive;
      member->random = c == 0 ? lead : Random(chainSeed(settings.seed, c));
      member->evaluate = settings.makeEvaluator(threads);
      local_.push_back(member.get());
    }
    members_.push_back(std::move(member));
  }
}

ChainSet::~ChainSet() {
  if (transport_ && transport_->rank() == 0) {
    try {
      endChainSession(*transport_);
    } catch (...) {
      // The others are gone already; nothing is left to tell them.
    }
  }
}

void endChainSession(ChainTransport& transport) {
  if (transport.rank() != 0 || transport.ended()) return;
  transport.setEnded();
  std::string end = encodeEnd();
  transport.broadcast(end);
}

ChainSet::Round ChainSet::run(int iterations, const HeightOf& height) {
  if (transport_) {
    std::string command = encodeRound(iterations);
    transport_->broadcast(command);
  }
  runLocal(iterations, height);
  if (transport_) shareReports();
  Round round;
  for (const auto& m : members_) round.exhausted = round.exhausted || m->exhausted;
  round.leadRecords = std::move(members_[0]->records);
  return round;
}

void ChainSet::runLocal(int iterations, const HeightOf& height) {
  // Worker w runs this process's chains w, w + workers, ... one after another; worker 0 is
  // this thread.
  const auto work = [this, iterations, &height](int w) {
    for (std::size_t i = static_cast<std::size_t>(w); i < local_.size();
         i += static_cast<std::size_t>(workers_)) {
      Member& m = *local_[i];
      m.records.clear();
      m.exhausted = false;
      try {
        RecordList told(m.records);
        for (int n = 0; n < iterations; ++n)
          if (!annealingStep(project_, m.evaluate, m.chain, m.archive, m.random, height, m.index,
                             m.index == 0 ? &told : nullptr, &m.fresh)) {
            m.exhausted = true;
            break;
          }
      } catch (...) {
        m.failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < workers_; ++w) threads.emplace_back(work, w);
  work(0);
  for (std::thread& thread : threads) thread.join();
  for (Member* m : local_)
    if (m->failure) std::rethrow_exception(std::exchange(m->failure, nullptr));
}

void ChainSet::shareReports() {
  std::vector<ChainReport> mine;
  for (const Member* m : local_) mine.push_back({m->index, m->exhausted, m->chain, m->fresh});
  const std::vector<std::string> reports = transport_->allGather(encodeReports(mine));
  const WireLimits limits = limitsOf(project_, count(), *transport_);
  for (std::size_t r = 0; r < reports.size(); ++r) {
    if (static_cast<int>(r) == transport_->rank()) continue;
    for (ChainReport& report : decodeReports(reports[r], limits, static_cast<int>(r))) {
      Member& m = *members_[static_cast<std::size_t>(report.index)];
      m.exhausted = report.exhausted;
      m.chain = std::move(report.chain);
      m.fresh = std::move(report.fresh);
    }
  }
}

void ChainSet::exchangeChains(TypeSequenceArchive* archive) {
  for (const auto& from : members_) {
    for (const PackingSequence& entry : from->fresh) {
      if (archive && !archive->contains(entry)) archive->insertSorted(entry);
      for (Member* to : local_)
        if (to != from.get() && !to->archive.contains(entry)) to->archive.insertSorted(entry);
    }
  }
  for (const auto& m : members_) m->fresh.clear();

  const AnnealingChain& top = members_[static_cast<std::size_t>(bestChain())]->chain;
  const PackingSequence best = top.best;
  const int foundBy = top.bestFoundBy;
  for (const auto& m : members_) {
    if (m->chain.current.efficiency < best.efficiency) m->chain.current = best;
    if (m->chain.best.efficiency < best.efficiency) {
      m->chain.best = best;
      m->chain.bestFoundBy = foundBy;
    }
  }
}

void ChainSet::serve(const Project& project, Settings settings) {
  TESSERA_ASSERT(settings.transport && settings.transport->rank() != 0);
  ChainTransport& transport = *settings.transport;
  std::string message;
  transport.broadcast(message);
  if (commandOf(message) != ChainCommand::start) return;
  StartMessage start = decodeStart(message, limitsOf(project, 0, transport));
  settings.chains = start.chains;
  settings.seed = start.seed;
  TypeSequenceArchive archive;
  for (const PackingSequence& entry : start.archive) archive.insertSorted(entry);
  ChainSet chains(project, start.start, archive, settings, Random(), false);
  for (;;) {
    transport.broadcast(message);
    if (commandOf(message) != ChainCommand::round) return;
    chains.runLocal(decodeRound(message), HeightOf());
    chains.shareReports();
    chains.exchangeChains(nullptr);
  }
}

int ChainSet::count() const { return static_cast<int>(members_.size()); }

const AnnealingChain& ChainSet::chain(int c) const {
  return members_[static_cast<std::size_t>(c)]->chain;
}

int ChainSet::bestChain() const {
  int top = 0;
  for (int c = 1; c < count(); ++c)
    if (chain(c).best.efficiency > chain(top).best.efficiency) top = c;
  return top;
}

}  // namespace tessera
