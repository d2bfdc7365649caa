#include "placement/evaluation.h"

#include <cstddef>

#include "geometry/assert.h"

namespace tessera {

Layout evaluate(PlacementState& state, const PackingSequence& idSequence) {
  state.reset();
  const Project& project = *state.project;
  TESSERA_ASSERT(idSequence.count() >= project.sequenceLength);
  for (int i = 0; i < project.sequenceLength && i < idSequence.count(); ++i) {
    const int position = project.parts.positionOf(idSequence.items[static_cast<std::size_t>(i)]);
    TESSERA_ASSERT(position >= 0);
    if (position < 0) continue;
    placePart(state, position);
  }
  return makeLayout(project, state.placements);
}

Layout evaluate(const Project& project, const PackingSequence& idSequence, PlacementRule rule) {
  PlacementState state(project, rule);
  return evaluate(state, idSequence);
}

}  // namespace tessera
