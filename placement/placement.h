// placement: turns a sequence into a layout on the occupancy grid, by the reference path and the
// fast path. A shortcut here never changes a layout: the fast path equals the reference bit for
// bit.
#pragma once

#include <vector>

#include "geometry/point.h"
#include "model/layout.h"
#include "model/polyhedron.h"
#include "model/project.h"
#include "placement/occupancy_grid.h"
#include "placement/placement_rule.h"

// Greedy placement of one part: every orientation is voxelised and searched on the grid, the
// lowest reference point wins, and the winner is slid into contact and marked.
namespace tessera {

/// What the reference placement of one evaluation works on: the project, read only; its own
/// grid; every part's solid where it stands and its placement so far, by id.
struct PlacementState {
  explicit PlacementState(const Project& project, PlacementRule rule = PlacementRule::lowestPoint);

  /// Every part parked again, the grid free.
  void reset();

  const Project* project;
  PlacementRule rule;
  OccupancyGrid grid;
  std::vector<Polyhedron> solids;
  std::vector<PartPlacement> placements;
};

/// Result of the grid search for one orientation; x, y, z and score only when fits.
struct Position {
  bool fits = false;
  int x = 0;
  int y = 0;
  int z = 0;
  double score = 0.0;  // scoreHeight with the anchor cell on (x, y, z)
};

/// The z that the rule ranks a turned part by, before it is moved: its reference point's, or
/// its top's.
double scoreHeight(PlacementRule rule, const Polyhedron& oriented);

/// First cell, z outermost then x then y, where the voxelised part's bitmap fits and the exact
/// test passes.
Position findPosition(const PlacementState& state, const Polyhedron& oriented);

/// The part (without bitmap), moved so that its anchorPoint lies on cellCorner(x, y, z), has
/// every vertex in the container and is disjoint from every part's solid.
bool exactFit(const PlacementState& state, int x, int y, int z, const Polyhedron& withoutBitmap);

/// Moves part id along direction in strides of a quarter of min(box extents, PBSL), halving the
/// stride at each refusal until a stride below 0.01 is refused; every stride is added to its
/// motion. A part with a stride of 0 does not move.
void slide(PlacementState& state, int id, const Point& direction);

/// Places part id: the orientation that scores lowest by the rule, slid along -z, -x, -y, then
/// marked. A part that fits nowhere, or never scores below 2 * container.boxMax.z, is left
/// untouched. Returns whether the part was placed.
bool placePart(PlacementState& state, int id);

/// The translation from one cell: the corner of the turned part's anchor cell,
/// boxMin + cellSide * anchor, computed coordinate by coordinate.
Point anchorCorner(const Polyhedron& oriented);

}  // namespace tessera
