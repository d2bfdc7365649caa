#include "mesh/mesh_reader.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "mesh/mesh_reader_3mf.h"
#include "mesh/ply_reader.h"

namespace tessera {

std::string importMessage(const std::string& file, int line, const std::string& what) {
  if (line > 0) return file + ":" + std::to_string(line) + ": " + what;
  return file + ": " + what;
}

std::vector<std::string_view> lineTokens(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

namespace {

/// Locale-independent; the whole token must be the number.
bool toDouble(std::string_view s, double& v) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

bool toInt(std::string_view s, long long& v) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

/// Reads three coordinates from toks[first..first+2]; rejects bad and non-finite numbers.
Point coordinates(const std::vector<std::string_view>& toks, std::size_t first,
                  const std::string& file, int line) {
  if (toks.size() < first + 3) throw ImportError(importMessage(file, line, "expected x y z"));
  double c[3];
  for (int k = 0; k < 3; ++k) {
    std::string_view t = toks[first + k];
    if (!toDouble(t, c[k]))
      throw ImportError(importMessage(file, line, "'" + std::string(t) + "' is not a number"));
    if (!std::isfinite(c[k]))
      throw ImportError(
          importMessage(file, line, "coordinate '" + std::string(t) + "' is not finite"));
  }
  return {c[0], c[1], c[2]};
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
  return v;
}

RawMesh readBinaryStl(const std::string& bytes, const std::string& file) {
  const std::uint32_t count = littleEndian32(bytes, 80);
  RawMesh mesh;
  mesh.vertices.reserve(std::size_t{3} * count);
  mesh.faces.reserve(count);
  for (std::uint32_t t = 0; t < count; ++t) {
    const std::size_t base = 84 + std::size_t{50} * t + 12;  // skips the stored normal
    std::vector<int> ring;
    for (int v = 0; v < 3; ++v) {
      double c[3];
      for (int k = 0; k < 3; ++k) {
        c[k] = std::bit_cast<float>(littleEndian32(bytes, base + 12 * v + 4 * k));
        if (!std::isfinite(c[k]))
          throw ImportError(importMessage(
              file, 0,
              "triangle " + std::to_string(t + 1) + " has a coordinate that is not finite"));
      }
      ring.push_back(static_cast<int>(mesh.vertices.size()));
      mesh.vertices.push_back({c[0], c[1], c[2]});
    }
    mesh.faces.push_back(std::move(ring));
    mesh.faceLines.push_back(0);
  }
  return mesh;
}

RawMesh readAsciiStl(const std::string& bytes, const std::string& file) {
  RawMesh mesh;
  std::istringstream in(bytes);
  std::string text;
  int line = 0;
  bool inSolid = false;
  int facetLine = 0;  // 0 outside a facet
  std::vector<int> ring;
  while (std::getline(in, text)) {
    ++line;
    const auto toks = lineTokens(text);
    if (toks.empty()) continue;
    const std::string key = lower(std::string(toks[0]));
    auto fail = [&](const std::string& what) {
      throw ImportError(importMessage(file, line, what));
    };
    if (key == "solid") {
      if (inSolid) fail("'solid' inside a solid");
      inSolid = true;
    } else if (!inSolid) {
      fail("expected 'solid', found '" + std::string(toks[0]) + "'");
    } else if (key == "facet") {
      if (facetLine) fail("'facet' inside a facet");
      facetLine = line;
      ring.clear();
    } else if (key == "outer" || key == "endloop") {
      if (!facetLine) fail("'" + key + "' outside a facet");
    } else if (key == "vertex") {
      if (!facetLine) fail("'vertex' outside a facet");
      if (ring.size() == 3) fail("a facet has more than three vertices");
      ring.push_back(static_cast<int>(mesh.vertices.size()));
      mesh.vertices.push_back(coordinates(toks, 1, file, line));
    } else if (key == "endfacet") {
      if (!facetLine) fail("'endfacet' outside a facet");
      if (ring.size() != 3) fail("a facet has " + std::to_string(ring.size()) + " vertices, not 3");
      mesh.faces.push_back(ring);
      mesh.faceLines.push_back(facetLine);
      facetLine = 0;
    } else if (key == "endsolid") {
      if (facetLine) fail("'endsolid' inside a facet");
      inSolid = false;
    } else {
      fail("unexpected '" + std::string(toks[0]) + "'");
    }
  }
  if (inSolid || facetLine)
    throw ImportError(importMessage(file, line, "file ends before 'endsolid' (truncated?)"));
  return mesh;
}

bool startsWithSolid(const std::string& bytes) {
  std::size_t i = 0;
  while (i < bytes.size() &&
         (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  return lower(bytes.substr(i, 5)) == "solid";
}

}  // namespace

RawMesh readStl(const std::string& bytes, const std::string& file) {
  if (bytes.size() >= 84) {
    const std::uint64_t count = littleEndian32(bytes, 80);
    const std::uint64_t expected = 84 + 50 * count;
    if (expected == bytes.size()) return readBinaryStl(bytes, file);
    if (!startsWithSolid(bytes))
      throw ImportError(importMessage(
          file, 0,
          "binary STL header announces " + std::to_string(count) + " triangles (" +
              std::to_string(expected) + " bytes) but the file has " +
              std::to_string(bytes.size()) + " bytes (truncated or not an STL file?)"));
  } else if (!startsWithSolid(bytes)) {
    throw ImportError(importMessage(file, 0,
                                    "too short for a binary STL (" + std::to_string(bytes.size()) +
                                        " bytes) and does not begin with 'solid'"));
  }
  return readAsciiStl(bytes, file);
}

RawMesh readObj(std::istream& in, const std::string& file) {
  RawMesh mesh;
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    const auto toks = lineTokens(text);
    if (toks.empty()) continue;
    if (toks[0] == "v") {
      mesh.vertices.push_back(coordinates(toks, 1, file, line));
    } else if (toks[0] == "f") {
      if (toks.size() < 4)
        throw ImportError(importMessage(file, line, "a face needs three corners"));
      std::vector<int> ring;
      for (std::size_t k = 1; k < toks.size(); ++k) {
        const std::string_view corner = toks[k].substr(0, toks[k].find('/'));
        long long index = 0;
        if (!toInt(corner, index))
          throw ImportError(importMessage(
              file, line, "'" + std::string(toks[k]) + "' is not a vertex reference"));
        // Negative indices count back from the last vertex read so far.
        const long long count = static_cast<long long>(mesh.vertices.size());
        const long long position = index < 0 ? count + index : index - 1;
        if (index == 0 || position < 0 || position >= count)
          throw ImportError(importMessage(file, line,
                                          "vertex index " + std::to_string(index) +
                                              " is out of range (" + std::to_string(count) +
                                              " vertices so far)"));
        ring.push_back(static_cast<int>(position));
      }
      mesh.faces.push_back(std::move(ring));
      mesh.faceLines.push_back(line);
    }
    // Texture coordinates, normals, groups, materials, lines and points do not shape the solid.
  }
  return mesh;
}

RawMesh readOff(std::istream& in, const std::string& file) {
  RawMesh mesh;
  std::string text;
  int line = 0;
  // Next non-blank line with its comment removed; empty when the file ends.
  auto next = [&]() -> std::vector<std::string_view> {
    while (std::getline(in, text)) {
      ++line;
      const auto hash = text.find('#');
      if (hash != std::string::npos) text.erase(hash);
      auto toks = lineTokens(text);
      if (!toks.empty()) return toks;
    }
    return {};
  };
  auto fail = [&](const std::string& what) { throw ImportError(importMessage(file, line, what)); };

  auto toks = next();
  const std::string header = toks.empty() ? std::string() : std::string(toks[0]);
  const bool isOff = header.size() >= 3 && header.compare(header.size() - 3, 3, "OFF") == 0 &&
                     header.find_first_not_of("STCN") == header.size() - 3;
  if (!isOff) fail("expected the header 'OFF'");
  std::vector<std::string_view> counts(toks.begin() + 1, toks.end());
  if (!counts.empty() && counts[0] == "BINARY") fail("binary OFF is not supported");
  if (counts.empty()) counts = next();
  long long vertexCount = 0, faceCount = 0;
  if (counts.size() < 2 || !toInt(counts[0], vertexCount) || !toInt(counts[1], faceCount) ||
      vertexCount < 0 || faceCount < 0 || vertexCount > (1LL << 30) || faceCount > (1LL << 30))
    fail("expected the vertex and face counts");

  for (long long v = 0; v < vertexCount; ++v) {
    toks = next();
    if (toks.empty())
      fail("file ends after " + std::to_string(v) + " of " + std::to_string(vertexCount) +
           " vertices");
    mesh.vertices.push_back(coordinates(toks, 0, file, line));
  }
  for (long long f = 0; f < faceCount; ++f) {
    toks = next();
    if (toks.empty())
      fail("file ends after " + std::to_string(f) + " of " + std::to_string(faceCount) + " faces");
    long long n = 0;
    if (!toInt(toks[0], n) || n < 3) fail("a face needs a corner count of at least 3");
    if (static_cast<long long>(toks.size()) < n + 1)
      fail("a face announces " + std::to_string(n) + " corners but lists fewer");
    std::vector<int> ring;
    for (long long k = 1; k <= n; ++k) {
      long long index = 0;
      if (!toInt(toks[k], index)) fail("'" + std::string(toks[k]) + "' is not a vertex index");
      if (index < 0 || index >= vertexCount)
        fail("vertex index " + std::to_string(index) + " is out of range (" +
             std::to_string(vertexCount) + " vertices)");
      ring.push_back(static_cast<int>(index));
    }
    mesh.faces.push_back(std::move(ring));  // anything after the corners is a colour
    mesh.faceLines.push_back(line);
  }
  return mesh;
}

void checkMeshFileKind(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status))
    throw ImportError(importMessage(path, 0, "is a folder, not a mesh file"));
  // A FIFO would block the read forever and a device such as /dev/zero would never end it.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    throw ImportError(importMessage(path, 0, "is not a regular file, not a mesh file"));
}

RawMesh readMesh(const std::string& path, std::int64_t memoryBytes) {
  checkMeshFileKind(path);
  const auto dot = path.find_last_of('.');
  const std::string ext = dot == std::string::npos ? std::string() : lower(path.substr(dot));
  if (is3mfPath(path)) {
    // A plate read as one mesh: every item of the build where the build puts it.
    RawMesh plate;
    for (const BuildItemMesh& item : read3mf(path, memoryBytes)) {
      const int first = static_cast<int>(plate.vertices.size());
      plate.vertices.insert(plate.vertices.end(), item.mesh.vertices.begin(),
                            item.mesh.vertices.end());
      for (std::vector<int> ring : item.mesh.faces) {
        for (int& i : ring) i += first;
        plate.faces.push_back(std::move(ring));
        plate.faceLines.push_back(0);
      }
    }
    return plate;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ImportError(importMessage(path, 0, "cannot open the file"));
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    throw ImportError(importMessage(path, 0, "cannot read the file"));
  }
  if (in.bad()) throw ImportError(importMessage(path, 0, "cannot read the file"));
  if (ext == ".stl") return readStl(bytes, path);
  if (ext == ".ply") return readPly(bytes, path);
  std::istringstream text(bytes);
  if (ext == ".obj") return readObj(text, path);
  if (ext == ".off") return readOff(text, path);
  throw ImportError(
      importMessage(path, 0, "unknown mesh format; expected .stl, .obj, .off, .ply or .3mf"));
}

}  // namespace tessera
