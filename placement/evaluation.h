#pragma once

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/project.h"
#include "placement/placement.h"

namespace tessera {

/// The reference evaluation: every part parked and the grid cleared, then part item i placed
/// for i < sequenceLength, in sequence order. Returns the layout with its measure. The
/// sequence must name sequenceLength parts (checked by assertion; an unknown id is skipped
/// in release builds).
Layout evaluate(PlacementState& state, const PackingSequence& idSequence);

/// The same with a state of its own.
Layout evaluate(const Project& project, const PackingSequence& idSequence,
                PlacementRule rule = PlacementRule::lowestPoint);

}  // namespace tessera
