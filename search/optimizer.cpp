#include "search/optimizer.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "model/input_error.h"
#include "placement/evaluation.h"
#include "platform/interrupt.h"
#include "search/annealing.h"
#include "search/chains.h"
#include "search/pause.h"
#include "search/resume.h"
#include "search/search_log.h"
#include "search/sequences.h"
#include "search/startup_dialogue.h"

namespace tessera {

Evaluator referenceEvaluator(PlacementRule rule) {
  return [rule](const Project& project, const PackingSequence& sequence) {
    return evaluate(project, sequence, rule);
  };
}

namespace {

PackingSequence identitySequence(int n) {
  PackingSequence s;
  for (int i = 0; i < n; ++i) s.items.push_back(i);
  return s;
}

double seconds(std::int64_t from, std::int64_t to, std::int64_t frequency) {
  return static_cast<double>(to - from) / static_cast<double>(frequency);
}

/// Whether the computing time so far (pauses not counted) has reached the time limit.
bool timeLimitReached(const SearchOptions& options, platform::Clock& clock,
                      const SearchTiming& timing) {
  if (!options.timeLimitSeconds) return false;
  const double elapsed = seconds(timing.startCount, clock.counter(), timing.frequency);
  return elapsed - timing.pauseTotal >= *options.timeLimitSeconds;
}

/// Every record to the log first, then to each observer of the options, in their order.
class Told final : public SearchObserver {
 public:
  Told(SearchLog& log, const std::vector<SearchObserver*>& others) : all_{&log} {
    all_.insert(all_.end(), others.begin(), others.end());
  }
  void started(const StartRecord& r) override {
    for (SearchObserver* o : all_) o->started(r);
  }
  void iterated(const IterationRecord& r) override {
    for (SearchObserver* o : all_) o->iterated(r);
  }
  void exchanged(const ExchangeRecord& r) override {
    for (SearchObserver* o : all_) o->exchanged(r);
  }
  void stopped(SearchStop stop, double limit) override {
    for (SearchObserver* o : all_) o->stopped(stop, limit);
  }
  void finished(const FinishRecord& r) override {
    for (SearchObserver* o : all_) o->finished(r);
  }

 private:
  std::vector<SearchObserver*> all_;
};

/// Saves the sequence file during the search when enough iterations or seconds have passed
/// since the last save, and the last save's cost allows it (its duration over the time share
/// has passed since it ended). A save that fails leaves the old file (the writer is atomic),
/// is reported, and is tried again one interval later.
class PeriodicSave {
 public:
  PeriodicSave(const SearchOptions& options, SearchServices services)
      : options_(options), services_(services), lastCount_(services.clock.counter()) {}

  void afterIterations(const Project& project, const TypeSequenceArchive& archive,
                       const PackingSequence& best, int iterations) {
    unsaved_ += iterations;
    const std::int64_t now = services_.clock.counter();
    const bool byIterations =
        options_.saveEveryIterations > 0 && unsaved_ >= options_.saveEveryIterations;
    const bool bySeconds =
        options_.saveEverySeconds > 0.0 &&
        seconds(lastCount_, now, services_.clock.frequency()) >= options_.saveEverySeconds;
    if (!byIterations && !bySeconds) return;
    if (now < quietUntil_) return;
    unsaved_ = 0;
    lastCount_ = now;
    const std::int64_t saveStart = services_.clock.counter();
    LayoutSave save;
    save.kind = LayoutSaveKind::periodic;
    save.best = &best;
    save.archive = &archive;
    save.sequenceFileName = options_.sequenceFileName;
    try {
      writeLayoutFiles(project, save, options_.extras, services_.console);
    } catch (const InputError& error) {
      services_.console.line("警告: 搜索中途保存排样序列文件 \"" + options_.sequenceFileName +
                             "\" 失败 (" + error.what() + "), 原文件保持不变; 稍后再试。");
    }
    const std::int64_t saveEnd = services_.clock.counter();
    if (options_.saveTimeShare > 0.0)
      quietUntil_ = saveEnd + static_cast<std::int64_t>(static_cast<double>(saveEnd - saveStart) /
                                                        options_.saveTimeShare);
  }

 private:
  const SearchOptions& options_;
  SearchServices services_;
  std::int64_t lastCount_;
  int unsaved_ = 0;              // iterations since the last save
  std::int64_t quietUntil_ = 0;  // no save before this count
};

/// The closing figures: the lead chain's iterations, every chain's neighbours.
struct Closing {
  PackingSequence best;
  int completed = 0;
  int evaluated = 0;
  double sum = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;

