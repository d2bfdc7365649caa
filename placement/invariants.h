#pragma once

#include <string>
#include <vector>

#include "model/packing_sequence.h"
#include "model/packing_system.h"

// Checks of a layout held in a PackingSystem. Each returns an empty string when the invariant
// holds, otherwise a description of the first violation found.
namespace tessera {

/// Ids of the sequence, in its order, whose part has left its parked position (box minimum on
/// the container's box maximum).
std::vector<int> placedIds(const PackingSystem& system, const PackingSequence& idSequence);

/// The grid equals a grid rebuilt by markPart from the placed parts in placement order.
std::string gridMismatch(const PackingSystem& system, const std::vector<int>& placementOrder);

/// No two placed parts interfere (polyhedraDisjoint on every pair).
std::string interferingPair(const PackingSystem& system, const std::vector<int>& placed);

/// Every placed part has all its vertices in the container.
std::string partOutsideContainer(const PackingSystem& system, const std::vector<int>& placed);

/// All of the above for the layout of an evaluated sequence; messages joined by newlines.
std::string layoutViolations(const PackingSystem& system, const PackingSequence& idSequence);

}  // namespace tessera
