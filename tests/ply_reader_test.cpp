// PLY meshes: ASCII and binary in both byte orders import to the same part as the same mesh in
// OBJ; malformed files are refused with the file (and line) named, before anything is allocated.
#include "mesh/ply_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/mesh_import.h"
#include "mesh/polyhedron_writer.h"
#include "support/child_process.h"
#include "support/project.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

// An L-shaped bracket whose end faces are non-convex hexagons.
const std::vector<Point> kCorners{{0, 0, 0},    {40, 0, 0},   {40, 10, 0},  {10, 10, 0},
                                  {10, 30, 0},  {0, 30, 0},   {0, 0, 20},   {40, 0, 20},
                                  {40, 10, 20}, {10, 10, 20}, {10, 30, 20}, {0, 30, 20}};
const std::vector<std::vector<int>> kFaces{{5, 4, 3, 2, 1, 0}, {6, 7, 8, 9, 10, 11}, {0, 1, 7, 6},
                                           {1, 2, 8, 7},       {2, 3, 9, 8},         {3, 4, 10, 9},
                                           {4, 5, 11, 10},     {5, 0, 6, 11}};

std::string bracketObj() {
  std::ostringstream out;
  for (const Point& p : kCorners) out << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
  for (const auto& ring : kFaces) {
    out << 'f';
    for (int i : ring) out << ' ' << i + 1;
    out << '\n';
  }
  return out.str();
}

std::string bracketAsciiPly() {
  std::ostringstream out;
  out << "ply\nformat ascii 1.0\ncomment made by hand\nelement vertex " << kCorners.size()
      << "\nproperty float x\nproperty float y\nproperty float z\nproperty uchar red\n"
         "element face "
      << kFaces.size()
      << "\nproperty list uchar int vertex_indices\n"
         "end_header\n";
  for (const Point& p : kCorners) out << p.x << ' ' << p.y << ' ' << p.z << " 200\n";
  for (const auto& ring : kFaces) {
    out << ring.size();
    for (int i : ring) out << ' ' << i;
    out << '\n';
  }
  return out.str();
}

