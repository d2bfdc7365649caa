// The archive keeps the order of a walk from the front (in front of the first strictly smaller
// efficiency) while inserting in logarithmic time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <list>
#include <utility>
#include <vector>

#include "model/packing_sequence.h"
#include "search/random.h"

namespace tessera {
namespace {

/// The straightforward insertion the archive must agree with.
void walkInsert(std::list<PackingSequence>& entries, const PackingSequence& sequence) {
  auto at = entries.begin();
  while (at != entries.end() && !(at->efficiency < sequence.efficiency)) ++at;
  entries.insert(at, sequence);
}

/// Order of items and bits of each efficiency, so that NaN and -0.0 compare too.
std::vector<std::pair<std::vector<std::int32_t>, std::uint64_t>> contents(
    const std::list<PackingSequence>& entries) {
  std::vector<std::pair<std::vector<std::int32_t>, std::uint64_t>> out;
  for (const PackingSequence& entry : entries) {
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof entry.efficiency);
    std::memcpy(&bits, &entry.efficiency, sizeof bits);
    out.push_back({entry.items, bits});
  }
  return out;
}

TEST(TypeSequenceArchive, InsertsWhereAWalkFromTheFrontWould) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Few distinct values, so that ties are common; zeros of both signs; NaN now and then.
  const double values[] = {0.5, 0.25, 0.75, 0.0, -0.0, 0.5, 1.0, nan, 0.25};
  Random random;
  TypeSequenceArchive archive;
  std::list<PackingSequence> reference;
  for (std::int32_t i = 0; i < 2000; ++i) {
    PackingSequence sequence;
    sequence.items = {i, i % 7};
    sequence.efficiency = values[random.next() % std::size(values)];
    archive.insertSorted(sequence);
    walkInsert(reference, sequence);
  }
  EXPECT_EQ(contents(archive.entries()), contents(reference));
}

TEST(TypeSequenceArchive, ACopyKeepsItsOwnOrderWhenEitherGrows) {
  TypeSequenceArchive original;
  std::list<PackingSequence> reference;
  for (std::int32_t i = 0; i < 6; ++i) {
    const PackingSequence s{{i}, 0.1 * (i % 3)};
    original.insertSorted(s);
    walkInsert(reference, s);
  }
  TypeSequenceArchive copy = original;
  std::list<PackingSequence> copyReference = reference;
  const PackingSequence toCopy{{100}, 0.1}, toOriginal{{200}, 0.15};
  copy.insertSorted(toCopy);
  walkInsert(copyReference, toCopy);
  original.insertSorted(toOriginal);
  walkInsert(reference, toOriginal);
  EXPECT_EQ(contents(copy.entries()), contents(copyReference));
  EXPECT_EQ(contents(original.entries()), contents(reference));
  EXPECT_TRUE(copy.contains(toCopy));
  EXPECT_FALSE(original.contains(toCopy));
}

}  // namespace
}  // namespace tessera
