#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/point.h"

namespace tessera {

/// Bad input found while importing; the message already names the file and, where known, the line.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// "file:line: what", or "file: what" when line is 0.
std::string importMessage(const std::string& file, int line, const std::string& what);

/// The words of a line, split at spaces, tabs and carriage returns.
std::vector<std::string_view> lineTokens(std::string_view line);

/// A mesh as read, before welding: each face is a ring of indices into vertices, in file order.
struct RawMesh {
  std::vector<Point> vertices;
  std::vector<std::vector<int>> faces;
  std::vector<int> faceLines;  // source line of each face; 0 where the format has no lines
};

/// Binary or ASCII STL, told apart by size: binary is exactly 84 + 50·n bytes whatever its header
/// says. ASCII coordinates keep the full precision of their text.
RawMesh readStl(const std::string& bytes, const std::string& file);
/// OBJ: "v" and "f" lines; 1-based or negative indices, "i/t/n" forms; other lines ignored.
RawMesh readObj(std::istream& in, const std::string& file);
/// OFF: header, counts, vertex and face blocks; '#' starts a comment.
RawMesh readOff(std::istream& in, const std::string& file);
/// Throws ImportError when path is a folder or other than a regular file (a FIFO, a device).
void checkMeshFileKind(const std::string& path);
/// Reads path with the reader its extension names (.stl, .obj, .off, .ply, .3mf, in any case);
/// a 3MF plate gives every item of its build as one mesh, refused when it would expand past
/// memoryBytes (see read3mf).
RawMesh readMesh(const std::string& path, std::int64_t memoryBytes = -1);

}  // namespace tessera
