#pragma once

#include <vector>

#include "model/layout.h"
#include "model/packing_sequence.h"
#include "model/polyhedron.h"
#include "model/project.h"
#include "placement/occupancy_grid.h"

// Projects built in code, in the state loading leaves them.
namespace tessera::test {

/// A project with the given container and parts in list order: each part its own part file,
/// one part type per name in the order names first appear; every part gets cellSide PBSL, is
/// parked (box minimum on the container's box maximum) and numbered 0..n-1 in list order. The
/// parts are not sorted. The orientation table is built.
Project makeProject(const Polyhedron& container, const std::vector<Polyhedron>& parts, double pbsl,
                    int rn);
/// The same without the orientation table, as loading leaves it: nothing large is made.
Project loadedProject(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                      double pbsl, int rn);

/// The ids 0..n-1 in order.
PackingSequence identitySequence(int n);

/// An id sequence from a list.
PackingSequence sequenceOf(const std::vector<int>& ids);

/// A small project of four parts of different shapes, sorted by volume as loading sorts them:
/// a 3 x 2 x 1 box, a cube of side 1.5, the non-convex L-shape and the unit tetrahedron, in a
/// 5 x 5 x 8 container with PBSL 1.
Project smallProject(int rn);

/// A stand-in for an evaluation: every part parked, the measure's efficiency exactly e.
Layout layoutScoring(const Project& project, double e);

/// Every part placed where its part file has it: turned by nothing, moved by (0, 0, 0).
Layout layoutAtSources(const Project& project);

/// How many cells of the grid are occupied.
int occupiedCount(const OccupancyGrid& grid);

}  // namespace tessera::test