/// value's bytes in the byte order asked for.
template <typename T>
void put(std::string& out, T value, bool little) {
  using Bits = std::conditional_t<
      sizeof(T) == 8, std::uint64_t,
      std::conditional_t<sizeof(T) == 4, std::uint32_t,
                         std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint8_t>>>;
  const Bits bits = std::bit_cast<Bits>(value);
  for (std::size_t k = 0; k < sizeof(T); ++k) {
    const std::size_t shift = 8 * (little ? k : sizeof(T) - 1 - k);
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
}

/// With properties to skip of every width, a list to skip and an element after the faces.
std::string bracketBinaryPly(bool little, bool doubles) {
  std::string out =
      std::string("ply\nformat ") + (little ? "binary_little_endian" : "binary_big_endian") +
      " 1.0\nelement vertex " + std::to_string(kCorners.size()) + "\nproperty short id\nproperty " +
      (doubles ? "double" : "float") + " x\nproperty " + (doubles ? "double" : "float") +
      " y\nproperty " + (doubles ? "double" : "float") +
      " z\nproperty double confidence\n"
      "element face " +
      std::to_string(kFaces.size()) +
      "\nproperty list uint8 float32 texcoord\nproperty list int uint vertex_index\n"
      "property uchar flags\nelement edge 1\nproperty int vertex1\n"
      "property int vertex2\nend_header\n";
  for (const Point& p : kCorners) {
    put<std::int16_t>(out, 7, little);
    if (doubles) {
      put(out, p.x, little), put(out, p.y, little), put(out, p.z, little);
    } else {
      put(out, static_cast<float>(p.x), little), put(out, static_cast<float>(p.y), little),
          put(out, static_cast<float>(p.z), little);
    }
    put(out, 0.5, little);
  }
  for (const auto& ring : kFaces) {
    put<std::uint8_t>(out, 2, little);
    put(out, 0.25f, little), put(out, 0.75f, little);
    put<std::int32_t>(out, static_cast<std::int32_t>(ring.size()), little);
    for (int i : ring) put<std::uint32_t>(out, static_cast<std::uint32_t>(i), little);
    put<std::uint8_t>(out, 1, little);
  }
  put<std::int32_t>(out, 0, little), put<std::int32_t>(out, 1, little);
  return out;
}

/// The part file tessera-import writes for the mesh file.
std::string partFileOf(const std::string& path) {
  std::ostringstream out;
  writePolyhedronFile(out, "bracket", importMesh(path, {}).solid);
  return out.str();
}

std::string errorOf(const std::string& bytes) {
  try {
    readPly(bytes, "m.ply");
  } catch (const ImportError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(PlyReader, AsciiAndBinaryInEitherOrderGiveThePartOfTheSameObjMesh) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("bracket.obj"), bracketObj());
  const std::string expected = partFileOf(folder.path("bracket.obj"));
  const std::vector<std::pair<std::string, std::string>> files{
      {"ascii.ply", bracketAsciiPly()},
      {"little.ply", bracketBinaryPly(true, false)},
      {"big.ply", bracketBinaryPly(false, false)},
      {"doubles.PLY", bracketBinaryPly(false, true)}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    test::writeBytes(folder.path(name), bytes);
    EXPECT_EQ(partFileOf(folder.path(name)), expected);
  }
  const RawMesh raw = readPly(bracketAsciiPly(), "a.ply");
  EXPECT_EQ(raw.faces[0], kFaces[0]) << "polygons stay whole for the solid builder";
  EXPECT_EQ(raw.faceLines[0], 24);
}

TEST(PlyReader, MalformedFilesAreRefusedWithFileAndLine) {
  const std::string header =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\nelement face 1\n"
      "property list uchar int vertex_indices\nend_header\n";
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"), "(no error)");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"),
            "m.ply:13: vertex index 3 is out of range (3 vertices)");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 x\n0 1 0\n3 0 1 2\n"),
            "m.ply:11: 'x' is not a number (a property value)");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n3 0 1\n"),
            "m.ply:13: file ends before a list entry (truncated?)");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n2 0 1\n"),
            "m.ply:13: a face needs at least 3 corners");
  EXPECT_EQ(errorOf("PLY\n"), "m.ply:1: expected the header 'ply'");
  EXPECT_EQ(errorOf("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"),
            "m.ply:4: file ends inside the header (no 'end_header')");
  EXPECT_EQ(errorOf("ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float "
                    "y\nend_header\n0 0\n"),
            "m.ply:3: the vertex element needs one property 'z'");
  EXPECT_EQ(errorOf("ply\nformat binary_little_endian 1.0\nelement vertex 1\nproperty quad x\n"),
            "m.ply:4: unknown type 'quad'");
  EXPECT_EQ(errorOf("ply\nformat binary_little_endian 1.0\nelement vertex 1000000000\n"
                    "property float x\nproperty float y\nproperty float z\nend_header\n" +
                    std::string(24, '\0')),
            "m.ply:3: element 'vertex' announces 1000000000 instances, more than the rest of the "
            "file can hold (truncated?)");
  std::string list = bracketBinaryPly(true, false);
  list.resize(list.size() - 20);
  EXPECT_NE(errorOf(list).find("(truncated?)"), std::string::npos) << errorOf(list);
}

TEST(PlyReader, ABadPlyInAProjectWritesNothing) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("bad.ply"), "ply\nformat ascii 1.0\nend_header\n");
  test::ChildOptions options;
  options.executable = "tessera-import";
  const test::RunResult run = test::runChild(
      folder.path(""), {"--project", "job/project.txt", "--container", "9", "9", "9", "bad.ply"},
      options);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tessera-import: bad.ply:3: the header declares no vertex element\n");
  EXPECT_FALSE(fs::exists(folder.path("job")));
}

}  // namespace
}  // namespace tessera
