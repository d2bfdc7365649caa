#include "placement/invariants.h"

#include <cstddef>
#include <sstream>

#include "geometry/predicates.h"
#include "placement/occupancy_grid.h"

namespace tessera {

namespace {

std::string unknownId(const PackingSystem& system, const std::vector<int>& ids) {
  for (int id : ids)
    if (system.parts.findById(id) == nullptr) return "no part has id " + std::to_string(id);
  return {};
}

const Part& partWithId(const PackingSystem& system, int id) { return *system.parts.findById(id); }

void append(std::string& all, const std::string& one) {
  if (one.empty()) return;
  if (!all.empty()) all += '\n';
  all += one;
}

}  // namespace

std::vector<int> placedIds(const PackingSystem& system, const PackingSequence& idSequence) {
  std::vector<int> ids;
  for (int id : idSequence.items) {
    const Part* part = system.parts.findById(id);
    if (part != nullptr && !(part->boxMin == system.container.boxMax)) ids.push_back(id);
  }
  return ids;
}

std::string gridMismatch(const PackingSystem& system, const std::vector<int>& placementOrder) {
  if (std::string bad = unknownId(system, placementOrder); !bad.empty()) return bad;
  PackingSystem rebuilt;
  rebuilt.container = system.container;
  rebuilt.PBSL = system.PBSL;
  rebuilt.grid.gridX = system.grid.gridX;
  rebuilt.grid.gridY = system.grid.gridY;
  rebuilt.grid.gridZ = system.grid.gridZ;
  rebuilt.grid.cells.assign(system.grid.cells.size(), 0);
  for (int id : placementOrder) markPart(rebuilt, partWithId(system, id));
  const OccupancyGrid& g = system.grid;
  for (int z = 0; z < g.gridZ; ++z)
    for (int x = 0; x < g.gridX; ++x)
      for (int y = 0; y < g.gridY; ++y)
        if (g.cells[g.index(x, y, z)] != rebuilt.grid.cells[g.index(x, y, z)]) {
          std::ostringstream message;
          message << "grid cell (" << x << ", " << y << ", " << z << ") is "
                  << int{g.cells[g.index(x, y, z)]} << " but the placed parts give "
                  << int{rebuilt.grid.cells[g.index(x, y, z)]};
          return message.str();
        }
  return {};
}

std::string interferingPair(const PackingSystem& system, const std::vector<int>& placed) {
  if (std::string bad = unknownId(system, placed); !bad.empty()) return bad;
  for (std::size_t i = 0; i < placed.size(); ++i)
    for (std::size_t j = i + 1; j < placed.size(); ++j)
      if (!polyhedraDisjoint(partWithId(system, placed[i]), partWithId(system, placed[j]))) {
        std::ostringstream message;
        message << "parts " << placed[i] << " and " << placed[j] << " interfere";
        return message.str();
      }
  return {};
}

std::string partOutsideContainer(const PackingSystem& system, const std::vector<int>& placed) {
  if (std::string bad = unknownId(system, placed); !bad.empty()) return bad;
  for (int id : placed)
    if (!containsAllVertices(system.container, partWithId(system, id))) {
      std::ostringstream message;
      message << "part " << id << " has a vertex outside the container";
      return message.str();
    }
  return {};
}

std::string layoutViolations(const PackingSystem& system, const PackingSequence& idSequence) {
  const std::vector<int> placed = placedIds(system, idSequence);
  std::string all;
  append(all, gridMismatch(system, placed));
  append(all, interferingPair(system, placed));
  append(all, partOutsideContainer(system, placed));
  return all;
}

}  // namespace tessera
