#pragma once

namespace tessera {

/// How placement ranks the orientations of a part, each at its first fitting cell (lowest
/// layer, then x, then y). Ties keep the earlier orientation of the table.
enum class PlacementRule {
  lowestPoint,  // the reference point ends lowest: the rule of every layout by default
  lowestTop,    // the part's top (its box's highest z) ends lowest
};

/// Its name on the command line: "lowest-point" or "lowest-top".
inline const char* placementRuleName(PlacementRule rule) {
  return rule == PlacementRule::lowestTop ? "lowest-top" : "lowest-point";
}

}  // namespace tessera
