#include "placement/placement.h"

#include <cmath>
#include <utility>

#include "geometry/assert.h"
#include "geometry/predicates.h"
#include "placement/occupancy_grid.h"
#include "placement/voxelise.h"

namespace tessera {

namespace {

[[maybe_unused]] bool isElementOf(const PartList& parts, const Part& part) {
  for (const Part& p : parts)
    if (&p == &part) return true;
  return false;
}

// The part lies in the container and is disjoint from every other part of the list.
bool clearOfEverything(const PackingSystem& system, const Part& part) {
  if (!containsAllVertices(system.container, part)) return false;
  for (const Part& other : system.parts) {
    if (&other == &part) continue;
    if (!polyhedraDisjoint(part, other)) return false;
  }
  return true;
}

}  // namespace

double scoreHeight(const PackingSystem& system, const Polyhedron& oriented) {
  return system.placementRule == PlacementRule::lowestTop ? oriented.boxMax.z
                                                          : oriented.referencePoint.z;
}

Position findPosition(const PackingSystem& system, const Polyhedron& oriented) {
  Polyhedron exact = oriented;
  exact.dropBitmap();
  const double anchorZ = oriented.boxMin.z + oriented.cellSide * oriented.anchorK;
  const double height = scoreHeight(system, oriented);
  const OccupancyGrid& grid = system.grid;
  for (int z = 0; z < grid.gridZ; ++z) {
    for (int x = 0; x < grid.gridX; ++x) {
      for (int y = 0; y < grid.gridY; ++y) {
        if (grid.cells[grid.index(x, y, z)] != 0) continue;
        if (!bitmapFits(system, oriented, x, y, z)) continue;
        if (!exactFit(system, x, y, z, exact)) continue;
        const double score = height + (cellCorner(system, x, y, z).z - anchorZ);
        return {true, x, y, z, score};
      }
    }
  }
  return {};
}

bool exactFit(const PackingSystem& system, int x, int y, int z, const Polyhedron& withoutBitmap) {
  Polyhedron moved = withoutBitmap;
  moved.translate(minus(cellCorner(system, x, y, z), withoutBitmap.anchorPoint));
  if (!containsAllVertices(system.container, moved)) return false;
  for (const Part& other : system.parts)
    if (!polyhedraDisjoint(moved, other)) return false;
  return true;
}

namespace {

/// translate, recorded in the part's motion when the system records motion.
void moveBy(const PackingSystem& system, Part& part, const Point& offset) {
  if (system.recordMotion) {
    part.move(offset);
  } else {
    part.translate(offset);
  }
}

}  // namespace

void slide(PackingSystem& system, Part& part, const Point& direction) {
  TESSERA_ASSERT(isElementOf(system.parts, part));
  double e = part.boxMax.x - part.boxMin.x;
  const double ey = part.boxMax.y - part.boxMin.y;
  const double ez = part.boxMax.z - part.boxMin.z;
  if (ey < e) e = ey;
  if (ez < e) e = ez;
  if (system.PBSL < e) e = system.PBSL;
  double step = 0.25 * e;
  // A zero (or not-a-number) stride would repeat a null move forever.
  if (!(step > 0.0)) return;

  const double length =
      std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  TESSERA_ASSERT(length > 0.0);
  const Point u{direction.x / length, direction.y / length, direction.z / length};
  while (true) {
    const Point m{step * u.x, step * u.y, step * u.z};
    while (true) {
      moveBy(system, part, m);
      if (!clearOfEverything(system, part)) break;
    }
    moveBy(system, part, {-m.x, -m.y, -m.z});
    if (step < 0.01) return;
    step = 0.5 * step;
  }
}

bool placePart(PackingSystem& system, Part& part) {
  TESSERA_ASSERT(isElementOf(system.parts, part));
  double bestScore = 2 * system.container.boxMax.z;
  Position best;
  Polyhedron winner;
  int turn = -1;
  bool recorded = false;
  for (const Orientation& orientation : system.orientationTable) {
    Polyhedron copy = part;
    copy.transform(orientation);
    voxelise(copy);
    const Position here = findPosition(system, copy);
    if (here.fits && here.score < bestScore) {
      bestScore = here.score;
      best = here;
      winner = std::move(copy);
      turn = static_cast<int>(&orientation - system.orientationTable.data());
      recorded = true;
    }
  }
  // Fitting without beating the starting score records no orientation: leave the part parked.
  if (!recorded) return false;

  winner.dropBitmap();
  part = std::move(winner);
  if (system.recordMotion) part.motion.push_back({turn, {}});
  const Point anchorCorner{part.boxMin.x + part.cellSide * part.anchorI,
                           part.boxMin.y + part.cellSide * part.anchorJ,
                           part.boxMin.z + part.cellSide * part.anchorK};
  moveBy(system, part, minus(cellCorner(system, best.x, best.y, best.z), anchorCorner));
  slide(system, part, {0, 0, -1});
  slide(system, part, {-1, 0, 0});
  slide(system, part, {0, -1, 0});
  markPart(system, part);
  part.placed = true;
  return true;
}

}  // namespace tessera
