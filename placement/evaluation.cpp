#include "placement/evaluation.h"

#include <cstddef>

#include "geometry/assert.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"

namespace tessera {

double evaluate(PackingSystem& system, const PackingSequence& idSequence) {
  clearGrid(system);
  system.placedParts = 0;
  TESSERA_ASSERT(idSequence.count() >= system.sequenceLength);
  for (int i = 0; i < system.sequenceLength && i < idSequence.count(); ++i) {
    Part* part = system.parts.findById(idSequence.items[static_cast<std::size_t>(i)]);
    TESSERA_ASSERT(part != nullptr);
    if (part == nullptr) continue;
    if (placePart(system, *part)) ++system.placedParts;
  }
  return packingEfficiency(system);
}

double packingEfficiency(PackingSystem& system) {
  Polyhedron& container = system.container;
  container.computeBoundingBox();
  const double area =
      (container.boxMax.x - container.boxMin.x) * (container.boxMax.y - container.boxMin.y);
  const double bottom = container.boxMin.z;
  double top = bottom;
  double volume = 0.0;
  for (const Part& part : system.parts) {
    if (part.boxMax.z > top) top = part.boxMax.z;
    volume += part.volume;
  }
  return volume / (area * (top - bottom));
}

}  // namespace tessera
