#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_reader.h"

namespace tessera {

/// One item of a 3MF model's build: the name of the object it places and its triangles, carried
/// by the component transforms and then the build transform, in millimetres.
struct BuildItemMesh {
  std::string name;  // empty when the object has none
  RawMesh mesh;
};

/// Every item of the build of the 3MF file at path, in build order; an item whose transforms
/// mirror it has its triangles turned, so that it faces outward as its object does. Throws
/// ImportError naming the file when it is no readable 3MF package, its build places no object
/// with triangles, or the meshes its components repeat would take more than memoryBytes
/// (counted through the component graph before anything is built; below 0: not known, only
/// what indices can number is refused).
std::vector<BuildItemMesh> read3mf(const std::string& path, std::int64_t memoryBytes = -1);

/// Whether path names a 3MF file by its extension (in any case).
bool is3mfPath(const std::string& path);

}  // namespace tessera
