#pragma once

#include <vector>

#include "model/packing_sequence.h"
#include "model/packing_system.h"
#include "model/polyhedron.h"

// Packing systems built in code, in the state loading leaves them.
namespace tessera::test {

/// A system with the given container and parts in list order: every part gets cellSide PBSL,
/// is parked (box minimum on the container's box maximum) and numbered 0..n-1 in list order;
/// masterParts is a copy. The parts are not sorted. Grid and orientation table are built.
PackingSystem makeSystem(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                         double pbsl, int rn);
/// The same without grid and orientation table, as loading leaves it: nothing large is made.
PackingSystem loadedSystem(const Polyhedron& container, const std::vector<Polyhedron>& parts,
                           double pbsl, int rn);

/// The ids 0..n-1 in order.
PackingSequence identitySequence(int n);

/// An id sequence from a list.
PackingSequence sequenceOf(const std::vector<int>& ids);

/// A small project of four parts of different shapes, sorted by volume as loading sorts them:
/// a 3 x 2 x 1 box, a cube of side 1.5, the non-convex L-shape and the unit tetrahedron, in a
/// 5 x 5 x 8 container with PBSL 1.
PackingSystem smallProject(int rn);

/// Refills parts from masterParts, as the search does between evaluations.
void restoreParts(PackingSystem& system);

/// How many cells of the system's grid are occupied.
int occupiedCount(const PackingSystem& system);

}  // namespace tessera::test
