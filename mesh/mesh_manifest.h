#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mesh/mesh_writer.h"

namespace tessera {

/// Where one part type's packing shape came from: its original mesh and the factor its
/// coordinates were multiplied by. The part file lies in the scaled mesh's own coordinates.
struct ManifestEntry {
  std::string partName;  // the name line of the part file
  std::string meshPath;  // relative to the manifest's folder, or absolute
  int item = 0;          // k > 0: the k-th item of a 3MF plate's build; 0: the whole file
  double scale = 1.0;
};

/// The file beside a project that tessera-import writes when parts are packed as wraps:
/// "<project file name without extension>-meshes.txt".
std::string manifestPathOf(const std::string& projectPath);

/// "#TesseraMeshes 1", then per entry the lines "Part", name, "Mesh", path, ("Item", k when
/// k > 0), "Scale", factor (shortest exact form), "----"; "#EndFile" last.
void writeManifest(std::ostream& out, const std::vector<ManifestEntry>& entries);

/// Reads a manifest; throws InputError (standard error) naming the file and line.
std::vector<ManifestEntry> readManifest(const std::string& path);

/// Original meshes by part name, scaled as at import: each vertex v becomes v * scale, faces
/// are triangles (polygons fanned from their first corner).
using OriginalMeshes = std::map<std::string, MeshObject>;

/// The originals the manifest beside projectPath names, or nothing when there is no manifest.
/// Throws InputError naming the manifest or the mesh that cannot be read.
std::optional<OriginalMeshes> loadOriginals(const std::string& projectPath);

}  // namespace tessera
