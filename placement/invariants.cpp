#include "placement/invariants.h"

#include <cstddef>
#include <sstream>

#include "geometry/predicates.h"

namespace tessera {

namespace {

std::string unknownId(const std::vector<Polyhedron>& solids, const std::vector<int>& ids) {
  for (int id : ids)
    if (id < 0 || id >= static_cast<int>(solids.size()))
      return "no part has id " + std::to_string(id);
  return {};
}

const Polyhedron& solidOf(const std::vector<Polyhedron>& solids, int id) {
  return solids[static_cast<std::size_t>(id)];
}

void append(std::string& all, const std::string& one) {
  if (one.empty()) return;
  if (!all.empty()) all += '\n';
  all += one;
}

}  // namespace

std::vector<int> placedIds(const Layout& layout, const PackingSequence& idSequence) {
  std::vector<int> ids;
  for (int id : idSequence.items)
    if (id >= 0 && id < static_cast<int>(layout.parts.size()) &&
        layout.parts[static_cast<std::size_t>(id)].placed)
      ids.push_back(id);
  return ids;
}

std::string gridMismatch(const OccupancyGrid& grid, const std::vector<Polyhedron>& solids,
                         const std::vector<int>& placementOrder) {
  if (std::string bad = unknownId(solids, placementOrder); !bad.empty()) return bad;
  OccupancyGrid rebuilt = grid;
  clearGrid(rebuilt);
  for (int id : placementOrder) markPart(rebuilt, solidOf(solids, id));
  const OccupancyGrid& g = grid;
  for (int z = 0; z < g.gridZ; ++z)
    for (int x = 0; x < g.gridX; ++x)
      for (int y = 0; y < g.gridY; ++y)
        if (g.cells[g.index(x, y, z)] != rebuilt.cells[g.index(x, y, z)]) {
          std::ostringstream message;
          message << "grid cell (" << x << ", " << y << ", " << z << ") is "
                  << int{g.cells[g.index(x, y, z)]} << " but the placed parts give "
                  << int{rebuilt.cells[g.index(x, y, z)]};
          return message.str();
        }
  return {};
}

std::string interferingPair(const std::vector<Polyhedron>& solids, const std::vector<int>& placed) {
  if (std::string bad = unknownId(solids, placed); !bad.empty()) return bad;
  for (std::size_t i = 0; i < placed.size(); ++i)
    for (std::size_t j = i + 1; j < placed.size(); ++j)
      if (!polyhedraDisjoint(solidOf(solids, placed[i]), solidOf(solids, placed[j]))) {
        std::ostringstream message;
        message << "parts " << placed[i] << " and " << placed[j] << " interfere";
        return message.str();
      }
  return {};
}

std::string partOutsideContainer(const Polyhedron& container, const std::vector<Polyhedron>& solids,
                                 const std::vector<int>& placed) {
  if (std::string bad = unknownId(solids, placed); !bad.empty()) return bad;
  for (int id : placed)
    if (!containsAllVertices(container, solidOf(solids, id))) {
      std::ostringstream message;
      message << "part " << id << " has a vertex outside the container";
      return message.str();
    }
  return {};
}

std::string layoutViolations(const Project& project, const Layout& layout,
                             const OccupancyGrid& grid, const PackingSequence& idSequence) {
  const std::vector<Polyhedron> solids = placedSolids(project, layout);
  const std::vector<int> placed = placedIds(layout, idSequence);
  std::string all;
  append(all, gridMismatch(grid, solids, placed));
  append(all, interferingPair(solids, placed));
  append(all, partOutsideContainer(project.container, solids, placed));
  return all;
}

}  // namespace tessera
