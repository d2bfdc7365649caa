#include "search/annealing.h"

#include <cmath>
#include <optional>
#include <utility>

#include "geometry/assert.h"
#include "search/sequences.h"

namespace tessera {

AnnealingChain::AnnealingChain(PackingSequence start, Cooling startCooling)
    : current(start), best(std::move(start)), cooling(startCooling) {}

bool annealingStep(const Project& project, const Evaluator& evaluate, AnnealingChain& chain,
                   TypeSequenceArchive& archive, Random& random, const HeightOf& height,
                   int chainIndex, SearchObserver* observer, std::vector<PackingSequence>* fresh) {
  if (typeSequencesExhausted(project, archive)) return false;
  IterationRecord record;
  record.chain = chainIndex;
  record.iteration = chain.completed + 1;
  record.temperature = chain.cooling.temperature();
  record.bestEfficiency = chain.best.efficiency;
  record.currentEfficiency = chain.current.efficiency;
  if (observer) observer->iterated(record);

  std::optional<PackingSequence> made =
      makeNeighbour(project, chain.current, archive, random, chain.maxSwaps);
  TESSERA_ASSERT(made.has_value());  // exhaustion was ruled out above
  if (!made) return false;
  PackingSequence neighbour = std::move(*made);
  const double neighbourEfficiency = evaluate(project, neighbour).measure.efficiency();

  chain.sum += neighbourEfficiency;
  if (chain.completed == 0) {
    chain.minimum = chain.maximum = neighbourEfficiency;
  } else {
    if (neighbourEfficiency < chain.minimum) chain.minimum = neighbourEfficiency;
    if (neighbourEfficiency > chain.maximum) chain.maximum = neighbourEfficiency;
  }

  neighbour.efficiency = neighbourEfficiency;
  const PackingSequence types = toTypeSequence(project, neighbour);
  archive.insertSorted(types);
  if (fresh) fresh->push_back(types);

  record.finished = true;
  record.neighbourEfficiency = neighbourEfficiency;
  record.neighbourHeight = height(neighbourEfficiency);
  if (neighbourEfficiency > chain.current.efficiency) {
    record.better = record.accepted = true;
    chain.current = neighbour;
  } else {
    record.drew = true;
    record.draw = random.next() / 32767.0;
    record.acceptance = std::exp(-std::fabs(chain.current.efficiency - neighbourEfficiency) /
                                 chain.cooling.temperature());
    if (record.acceptance > record.draw) {
      record.accepted = true;
      chain.current = neighbour;
    }
  }
  if (neighbourEfficiency > chain.best.efficiency) {
    chain.best = neighbour;
    chain.bestFoundBy = chainIndex;
    record.newBest = true;
  }
  if (observer) observer->iterated(record);

  chain.cooling.next();
  chain.completed = record.iteration;
  return true;
}

}  // namespace tessera
