#pragma once

#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "search/cooling.h"
#include "search/optimizer.h"
#include "search/random.h"
#include "search/search_records.h"

namespace tessera {

/// One annealing chain: where it stands, the best it knows and what its iterations gave.
struct AnnealingChain {
  PackingSequence current;  // current.efficiency is the current efficiency
  PackingSequence best;
  Cooling cooling;
  int completed = 0;  // iterations done
  double sum = 0.0;   // of the neighbours' efficiencies
  double minimum = 0.0;
  double maximum = 0.0;
  int bestFoundBy = -1;  // chain whose own neighbour best is; -1: the starting solution
  int maxSwaps = 0;      // most swaps of one neighbour; 0: as many as the sequence is long

  AnnealingChain(PackingSequence start, Cooling startCooling);
};

/// One iteration of the annealing: a neighbour with a type sequence not in the archive is
/// evaluated, archived (and appended to fresh when given), compared and accepted or not. Its
/// record goes to observer when given, as the iteration begins and as it ends. Returns false,
/// drawing and telling nothing, when the archive already holds every type sequence of the
/// project.
bool annealingStep(const Project& project, const Evaluator& evaluate, AnnealingChain& chain,
                   TypeSequenceArchive& archive, Random& random, const HeightOf& height,
                   int chainIndex, SearchObserver* observer, std::vector<PackingSequence>* fresh);

}  // namespace tessera
