#pragma once

#include <cstdint>
#include <vector>

#include "geometry/point.h"
#include "placement/column_index.h"
#include "placement/oriented_shape.h"
#include "placement/prepared_solid.h"

// The exact tests of the fast path: the reference's exactFit and its slide's clearance test,
// with the same answers, on prepared solids and only against the parts that can matter.
//
// Why only some parts are tested: once all vertices of the moved part are inside the
// container, its box is at most the container's boxMax, so a part whose boxMin is at or beyond
// boxMax on some axis passes the box test of polyhedraDisjoint; only the other parts ("in
// reach") are tested, and of those only the ones the column index finds under the floor
// columns the candidate's box covers (every part whose box overlaps it is among them; the
// others pass the box test). An exact fit is a conjunction of pure tests, so their order cannot
// change its answer; the cheapest and likeliest refusals run first.
namespace tessera {

/// What a candidate is tested against in one evaluation.
struct PlacedSolids {
  const PreparedSolid* container = nullptr;           // with its hierarchy
  Point containerMax;                                 // the container's box maximum
  const std::vector<PreparedSolid>* parts = nullptr;  // every part by position, parked or placed
  const ColumnIndex* near = nullptr;  // the parts in reach (with hierarchies), by floor column
};

/// One thread's scratch for the exact tests.
struct FitScratch {
  PreparedSolid moved;
  std::uint64_t exactTests = 0;     // predicate calls, counted
  int witness = -1;                 // the part that refused this thread's last refused candidate
  std::vector<std::uint32_t> seen;  // for ColumnIndex::allNear
  std::uint32_t seenStamp = 0;
};

/// The part's box begins at or beyond the container's box maximum on some axis.
inline bool outOfReach(const Point& partMin, const Point& containerMax) {
  return partMin.x >= containerMax.x || partMin.y >= containerMax.y || partMin.z >= containerMax.z;
}

/// exactFit of the shape moved so that its anchorPoint lies on `cell` (a cell's corner).
bool exactFitAt(const PlacedSolids& placed, const OrientedShape& shape, const Point& cell,
                FitScratch& scratch);

/// The moved part (the shape's solid, translated) has every vertex in the container and is
/// disjoint from every part but position `self`. Refreshes the part's planes when needed.
bool clearOfEverything(const PlacedSolids& placed, PreparedSolid& part, const OrientedShape& shape,
                       int self, FitScratch& scratch);

}  // namespace tessera
