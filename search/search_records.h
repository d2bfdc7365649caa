#pragma once

#include <string>

// What the search reports as it goes, as values. The log lines, the console and the page's
// chart are all made from these; none of them reads another's text.
namespace tessera {

/// The starting solution, before the first iteration.
struct StartRecord {
  double efficiency = 0.0;
  double height = 0.0;
};

/// One iteration of an annealing chain. Until `finished` only the fields it begins with are
/// set: the number, the temperature and the two efficiencies it starts from.
struct IterationRecord {
  int chain = 0;
  int iteration = 0;  // counted from 1
  double temperature = 0.0;
  double bestEfficiency = 0.0;     // before the iteration
  double currentEfficiency = 0.0;  // before the iteration
  bool finished = false;
  double neighbourEfficiency = 0.0;
  double neighbourHeight = 0.0;
  bool drew = false;        // the neighbour was not better, so the rule drew r
  double draw = 0.0;        // r
  double acceptance = 0.0;  // p
  bool better = false;
  bool accepted = false;
  bool newBest = false;
};

/// A meeting of several chains: the best of all after it.
struct ExchangeRecord {
  int exchange = 0;  // counted from 1
  int chains = 0;
  int completed = 0;  // iterations each chain has done
  double bestEfficiency = 0.0;
  double bestHeight = 0.0;
  int foundBy = -1;  // the chain whose neighbour it was; -1: the starting solution
};

/// Why the search ended before its planned iterations, when it did.
enum class SearchStop { none, exhausted, timeLimit, interrupted, paused };

/// The closing figures.
struct FinishRecord {
  double totalSeconds = 0.0;  // from the first iteration to the end of the last, pauses included
  double pauseSeconds = 0.0;
  int planned = 0;
  int completed = 0;
  std::string computingTimeText;
  double bestEfficiency = 0.0;
  double bestHeight = 0.0;
  int evaluated = 0;  // neighbours over every chain; the three figures below need one
  double minimum = 0.0;
  double maximum = 0.0;
  double average = 0.0;
};

/// Receives the records in the order they happen.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void started(const StartRecord&) {}
  /// Twice per iteration: as it begins (finished false) and as it ends.
  virtual void iterated(const IterationRecord&) {}
  virtual void exchanged(const ExchangeRecord&) {}
  virtual void stopped(SearchStop, double /*timeLimitSeconds*/) {}
  virtual void finished(const FinishRecord&) {}
};

}  // namespace tessera
