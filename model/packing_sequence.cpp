#include "model/packing_sequence.h"

namespace tessera {

void TypeSequenceArchive::insertSorted(const PackingSequence& sequence) {
  auto at = entries_.begin();
  while (at != entries_.end() && !(at->efficiency < sequence.efficiency)) ++at;
  entries_.insert(at, sequence);
  distinct_.insert(sequence.items);
}

}  // namespace tessera
