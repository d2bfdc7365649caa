#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <unordered_set>
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

/// FNV-1a over the items' bytes.
struct ItemsHash {
  std::size_t operator()(const std::vector<std::int32_t>& items) const {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::int32_t item : items) {
      auto bits = static_cast<std::uint32_t>(item);
      for (int byte = 0; byte < 4; ++byte, bits >>= 8) {
        hash ^= bits & 0xFFu;
        hash *= 1099511628211ull;
      }
    }
    return static_cast<std::size_t>(hash);
  }
};

/// Every evaluated type sequence with its efficiency, highest efficiency first; among equal
/// efficiencies the entry inserted earlier comes first. Entries are never removed.
class TypeSequenceArchive {
 public:
  TypeSequenceArchive() = default;
  TypeSequenceArchive(const TypeSequenceArchive& other);
  TypeSequenceArchive& operator=(const TypeSequenceArchive& other);
  // Moving a list keeps its iterators valid, so the index moves along.
  TypeSequenceArchive(TypeSequenceArchive&&) = default;
  TypeSequenceArchive& operator=(TypeSequenceArchive&&) = default;

  /// Inserts a copy in front of the first entry with a strictly smaller efficiency (a NaN
  /// efficiency is smaller than nothing: it goes last). Logarithmic in the entry count, so
  /// that loading a long history stays linear.
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
  // The first entry of each efficiency present (NaN left out); entries with efficiencies
  // other than NaN stand in the list in the order of these keys.
  std::map<double, std::list<PackingSequence>::iterator, std::greater<double>> firstOf_;
  // Only asked whether an entry is there, never walked: its order reaches no output.
  std::unordered_set<std::vector<std::int32_t>, ItemsHash> distinct_;
};

}  // namespace tessera