  void add(const AnnealingChain& chain) {
    if (chain.completed == 0) return;
    sum += chain.sum;
    if (evaluated == 0 || chain.minimum < minimum) minimum = chain.minimum;
    if (evaluated == 0 || chain.maximum > maximum) maximum = chain.maximum;
    evaluated += chain.completed;
  }
};

}  // namespace

SearchResult optimize(const Project& project, SearchServices services,
                      const SearchOptions& options) {
  platform::Console& console = services.console;
  const Evaluator evaluate =
      options.evaluator ? options.evaluator : referenceEvaluator(options.placementRule);
  const int planned = startupDialogue(console, options.iterations);
  // Until the search ends: no key echo, and Ctrl-C answered at once.
  std::optional<platform::KeyHold> quietKeys(std::in_place, console);
  std::optional<platform::InterruptNotice> interruptNotice(
      std::in_place,
      "收到中断 (Ctrl-C): 搜索将在本次迭代结束后停止, 并写出全部结果。再按一次 Ctrl-C "
      "将立即退出。");

  PackingSequence current;
  TypeSequenceArchive archive;
  if (!resumeFromSequenceFile(project, console, options.sequenceFileName, current, archive)) {
    current = identitySequence(project.sequenceLength);
    current.efficiency = evaluate(project, current).measure.efficiency();
    archive.insertSorted(toTypeSequence(project, current));
  } else {
    recheckResumedBest(project, console, evaluate, options.placementRule, options.sequenceFileName,
                       current, archive);
  }
  const HeightOf height = heightOf(project);

  SearchLog log(console, options.logFileName);
  Told told(log, options.observers);

  SearchTiming timing;
  timing.frequency = services.clock.frequency();
  timing.startCount = services.clock.counter();
  timing.pauseTotal = 0.0;
  AnnealingChain lead(current, Cooling(options.schedule, options.startTemperature, planned));
  lead.maxSwaps = options.maxSwaps;
  bool running = true;
  PeriodicSave periodicSave(options, services);

  told.started({lead.current.efficiency, height(lead.current.efficiency)});

  // What happens once `iterations` more are done: the pause, Ctrl-C, the time limit and the
  // periodic save. Returns whether the search goes on.
  const auto afterIterations = [&](int iteration, int iterations, const PackingSequence& best) {
    if (!pauseCheck(project, services, options, iteration, best, archive, timing)) {
      told.stopped(SearchStop::paused, 0.0);
      return false;
    }
    if (platform::interruptRequested()) {
      told.stopped(SearchStop::interrupted, 0.0);
      return false;
    }
    if (iteration >= planned) return false;
    if (timeLimitReached(options, services.clock, timing)) {
      told.stopped(SearchStop::timeLimit, *options.timeLimitSeconds);
      return false;
    }
    // When the search ends here the final write follows at once.
    periodicSave.afterIterations(project, archive, best, iterations);
    return true;
  };

  Closing closing;
  if (options.chains <= 1) {
    while (lead.completed < planned && running) {
      if (!annealingStep(project, evaluate, lead, archive, services.random, height, 0, &told,
                         nullptr)) {
        told.stopped(SearchStop::exhausted, 0.0);
        break;
      }
      running = afterIterations(lead.completed, 1, lead.best);
    }
    closing.best = lead.best;
    closing.completed = lead.completed;
    closing.add(lead);
  } else {
    ChainSet::Settings settings;
    settings.chains = options.chains;
    settings.threads = options.threads;
    settings.seed = options.seed;
    settings.transport = options.transport;
    settings.makeEvaluator = [&options](int threads) {
      return options.chainEvaluator ? options.chainEvaluator(threads)
                                    : referenceEvaluator(options.placementRule);
    };
    ChainSet chains(project, lead, archive, settings, services.random);
    for (int exchange = 1; running && chains.chain(0).completed < planned; ++exchange) {
      const int done = chains.chain(0).completed;
      const int iterations = std::min(options.exchangeEvery, planned - done);
      const ChainSet::Round round = chains.run(iterations, height);
      for (const IterationRecord& record : round.leadRecords) told.iterated(record);
      chains.exchange(archive);
      const AnnealingChain& top = chains.chain(chains.bestChain());
      told.exchanged({exchange, chains.count(), chains.chain(0).completed, top.best.efficiency,
                      height(top.best.efficiency), top.bestFoundBy});
      if (round.exhausted) {
        told.stopped(SearchStop::exhausted, 0.0);
        break;
      }
      running =
          afterIterations(chains.chain(0).completed, chains.chain(0).completed - done, top.best);
    }
    closing.best = chains.chain(chains.bestChain()).best;
    closing.completed = chains.chain(0).completed;
    for (int c = 0; c < chains.count(); ++c) closing.add(chains.chain(c));
  }
  interruptNotice.reset();
  quietKeys.reset();

  FinishRecord finish;
  finish.totalSeconds = seconds(timing.startCount, services.clock.counter(), timing.frequency);
  finish.pauseSeconds = timing.pauseTotal;
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%.2f 秒", finish.totalSeconds - timing.pauseTotal);
  finish.computingTimeText = buffer;
  finish.planned = planned;
  finish.completed = closing.completed;
  finish.bestEfficiency = closing.best.efficiency;
  finish.bestHeight = height(closing.best.efficiency);
  finish.evaluated = closing.evaluated;
  finish.minimum = closing.minimum;
  finish.maximum = closing.maximum;
  finish.average = closing.sum / closing.evaluated;
  told.finished(finish);

  // Written before the final evaluation, which does not change it, so that a search killed
  // during that evaluation has already kept every iteration.
  LayoutSave save;
  save.kind = LayoutSaveKind::periodic;
  save.best = &closing.best;
  save.archive = &archive;
  save.sequenceFileName = options.sequenceFileName;
  writeLayoutFiles(project, save, options.extras, console);
  return {closing.best, evaluate(project, closing.best), finish.computingTimeText,
          finish.totalSeconds - timing.pauseTotal};
}

}  // namespace tessera
