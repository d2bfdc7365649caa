#include "search/sequences.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

#include "geometry/assert.h"

namespace tessera {
namespace {

bool isTypeSequenceOfProject(const PackingSequence& entry,
                             const std::vector<std::int32_t>& sortedTypes) {
  if (entry.items.size() != sortedTypes.size()) return false;
  std::vector<std::int32_t> items = entry.items;
  std::sort(items.begin(), items.end());
  return items == sortedTypes;
}

}  // namespace

PackingSequence toTypeSequence(const Project& project, const PackingSequence& ids) {
  TESSERA_ASSERT(ids.count() >= project.sequenceLength);
  PackingSequence types;
  types.efficiency = ids.efficiency;
  types.items.reserve(static_cast<std::size_t>(project.sequenceLength));
  for (int i = 0; i < project.sequenceLength; ++i) {
    const int id = ids.items[static_cast<std::size_t>(i)];
    const bool known = id >= 0 && id < project.sequenceLength;
    TESSERA_ASSERT(known);  // ids of a loaded project are exactly 0..n-1
    types.items.push_back(known ? project.typeOf(id) : -1);
  }
  return types;
}

int drawSwapCount(int n, Random& random) {
  const double a = random.next() / 32767.0;
  const double dn = static_cast<double>(n);
  double sum = 0.0;
  for (int k = 1; k <= n; ++k) {
    sum += (dn + 1.0 - k) / (dn * (dn + 1.0) / 2.0);
    if (sum > a) return k;
  }
  return n;
}

long long distinctTypeSequenceCount(const Project& project) {
  std::map<std::int32_t, long long> copies;
  for (const int type : project.typeOfPart) ++copies[type];

  // Multinomial as a product of exact steps: after each step `count` is placed! over the
  // factorials of the copies placed so far, an integer, so every division below is exact.
  long long count = 1;
  long long placed = 0;
  for (const auto& [type, copyCount] : copies) {
    for (long long j = 1; j <= copyCount; ++j) {
      ++placed;
      const long long g = std::gcd(count, j);
      const long long factor = placed / (j / g);
      if (count / g > kSaturatedCount / factor) return kSaturatedCount;
      count = count / g * factor;
    }
  }
  return std::min(count, kSaturatedCount);
}

bool typeSequencesExhausted(const Project& project, const TypeSequenceArchive& archive) {
  const long long possible = distinctTypeSequenceCount(project);
  if (archive.distinctCount() < possible) return false;  // the common case: no walk needed
  const std::vector<std::int32_t> types = sortedPartTypes(project);
  std::set<std::vector<std::int32_t>> valid;
  for (const PackingSequence& entry : archive)
    if (isTypeSequenceOfProject(entry, types)) valid.insert(entry.items);
  return static_cast<long long>(valid.size()) >= possible;
}

std::optional<PackingSequence> makeNeighbour(const Project& project, PackingSequence current,
                                             const TypeSequenceArchive& archive, Random& random,
                                             int maxSwaps) {
  TESSERA_ASSERT(current.count() == project.sequenceLength);
  if (typeSequencesExhausted(project, archive)) return std::nullopt;
  PackingSequence candidate = std::move(current);
  const int count = candidate.count();
  const int most =
      maxSwaps > 0 ? std::min(maxSwaps, project.sequenceLength) : project.sequenceLength;
  while (true) {
    const int swaps = drawSwapCount(most, random);
    for (int s = 0; s < swaps; ++s) {
      const int i = random.next() % count;
      const int j = random.next() % count;
      std::swap(candidate.items[static_cast<std::size_t>(i)],
                candidate.items[static_cast<std::size_t>(j)]);
    }
    if (!archive.contains(toTypeSequence(project, candidate))) return candidate;
  }
}

}  // namespace tessera
