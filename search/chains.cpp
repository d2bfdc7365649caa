#include "search/chains.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <exception>
#include <sstream>
#include <thread>
#include <utility>

#include "geometry/assert.h"
#include "search/log_text.h"
#include "search/sequences.h"

namespace tessera {

AnnealingChain::AnnealingChain(PackingSequence start, Cooling startCooling)
    : current(start), best(std::move(start)), cooling(startCooling) {}

bool annealingStep(PackingSystem& system, const Evaluator& evaluate, AnnealingChain& chain,
                   TypeSequenceArchive& archive, Random& random, const HeightOf& height,
                   int chainIndex, const LineSink& say, std::vector<PackingSequence>* fresh) {
  if (typeSequencesExhausted(system, archive)) return false;
  const auto line = [&say](const std::string& s) {
    if (say) say(s);
  };
  const int k = chain.completed + 1;
  line(text("第", k, "次模拟退火:"));
  line(text("  当前温度=", chain.cooling.temperature()));
  line(text("  最优排样效率=", chain.best.efficiency, "; 当前排样效率=", chain.current.efficiency));

  std::optional<PackingSequence> made =
      makeNeighbour(system, chain.current, archive, random, chain.maxSwaps);
  TESSERA_ASSERT(made.has_value());  // exhaustion was ruled out above
  if (!made) return false;
  PackingSequence neighbour = std::move(*made);
  const double neighbourEfficiency = evaluate(system, neighbour);
  system.masterParts.copyInto(system.parts);

  chain.sum += neighbourEfficiency;
  if (chain.completed == 0) {
    chain.minimum = chain.maximum = neighbourEfficiency;
  } else {
    if (neighbourEfficiency < chain.minimum) chain.minimum = neighbourEfficiency;
    if (neighbourEfficiency > chain.maximum) chain.maximum = neighbourEfficiency;
  }

  neighbour.efficiency = neighbourEfficiency;
  const PackingSequence types = toTypeSequence(system, neighbour);
  archive.insertSorted(types);
  if (fresh) fresh->push_back(types);

  line("  生成的邻域排样序列:");
  line(text("  排样效率=", neighbourEfficiency, ";排样高度=", height(neighbourEfficiency)));

  bool better = false;
  bool accepted = false;
  if (neighbourEfficiency > chain.current.efficiency) {
    better = accepted = true;
    chain.current = neighbour;
  } else {
    const double r = random.next() / 32767.0;
    const double p = std::exp(-std::fabs(chain.current.efficiency - neighbourEfficiency) /
                              chain.cooling.temperature());
    line(text("  随机数=", r, " ;接受概率=", p));
    if (p > r) {
      accepted = true;
      chain.current = neighbour;
    }
  }
  bool newBest = false;
  if (neighbourEfficiency > chain.best.efficiency) {
    chain.best = neighbour;
    chain.bestFoundBy = chainIndex;
    newBest = true;
  }

  line(better ? "  邻域解优于当前解" : "  邻域解次于当前解");
  line(accepted ? "  邻域解被接受成为当前解" : "  邻域解被拒绝成为当前解");
  line(newBest ? "  邻域解优于最优解" : "  邻域解次于最优解");

  chain.cooling.next();
  chain.completed = k;
  return true;
}

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

/// Values as their bytes: the processes of one search run the same build on the same kind of
/// machine, and efficiencies must arrive bit for bit.
class Bytes {
 public:
  template <typename T>
  void put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    text_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void put(const PackingSequence& sequence) {
    put(static_cast<std::int64_t>(sequence.items.size()));
    text_.append(reinterpret_cast<const char*>(sequence.items.data()),
                 sequence.items.size() * sizeof(std::int32_t));
    put(sequence.efficiency);
  }
  void put(const AnnealingChain& chain) {
    put(chain.current);
    put(chain.best);
    put(chain.cooling);
    put(chain.completed);
    put(chain.sum);
    put(chain.minimum);
    put(chain.maximum);
    put(chain.bestFoundBy);
    put(chain.maxSwaps);
  }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}
  template <typename T>
  T get() {
    static_assert(std::is_trivially_copyable_v<T>);
    std::array<char, sizeof(T)> raw;
    take(raw.data(), raw.size());
    return std::bit_cast<T>(raw);
  }
  PackingSequence sequence() {
    PackingSequence s;
    s.items.resize(static_cast<std::size_t>(get<std::int64_t>()));
    take(s.items.data(), s.items.size() * sizeof(std::int32_t));
    s.efficiency = get<double>();
    return s;
  }
  void chain(AnnealingChain& chain) {
    chain.current = sequence();
    chain.best = sequence();
    chain.cooling = get<Cooling>();
    chain.completed = get<int>();
    chain.sum = get<double>();
    chain.minimum = get<double>();
    chain.maximum = get<double>();
    chain.bestFoundBy = get<int>();
    chain.maxSwaps = get<int>();
  }

 private:
  void take(void* to, std::size_t size) {
    TESSERA_ASSERT(at_ + size <= text_.size());
    if (size > 0) std::memcpy(to, text_.data() + at_, size);
    at_ += size;
  }
  const std::string& text_;
  std::size_t at_ = 0;
};

// What rank 0 says to the others.
constexpr char kStart = 'S';
constexpr char kRound = 'R';
constexpr char kEnd = 'E';

}  // namespace

