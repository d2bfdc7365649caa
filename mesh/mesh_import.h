// mesh: the bridge to other programs' meshes: reading STL, OBJ, OFF, PLY and 3MF, making solids and
// projects from them, writing packed layouts as 3MF, STL and OBJ. It never changes the packing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "mesh/mesh_solid.h"
#include "mesh/packing_shape.h"

namespace tessera {

/// Above this many faces a part is slow to place; the import suggests its convex hull.
inline constexpr std::size_t kManyFaces = 500;

struct MeshImportOptions {
  double scale =
      1.0;  // applied to every coordinate: the user's factor times the unit in millimetres
  bool hull = false;               // replace the part by its convex hull
  bool wrap = false;               // pack the alpha wrap of the mesh instead of the mesh itself
  double spacing = 0.0;            // the least distance between two packed meshes; > 0 implies wrap
  double detail = kDefaultDetail;  // of the wrap: more gives smaller alpha and more faces
  std::int64_t memoryBytes = -1;   // what the process may still allocate; below 0: not known

  bool wraps() const { return wrap || spacing > 0.0; }
};

struct ImportedMesh {
  SolidMesh solid;  // the packing shape
  RepairNotes notes;
  bool wrapped = false;
  WrapNotes wrap;  // when wrapped
};

/// Reads the mesh at path and turns it into a solid. With hull, the input need not be closed: the
/// hull of the (scaled) corners of its faces is taken. With wraps(), the input may be anything with
/// faces: its packing shape (alpha wrap keeping spacing / 2 clear of it) is taken, hull ignored.
/// Throws ImportError naming path.
ImportedMesh importMesh(const std::string& path, const MeshImportOptions& options);
/// As importMesh, for a mesh already read; errors name source.
ImportedMesh importRawMesh(const RawMesh& raw, const std::string& source,
                           const MeshImportOptions& options);

/// Millimetres per unit for "mm", "cm", "m" and "in"; 0 for anything else.
double millimetresPer(const std::string& unit);

/// The file name without its folder and its last extension.
std::string baseName(const std::string& path);

/// Throws ImportError when name cannot stand on a name line (empty, a line break, over 98 bytes).
void checkPartName(const std::string& name);

/// Writes the polyhedron file at path; throws ImportError when it cannot be written.
void writePolyhedronFile(const std::string& path, const std::string& name, const SolidMesh& solid);

/// One or more console lines: the face count, what was repaired, and the hint above kManyFaces.
std::string importSummary(const std::string& meshPath, const std::string& outPath,
                          const ImportedMesh& imported, bool hull);

}  // namespace tessera
