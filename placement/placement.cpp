#include "placement/placement.h"

#include <utility>

#include "geometry/predicates.h"
#include "placement/slide.h"
#include "placement/voxelise.h"

namespace tessera {

PlacementState::PlacementState(const Project& p, PlacementRule r)
    : project(&p), rule(r), grid(buildGrid(p)) {
  reset();
}

void PlacementState::reset() {
  clearGrid(grid);
  solids.assign(project->parts.begin(), project->parts.end());
  placements.clear();
  for (int id = 0; id < project->parts.count(); ++id)
    placements.push_back(parkedPlacement(*project, id));
}

namespace {

// The part lies in the container and is disjoint from every other part.
bool clearOfEverything(const PlacementState& state, int id) {
  const Polyhedron& part = state.solids[static_cast<std::size_t>(id)];
  if (!containsAllVertices(state.project->container, part)) return false;
  for (std::size_t other = 0; other < state.solids.size(); ++other) {
    if (static_cast<int>(other) == id) continue;
    if (!polyhedraDisjoint(part, state.solids[other])) return false;
  }
  return true;
}

void moveBy(PlacementState& state, int id, const Point& offset) {
  state.solids[static_cast<std::size_t>(id)].translate(offset);
  addMove(state.placements[static_cast<std::size_t>(id)].motion, offset);
}

}  // namespace

double scoreHeight(PlacementRule rule, const Polyhedron& oriented) {
  return rule == PlacementRule::lowestTop ? oriented.boxMax.z : oriented.referencePoint.z;
}

Point anchorCorner(const Polyhedron& oriented) {
  return {oriented.boxMin.x + oriented.cellSide * oriented.anchorI,
          oriented.boxMin.y + oriented.cellSide * oriented.anchorJ,
          oriented.boxMin.z + oriented.cellSide * oriented.anchorK};
}

Position findPosition(const PlacementState& state, const Polyhedron& oriented) {
  Polyhedron exact = oriented;
  exact.dropBitmap();
  const double anchorZ = oriented.boxMin.z + oriented.cellSide * oriented.anchorK;
  const double height = scoreHeight(state.rule, oriented);
  const OccupancyGrid& grid = state.grid;
  for (int z = 0; z < grid.gridZ; ++z) {
    for (int x = 0; x < grid.gridX; ++x) {
      for (int y = 0; y < grid.gridY; ++y) {
        if (grid.cells[grid.index(x, y, z)] != 0) continue;
        if (!bitmapFits(grid, oriented, x, y, z)) continue;
        if (!exactFit(state, x, y, z, exact)) continue;
        const double score = height + (cellCorner(grid, x, y, z).z - anchorZ);
        return {true, x, y, z, score};
      }
    }
  }
  return {};
}

bool exactFit(const PlacementState& state, int x, int y, int z, const Polyhedron& withoutBitmap) {
  Polyhedron moved = withoutBitmap;
  moved.translate(minus(cellCorner(state.grid, x, y, z), withoutBitmap.anchorPoint));
  if (!containsAllVertices(state.project->container, moved)) return false;
  for (const Polyhedron& other : state.solids)
    if (!polyhedraDisjoint(moved, other)) return false;
  return true;
}

void slide(PlacementState& state, int id, const Point& direction) {
  const Polyhedron& part = state.solids[static_cast<std::size_t>(id)];
  slideAlong(
      part.boxMin, part.boxMax, state.project->PBSL, direction,
      [&](const Point& m) { moveBy(state, id, m); }, [&] { return clearOfEverything(state, id); });
}

bool placePart(PlacementState& state, int id) {
  const Project& project = *state.project;
  Polyhedron& part = state.solids[static_cast<std::size_t>(id)];
  double bestScore = 2 * project.container.boxMax.z;
  Position best;
  Polyhedron winner;
  int turn = -1;
  for (const Orientation& orientation : project.orientationTable) {
    if (!project.mayTurn(id, static_cast<int>(&orientation - project.orientationTable.data())))
      continue;
    Polyhedron copy = part;
    copy.transform(orientation);
    voxelise(copy);
    const Position here = findPosition(state, copy);
    if (here.fits && here.score < bestScore) {
      bestScore = here.score;
      best = here;
      winner = std::move(copy);
      turn = static_cast<int>(&orientation - project.orientationTable.data());
    }
  }
  // Fitting without beating the starting score records no orientation: leave the part parked.
  if (turn < 0) return false;

  winner.dropBitmap();
  part = std::move(winner);
  PartPlacement& placement = state.placements[static_cast<std::size_t>(id)];
  addTurn(placement.motion, turn);
  moveBy(state, id, minus(cellCorner(state.grid, best.x, best.y, best.z), anchorCorner(part)));
  slide(state, id, {0, 0, -1});
  slide(state, id, {-1, 0, 0});
  slide(state, id, {0, -1, 0});
  markPart(state.grid, part);
  placement.orientation = turn;
  placement.placed = true;
  placement.boxMin = part.boxMin;
  placement.boxMax = part.boxMax;
  return true;
}

}  // namespace tessera
