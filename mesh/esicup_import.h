// mesh: projects from instances of the ESICUP data set of 3D irregular strip packing (JSON: a
// container base and item types with a mesh file, a demand and optionally allowed rotations).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "geometry/orientations.h"
#include "mesh/import_project.h"

namespace tessera {

/// One item type of an instance: its mesh as found on disk, its demand and the rotations it
/// allows besides the identity (empty: translations only).
struct EsicupItem {
  std::string meshPath;
  int demand = 1;
  std::vector<Orientation> rotations;
};

struct EsicupInstance {
  std::string name;
  double sizeX = 0.0, sizeY = 0.0;  // the container's base
  std::vector<EsicupItem> items;
};

/// Reads an instance. An item's "path" is looked up from the instance's folder, then from each
/// folder above it (the data set gives paths from its root, one folder above the instances).
/// An item's optional "allowed-rotations" lists rotations as {"axis": "x" | "y" | "z" |
/// [x, y, z], "angle": degrees}, about the origin, right-handed. Keys it does not know are
/// passed over. With meshFolder, an item's mesh is taken from there by its file name where that
/// folder has it (repaired copies of meshes that are not closed). Throws ImportError naming the
/// file for text that is not JSON, a missing or wrong field, a rotation of another form and a
/// mesh that is not found.
EsicupInstance readEsicup(const std::string& path, const std::string& meshFolder = "");

/// The smallest RN up to kMostEsicupRN whose orientation table holds the identity and every
/// given rotation (within 1e-9 on each axis image); nullopt when none does.
inline constexpr int kMostEsicupRN = 12;
std::optional<int> smallestRNFor(const std::vector<Orientation>& rotations);

/// Writes the project of the instance (meshes as readEsicup finds them) at projectPath as
/// createProject does: the container is
/// the instance's base with height settings.height, or when that is 0 a generous one (four
/// times the height the parts' volume fills on the base plus twice the longest part extent,
/// rounded up to a multiple of 10); PBSL settings.PBSL, or when 0 the base's longer side / 60
/// rounded down to one significant figure; RN settings.RN, or when 0 the smallest that holds
/// every item's rotations. A note goes to log when the orientations of RN are more than the
/// instance allows. Throws ImportError for rotations no RN holds and an RN that lacks one.
void createEsicupProject(const std::string& instancePath, const std::string& meshFolder,
                         const std::string& projectPath, ProjectSettings settings,
                         std::ostream& log);

}  // namespace tessera
