#pragma once

#include "model/packing_sequence.h"
#include "model/packing_system.h"

namespace tessera {

/// Clears the grid, places the first part of `parts` with id item i for i < sequenceLength,
/// counts the parts placed in placedParts and returns packingEfficiency. Every part must be
/// parked on entry. The sequence must name sequenceLength parts (checked by assertion; an
/// unknown id is skipped in release builds).
double evaluate(PackingSystem& system, const PackingSequence& idSequence);

/// Total part volume / (container footprint * packing height), every part counted, parked ones
/// included. Recomputes the container's box first. Undefined (not finite) for height 0.
double packingEfficiency(PackingSystem& system);

}  // namespace tessera
