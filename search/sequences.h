#pragma once

#include <optional>

#include "model/packing_sequence.h"
#include "model/project.h"
#include "search/random.h"

namespace tessera {

/// The type sequence of an ID sequence: item i is the typeIndex of the part type named like
/// the first part in `parts` with id ids.items[i], for i < sequenceLength. Keeps the efficiency.
PackingSequence toTypeSequence(const Project& project, const PackingSequence& ids);

/// A random number of swaps in 1..n (n for n < 1): one draw a = next() / 32767.0, then the
/// first k whose running sum of w(k) = (n + 1 - k) / (n (n + 1) / 2) is strictly greater than
/// a; n when the sum never exceeds a.
int drawSwapCount(int n, Random& random);

/// Number of distinct type sequences the project's parts can form: n! divided by the product
/// of the factorials of the copy counts per part type. Saturates at kSaturatedCount.
long long distinctTypeSequenceCount(const Project& project);
inline constexpr long long kSaturatedCount = 1LL << 62;

/// True when every type sequence the project's parts can form is already in the archive, so
/// no neighbour with a new type sequence exists. Entries that are not type sequences of this
/// project do not count. Draws nothing.
bool typeSequencesExhausted(const Project& project, const TypeSequenceArchive& archive);

/// A copy of current changed by random swaps until its type sequence is not in the archive;
/// the swaps of rejected attempts accumulate. Draws per attempt: drawSwapCount(n), then two per
/// swap (first position, second position), where n is the sequence length, or maxSwaps when
/// that is positive and smaller. Its efficiency stays current's. Returns nullopt, without
/// drawing, when the archive already holds every possible type sequence.
std::optional<PackingSequence> makeNeighbour(const Project& project, PackingSequence current,
                                             const TypeSequenceArchive& archive, Random& random,
                                             int maxSwaps = 0);

}  // namespace tessera
