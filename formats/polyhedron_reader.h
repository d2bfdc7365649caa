#pragma once

#include <istream>
#include <string>

#include "model/polyhedron.h"

namespace tessera {

/// Longest name line accepted, in characters before the line end.
inline constexpr std::size_t kMaxNameLineLength = 98;

/// Reads the polyhedron file at path (used as written, relative to the working directory).
/// Throws InputError 文件"<path>"读取失败! when the file cannot be opened, and the errors of
/// parsePolyhedron.
Polyhedron readPolyhedron(const std::string& path);

/// Parses polyhedron file text: name, volume, reference point, vertex, edge and face lists,
/// then the bounding box. Cell side, bitmap, anchor and id keep their defaults. Numbers
/// must be whole (NumberCursor). Throws InputError naming path and line for what cannot make
/// a polyhedron: a missing end marker, an overlong line or name, a malformed or non-finite
/// number, a volume not above 0, no vertices, a vertex index out of range, a face with fewer
/// than three corners or fewer indices than it announces.
Polyhedron parsePolyhedron(std::istream& in, const std::string& path);

}  // namespace tessera
