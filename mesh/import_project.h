#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "mesh/mesh_import.h"
#include "mesh/mesh_solid.h"

namespace tessera {

/// One mesh of a project and how many copies of it to pack.
struct PartRequest {
  std::string meshPath;
  int copies = 1;
};

/// "mesh.stl:3" gives mesh.stl with 3 copies; without a ":count" suffix, one copy.
/// Throws ImportError for a count that is not a positive integer.
PartRequest parsePartRequest(const std::string& argument);

/// The box from (0, 0, 0) to (length, width, height): 8 vertices, 12 edges, 6 outward
/// quadrilaterals, centroid at its centre.
SolidMesh boxSolid(double length, double width, double height);

/// A part file named in a project, by its path as the project states it.
struct ProjectEntry {
  std::string path;
  int copies = 1;
};

/// Writes the project file: PBSL, RN, the container path and one block per part file.
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
/// whose box fits the shrunken container in no orientation of RN is refused.
void createProject(const std::string& projectPath, const ProjectSettings& settings,
                   const std::vector<PartRequest>& parts, std::ostream& log);

}  // namespace tessera
