#pragma once

#include <string>

#include "mesh/mesh_reader.h"

namespace tessera {

/// PLY, ASCII or binary in either byte order: the x, y and z of the "vertex" element and the
/// "vertex_indices" (or "vertex_index") list of the "face" element; every other element and
/// property is skipped by its declared type. Counts are checked against the file's size before
/// anything is allocated. ASCII errors name the line.
RawMesh readPly(const std::string& bytes, const std::string& file);

}  // namespace tessera
