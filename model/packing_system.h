// model: parts, polyhedra, sequences and the packing system that holds one project in memory.
// It never reads or writes files and never decides where a part goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/orientations.h"
#include "model/part_list.h"
#include "model/polyhedron.h"

namespace tessera {

/// One entry per part file of the project, in project-file order.
struct PartType {
  std::string name;
  int typeIndex = 0;
};

/// The container sampled in cubic cells of edge PBSL: one byte per cell, 0 free, 1 occupied.
/// Cell (x, y, z) is byte y + gridY * (x + gridX * z), the layout of a part bitmap.
struct OccupancyGrid {
  int gridX = 0;
  int gridY = 0;
  int gridZ = 0;
  std::vector<std::uint8_t> cells;

  bool exists() const { return gridX > 0 && gridY > 0 && gridZ > 0; }
  std::size_t index(int x, int y, int z) const {
    return static_cast<std::size_t>(y) +
           static_cast<std::size_t>(gridY) *
               (static_cast<std::size_t>(x) +
                static_cast<std::size_t>(gridX) * static_cast<std::size_t>(z));
  }
};

/// How placement ranks the orientations of a part, each at its first fitting cell (lowest
/// layer, then x, then y). Ties keep the earlier orientation of the table.
enum class PlacementRule {
  lowestPoint,  // the reference point ends lowest: the rule of every layout by default
  lowestTop,    // the part's top (its box's highest z) ends lowest
};

/// The state of one run: the container, the parts and everything placement shares.
struct PackingSystem {
  Polyhedron container;
  PartList parts;        // working list, moved by placement
  PartList masterParts;  // parts as parked and numbered at load; copied back after evaluations
  std::vector<PartType> partTypes;
  int sequenceLength = 0;
  double PBSL = 0.0;
  int RN = 0;
  OccupancyGrid grid;
  std::string computingTimeText;
  std::vector<Orientation> orientationTable;
  int placedParts = 0;  // parts the last evaluation placed; the others stayed parked
  // Placement appends every turn and move to Polyhedron::motion only when set: the motion is
  // needed only to export original meshes, and recording it costs every slide step.
  bool recordMotion = false;
  PlacementRule placementRule = PlacementRule::lowestPoint;

  int orientationCount() const { return static_cast<int>(orientationTable.size()); }
  /// Replaces the orientation table with the one built from RN.
  void buildOrientations() { orientationTable = tessera::buildOrientations(RN); }
};

/// typeIndex of the first part type whose name equals name exactly; -1 when none does.
int typeIndexOf(const PackingSystem& system, const std::string& name);

}  // namespace tessera
