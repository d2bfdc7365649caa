// placement: turns a sequence into a layout on the occupancy grid, by the reference path and the
// fast path. A shortcut here never changes a layout: the fast path equals the reference bit for bit.
#pragma once

#include "geometry/point.h"
#include "model/packing_system.h"
#include "model/part_list.h"
#include "model/polyhedron.h"

// Greedy placement of one part: every orientation is voxelised and searched on the grid, the
// lowest reference point wins, and the winner is slid into contact and marked.
namespace tessera {

/// Result of the grid search for one orientation; x, y, z and score only when fits.
struct Position {
  bool fits = false;
  int x = 0;
  int y = 0;
  int z = 0;
  double score = 0.0;  // scoreHeight with the anchor cell on (x, y, z)
};

/// The z that system.placementRule ranks a turned part by, before it is moved: its reference
/// point's, or its top's.
double scoreHeight(const PackingSystem& system, const Polyhedron& oriented);

/// First cell, z outermost then x then y, where the voxelised part's bitmap fits and the exact
/// test passes.
Position findPosition(const PackingSystem& system, const Polyhedron& oriented);

/// The part (without bitmap), moved so that its anchorPoint lies on cellCorner(x, y, z), has
/// every vertex in the container and is disjoint from every part of `parts`.
bool exactFit(const PackingSystem& system, int x, int y, int z, const Polyhedron& withoutBitmap);

/// Moves the part along direction in strides of a quarter of min(box extents, PBSL), halving the
/// stride at each refusal until a stride below 0.01 is refused. `part` must be an element of
/// system.parts (it is skipped by address). A part with a stride of 0 does not move.
void slide(PackingSystem& system, Part& part, const Point& direction);

/// Places an element of system.parts: the orientation that scores lowest by
/// system.placementRule, slid along -z, -x, -y, then marked.
/// A part that fits nowhere, or never scores below 2 * container.boxMax.z, is left untouched.
/// Returns whether the part was placed.
bool placePart(PackingSystem& system, Part& part);

}  // namespace tessera
