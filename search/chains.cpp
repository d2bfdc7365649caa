#include "search/chains.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <sstream>
#include <thread>
#include <utility>

#include "geometry/assert.h"
#include "search/sequences.h"

namespace tessera {

namespace {

/// Formats values the way a default output stream does (six significant digits).
template <typename... Values>
std::string text(const Values&... values) {
  std::ostringstream out;
  (out << ... << values);
  return out.str();
}

}  // namespace

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

  std::optional<PackingSequence> made = makeNeighbour(system, chain.current, archive, random);
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

struct ChainSet::Member {
  PackingSystem system;
  AnnealingChain chain;
  TypeSequenceArchive archive;
  Random random;
  Evaluator evaluate;
  std::vector<PackingSequence> fresh;  // type sequences evaluated since the last exchange
  std::vector<std::string> lines;
  bool exhausted = false;
  std::exception_ptr failure;
};

ChainSet::ChainSet(const PackingSystem& system, const AnnealingChain& start,
                   const TypeSequenceArchive& archive, const Settings& settings, Random lead) {
  TESSERA_ASSERT(settings.chains >= 1 && settings.threads >= 1 && settings.makeEvaluator);
  const int k = settings.chains;
  workers_ = std::min(k, settings.threads);
  for (int c = 0; c < k; ++c) {
    // Threads left over once every chain has one go to the first chains' evaluations.
    const int threads = settings.threads <= k
                            ? 1
                            : settings.threads / k + (c < settings.threads % k ? 1 : 0);
    members_.push_back(std::make_unique<Member>(
        Member{system, start, archive, c == 0 ? lead : Random(chainSeed(settings.seed, c)),
               settings.makeEvaluator(threads), {}, {}, false, nullptr}));
  }
}

ChainSet::~ChainSet() = default;

ChainSet::Round ChainSet::run(int iterations, const HeightOf& height) {
  // Worker w runs chains w, w + workers, ... one after another; worker 0 is this thread.
  const auto work = [this, iterations, &height](int w) {
    for (std::size_t c = static_cast<std::size_t>(w); c < members_.size();
         c += static_cast<std::size_t>(workers_)) {
      Member& m = *members_[c];
      m.lines.clear();
      m.exhausted = false;
      try {
        const LineSink say =
            c == 0 ? LineSink([&m](const std::string& s) { m.lines.push_back(s); }) : LineSink();
        for (int i = 0; i < iterations; ++i)
          if (!annealingStep(m.system, m.evaluate, m.chain, m.archive, m.random, height,
                             static_cast<int>(c), say, &m.fresh)) {
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

  Round round;
  for (const auto& m : members_) {
    if (m->failure) std::rethrow_exception(std::exchange(m->failure, nullptr));
    round.exhausted = round.exhausted || m->exhausted;
  }
  round.leadLines = std::move(members_[0]->lines);
  return round;
}

void ChainSet::exchange(TypeSequenceArchive& archive) {
  for (std::size_t from = 0; from < members_.size(); ++from) {
    for (const PackingSequence& entry : members_[from]->fresh) {
      if (!archive.contains(entry)) archive.insertSorted(entry);
      for (std::size_t to = 0; to < members_.size(); ++to)
        if (to != from && !members_[to]->archive.contains(entry))
          members_[to]->archive.insertSorted(entry);
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
