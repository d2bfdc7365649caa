#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <vector>

namespace tessera {

/// A solution or its type pattern: part ids (an ID sequence) or part-type indices (a type
/// sequence) in placement order, with the packing efficiency recorded for it.
struct PackingSequence {
  std::vector<std::int32_t> items;
  double efficiency = 0.0;

  int count() const { return static_cast<int>(items.size()); }
};

/// Same count and equal items at every position; efficiency is ignored.
inline bool sameItems(const PackingSequence& a, const PackingSequence& b) {
  return a.items == b.items;
}

/// Every evaluated type sequence with its efficiency, highest efficiency first; among equal
/// efficiencies the entry inserted earlier comes first. Entries are never removed.
class TypeSequenceArchive {
 public:
  /// Inserts a copy in front of the first entry with a strictly smaller efficiency.
  void insertSorted(const PackingSequence& sequence);

  int count() const { return static_cast<int>(entries_.size()); }
  const std::list<PackingSequence>& entries() const { return entries_; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  /// Whether an entry with the same items exists (same answer as walking the entries).
  bool contains(const PackingSequence& sequence) const {
    return distinct_.count(sequence.items) > 0;
  }
  /// Number of entries with pairwise different items.
  long long distinctCount() const { return static_cast<long long>(distinct_.size()); }

 private:
  std::list<PackingSequence> entries_;
  std::set<std::vector<std::int32_t>> distinct_;
};

}  // namespace tessera
