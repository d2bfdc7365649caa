#pragma once

#include <istream>
#include <string>
#include <vector>

#include "model/polyhedron.h"

namespace tessera {

/// Longest name line accepted, in characters before the line end.
inline constexpr std::size_t kMaxNameLineLength = 98;

/// What a polyhedron file describes. Nothing uses the container's volume and reference point,
/// so they are read as the standard conversion reads them and never refused.
enum class PolyhedronRole { part, container };

/// Reads the polyhedron file at path (used as written, relative to the working directory).
/// Throws InputError 文件"<path>"读取失败! when the file cannot be opened, and the errors of
/// parsePolyhedron.
Polyhedron readPolyhedron(const std::string& path, PolyhedronRole role = PolyhedronRole::part,
                          std::vector<std::string>* warnings = nullptr);

/// Parses polyhedron file text: name, volume, reference point, vertex, edge and face lists,
/// then the bounding box. Cell side, bitmap, anchor and id keep their defaults. Numbers are
/// read by NumberCursor: text after a line's last number is ignored. Throws InputError naming
/// path and line for what cannot make a polyhedron: a missing end marker, an overlong line or
/// name, a number missing or misread (NumberCursor), a non-finite number, a part's volume not
/// above 0, no vertices, a vertex index out of range, a face with fewer than three corners or
/// fewer indices than it announces. Appends to warnings (when given) one warning for lines
/// that hold more numbers than they are read for.
Polyhedron parsePolyhedron(std::istream& in, const std::string& path,
                           PolyhedronRole role = PolyhedronRole::part,
                           std::vector<std::string>* warnings = nullptr);

}  // namespace tessera
