#include "model/packing_sequence.h"

namespace tessera {

TypeSequenceArchive::TypeSequenceArchive(const TypeSequenceArchive& other)
    : entries_(other.entries_), distinct_(other.distinct_) {
  // The index points into the list it was built for; this copy gets its own.
  for (auto at = entries_.begin(); at != entries_.end(); ++at)
    if (at->efficiency == at->efficiency) firstOf_.emplace(at->efficiency, at);
}

TypeSequenceArchive& TypeSequenceArchive::operator=(const TypeSequenceArchive& other) {
  if (this != &other) *this = TypeSequenceArchive(other);
  return *this;
}

void TypeSequenceArchive::insertSorted(const PackingSequence& sequence) {
  const double efficiency = sequence.efficiency;
  if (efficiency != efficiency) {  // NaN: no entry is smaller
    entries_.push_back(sequence);
  } else {
    // The first efficiency strictly smaller; its first entry is the first smaller one in the
    // list, since NaN entries never stop the walk that this replaces.
    const auto smaller = firstOf_.upper_bound(efficiency);
    const auto at =
        entries_.insert(smaller == firstOf_.end() ? entries_.end() : smaller->second, sequence);
    firstOf_.emplace(efficiency, at);  // kept when the efficiency is already there
  }
  distinct_.insert(sequence.items);
}

}  // namespace tessera
