#pragma once

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

/// Every item of the build of the 3MF file at path, in build order. Throws ImportError naming
/// the file when it is no readable 3MF package or its build places no object with triangles.
std::vector<BuildItemMesh> read3mf(const std::string& path);

/// Whether path names a 3MF file by its extension (in any case).
bool is3mfPath(const std::string& path);

}  // namespace tessera