struct ChainSet::Member {
  int index = 0;
  AnnealingChain chain;
  // Only for a chain of this process:
  PackingSystem system;
  TypeSequenceArchive archive;
  Random random;
  Evaluator evaluate;
  std::vector<std::string> lines;
  std::exception_ptr failure;
  // Of every chain, brought up to date after each round:
  std::vector<PackingSequence> fresh;  // type sequences evaluated since the last exchange
  bool exhausted = false;
};

ChainSet::ChainSet(const PackingSystem& system, const AnnealingChain& start,
                   const TypeSequenceArchive& archive, const Settings& settings, Random lead)
    : ChainSet(system, start, archive, settings, lead, true) {}

ChainSet::ChainSet(const PackingSystem& system, const AnnealingChain& start,
                   const TypeSequenceArchive& archive, const Settings& settings, Random lead,
                   bool leadProcess)
    : transport_(settings.transport) {
  TESSERA_ASSERT(settings.chains >= 1 && settings.threads >= 1 && settings.makeEvaluator);
  const int k = settings.chains;
  const int processes = transport_ ? transport_->processes() : 1;
  const int rank = transport_ ? transport_->rank() : 0;
  if (transport_ && leadProcess) {
    Bytes startMessage;
    startMessage.put(kStart);
    startMessage.put(k);
    startMessage.put(settings.seed);
    startMessage.put(start);
    startMessage.put(static_cast<std::int64_t>(archive.count()));
    for (const PackingSequence& entry : archive) startMessage.put(entry);
    transport_->broadcast(startMessage.text());
  }
  const int mine = chainsInProcess(k, processes, rank);
  workers_ = std::max(1, std::min(mine, settings.threads));
  for (int c = 0; c < k; ++c) {
    auto member = std::make_unique<Member>(Member{c, start, {}, {}, Random(), {}, {}, nullptr, {}, false});
    if (c % processes == rank) {
      // Threads left over once every chain has one go to the first chains' evaluations.
      const int own = static_cast<int>(local_.size());
      const int threads =
          settings.threads <= mine ? 1 : settings.threads / mine + (own < settings.threads % mine ? 1 : 0);
      member->system = system;
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
  std::string end(1, kEnd);
  transport.broadcast(end);
}

ChainSet::Round ChainSet::run(int iterations, const HeightOf& height) {
  if (transport_) {
    Bytes command;
    command.put(kRound);
    command.put(iterations);
    transport_->broadcast(command.text());
  }
  runLocal(iterations, height);
  if (transport_) shareReports();
  Round round;
  for (const auto& m : members_) round.exhausted = round.exhausted || m->exhausted;
  round.leadLines = std::move(members_[0]->lines);
  return round;
}

void ChainSet::runLocal(int iterations, const HeightOf& height) {
  // Worker w runs this process's chains w, w + workers, ... one after another; worker 0 is
  // this thread.
  const auto work = [this, iterations, &height](int w) {
    for (std::size_t i = static_cast<std::size_t>(w); i < local_.size();
         i += static_cast<std::size_t>(workers_)) {
      Member& m = *local_[i];
      m.lines.clear();
      m.exhausted = false;
      try {
        const LineSink say =
            m.index == 0 ? LineSink([&m](const std::string& s) { m.lines.push_back(s); })
                         : LineSink();
        for (int n = 0; n < iterations; ++n)
          if (!annealingStep(m.system, m.evaluate, m.chain, m.archive, m.random, height, m.index,
                             say, &m.fresh)) {
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
  Bytes report;
  report.put(static_cast<int>(local_.size()));
  for (const Member* m : local_) {
    report.put(m->index);
    report.put(m->exhausted);
    report.put(m->chain);
    report.put(static_cast<std::int64_t>(m->fresh.size()));
    for (const PackingSequence& entry : m->fresh) report.put(entry);
  }
  const std::vector<std::string> reports = transport_->allGather(report.text());
  for (std::size_t r = 0; r < reports.size(); ++r) {
    if (static_cast<int>(r) == transport_->rank()) continue;
    Reader in(reports[r]);
    const int chains = in.get<int>();
    for (int i = 0; i < chains; ++i) {
      Member& m = *members_[static_cast<std::size_t>(in.get<int>())];
      m.exhausted = in.get<bool>();
      in.chain(m.chain);
      m.fresh.resize(static_cast<std::size_t>(in.get<std::int64_t>()));
      for (PackingSequence& entry : m.fresh) entry = in.sequence();
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

void ChainSet::serve(const PackingSystem& system, Settings settings) {
  TESSERA_ASSERT(settings.transport && settings.transport->rank() != 0);
  ChainTransport& transport = *settings.transport;
  std::string message;
  transport.broadcast(message);
  Reader start(message);
  if (start.get<char>() != kStart) return;
  settings.chains = start.get<int>();
  settings.seed = start.get<std::uint32_t>();
  AnnealingChain first(PackingSequence(), Cooling(CoolingSchedule::Constant, 0.0, 1));
  start.chain(first);
  TypeSequenceArchive archive;
  for (auto n = start.get<std::int64_t>(); n > 0; --n) archive.insertSorted(start.sequence());
  ChainSet chains(system, first, archive, settings, Random(), false);
  for (;;) {
    transport.broadcast(message);
    Reader command(message);
    if (command.get<char>() != kRound) return;
    chains.runLocal(command.get<int>(), HeightOf());
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
