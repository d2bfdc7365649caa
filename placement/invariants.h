#pragma once

#include <string>
#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/polyhedron.h"
#include "model/project.h"
#include "placement/occupancy_grid.h"

// Checks of a layout. Each returns an empty string when the invariant holds, otherwise a
// description of the first violation found. Solids are by part id.
namespace tessera {

/// Ids of the sequence, in its order, that the layout has placed.
std::vector<int> placedIds(const Layout& layout, const PackingSequence& idSequence);

/// The grid equals a grid rebuilt by markPart from the given solids in placement order.
std::string gridMismatch(const OccupancyGrid& grid, const std::vector<Polyhedron>& solids,
                         const std::vector<int>& placementOrder);

/// No two of the given solids interfere (polyhedraDisjoint on every pair).
std::string interferingPair(const std::vector<Polyhedron>& solids, const std::vector<int>& placed);

/// Every one of the given solids has all its vertices in the container.
std::string partOutsideContainer(const Polyhedron& container, const std::vector<Polyhedron>& solids,
                                 const std::vector<int>& placed);

/// All of the above for the layout of an evaluated sequence, with the grid the evaluation left
/// and the layout's solids as placedSolids realises them; messages joined by newlines.
std::string layoutViolations(const Project& project, const Layout& layout,
                             const OccupancyGrid& grid, const PackingSequence& idSequence);

}  // namespace tessera
