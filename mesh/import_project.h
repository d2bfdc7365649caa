#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh_import.h"
#include "mesh/mesh_solid.h"
#include "model/turn_rule.h"

namespace tessera {

/// One mesh of a project, how many copies of it to pack and how they may turn.
struct PartRequest {
  PartRequest() = default;
  PartRequest(std::string mesh, int count, TurnRule rule = {}, bool fill = false)
      : meshPath(std::move(mesh)), copies(count), turns(rule), filler(fill) {}

  std::string meshPath;
  int copies = 1;
  TurnRule turns;
  bool filler = false;
};

/// "mesh.stl:3" gives mesh.stl with 3 copies; without a ":count" suffix, one copy. Then, each
/// optional, a turn rule (parseTurnRule) and "fill": "mesh.stl:2:upright:fill",
/// "mesh.stl:down=+x". Throws ImportError for a count that is not a positive integer, and for a
/// suffix after a mesh file's name (.stl, .obj, .off, .ply, .3mf) that is none of these.
PartRequest parsePartRequest(const std::string& argument);

/// The box from (0, 0, 0) to (length, width, height): 8 vertices, 12 edges, 6 outward
/// quadrilaterals, centroid at its centre.
SolidMesh boxSolid(double length, double width, double height);

/// A part file named in a project, by its path as the project states it.
struct ProjectEntry {
  ProjectEntry() = default;
  ProjectEntry(std::string file, int count, TurnRule rule = {}, bool fill = false)
      : path(std::move(file)), copies(count), turns(rule), filler(fill) {}

  std::string path;
  int copies = 1;
  TurnRule turns;
  bool filler = false;
};

/// Writes the project file: PBSL, RN, the container path and one block per part file, with
/// the "Turns" and "Filler" lines only where a part has a rule other than all or is a filler.
void writeProjectFile(std::ostream& out, double PBSL, int RN, const std::string& containerPath,
                      const std::vector<ProjectEntry>& parts);

struct ProjectSettings {
  double PBSL = 1.0;
  int RN = 4;
  double length = 0.0, width = 0.0, height = 0.0;  // the container box
  double margin = 0.0;  // least distance from a mesh to the container's walls and floor
  MeshImportOptions mesh;
};

/// The box from low to high, as boxSolid.
SolidMesh boxSolid(const Point& low, const Point& high);

/// Imports every mesh, then writes next to projectPath one part file per mesh (named after the
/// mesh; a 3MF plate gives one per item of its build), "container.txt", the project file, which
/// names them relative to its own folder, and with wraps the manifest of the original meshes.
/// Nothing is written unless every mesh imports and every file can be written in full.
/// Progress goes to log; throws ImportError.
/// With a margin, the container shrinks by what the packing shapes' clearance does not already
/// keep (margin - spacing / 2) on the walls and the floor; with a margin or spacing, a part
/// whose box fits the shrunken container in no orientation of RN is refused. A turn rule that
/// leaves a part no orientation of RN is refused.
void createProject(const std::string& projectPath, const ProjectSettings& settings,
                   const std::vector<PartRequest>& parts, std::ostream& log);

}  // namespace tessera
