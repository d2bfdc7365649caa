#include "formats/polyhedron_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "model/input_error.h"
#include "support/solids.h"

namespace tessera {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string cubeText() { return fileText(test::dataPath("polyhedra/cube.txt")); }

Polyhedron parseText(const std::string& text) {
  std::istringstream in(text);
  return parsePolyhedron(in, "mem.txt");
}

// Replaces the one line that equals `from` (without its line end).
std::string replaceLine(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find("\n" + from + "\n");
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at + 1, from.size(), to);
}

std::string inputErrorOf(const std::string& text) {
  try {
    parseText(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

void expectSame(const Polyhedron& a, const Polyhedron& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.volume, b.volume);
  EXPECT_EQ(a.referencePoint, b.referencePoint);
  EXPECT_EQ(a.vertices, b.vertices);
  ASSERT_EQ(a.edgeCount(), b.edgeCount());
  for (int i = 0; i < a.edgeCount(); ++i) {
    EXPECT_EQ(a.edges[i].start, b.edges[i].start);
    EXPECT_EQ(a.edges[i].end, b.edges[i].end);
    EXPECT_EQ(a.edges[i].direction, b.edges[i].direction);
  }
  ASSERT_EQ(a.faceCount(), b.faceCount());
  for (int i = 0; i < a.faceCount(); ++i) {
    EXPECT_EQ(a.faces[i].points, b.faces[i].points);
    EXPECT_EQ(a.faces[i].a, b.faces[i].a);
    EXPECT_EQ(a.faces[i].b, b.faces[i].b);
    EXPECT_EQ(a.faces[i].c, b.faces[i].c);
    EXPECT_EQ(a.faces[i].d, b.faces[i].d);
  }
  EXPECT_EQ(a.boxMin, b.boxMin);
  EXPECT_EQ(a.boxMax, b.boxMax);
}

TEST(PolyhedronReader, CubeExampleReadsExactly) {
  const Polyhedron cube = readPolyhedron(test::dataPath("polyhedra/cube.txt"));
  EXPECT_EQ(cube.name, "Cube_A");
  EXPECT_EQ(cube.volume, 8.0);
  EXPECT_EQ(cube.referencePoint, (Point{0, 0, 0}));
  const std::vector<Point> corners = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0},
                                      {0, 0, 2}, {2, 0, 2}, {2, 2, 2}, {0, 2, 2}};
  EXPECT_EQ(cube.vertices, corners);
  ASSERT_EQ(cube.edgeCount(), 12);
  EXPECT_EQ(cube.edges[9].start, (Point{2, 0, 0}));
  EXPECT_EQ(cube.edges[9].end, (Point{2, 0, 2}));
  EXPECT_EQ(cube.edges[9].direction, (Point{0, 0, 2}));
  ASSERT_EQ(cube.faceCount(), 6);
  EXPECT_EQ(cube.faces[0].points, (std::vector<Point>{{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}}));
  EXPECT_EQ(cube.faces[0].a, 0.0);
  EXPECT_EQ(cube.faces[0].b, 0.0);
  EXPECT_EQ(cube.faces[0].c, -1.0);
  EXPECT_EQ(cube.faces[0].d, 0.0);
  for (const Face& f : cube.faces) {
    EXPECT_EQ(f.points.size(), 4u);
    EXPECT_LT(f.planeValue({1, 1, 1}), 0.0) << "normal points inwards";
  }
  EXPECT_EQ(cube.boxMin, (Point{0, 0, 0}));
  EXPECT_EQ(cube.boxMax, (Point{2, 2, 2}));
  EXPECT_EQ(cube.cellSide, 0.0);
  EXPECT_FALSE(cube.hasBitmap());
}

TEST(PolyhedronReader, CrLfLineEndsReadAsLf) {
  const std::string crlf = fileText(test::dataPath("polyhedra/cube_crlf.txt"));
  ASSERT_NE(crlf.find("\r\n"), std::string::npos);
  ASSERT_NE(crlf.back(), '\n') << "the fixture's last line has no line end";
  expectSame(readPolyhedron(test::dataPath("polyhedra/cube_crlf.txt")), parseText(cubeText()));
}

TEST(PolyhedronReader, VerticesAreAddressedByPositionNotId) {
  std::string text = cubeText();
  text = replaceLine(text, "0,0,0,0", "7,0,0,0");
  text = replaceLine(text, "1,2,0,0", "7,2,0,0");
  text = replaceLine(text, "2,2,2,0", "-40,2,2,0");
  expectSame(parseText(text), parseText(cubeText()));
}

TEST(PolyhedronReader, NumbersWithBlanksOneCharacterSeparatorsAndTextAfterTheLast) {
  std::string text = cubeText();
  text = replaceLine(text, "8", "  8.0 ");
  text = replaceLine(text, "0,0,0", " 1e-1;+2.5x-3\t");
  text = replaceLine(text, "5,2,0,2", "5 2 0  2");
  text = replaceLine(text, "9,1,5", "9, 1, 5 ");
  text = replaceLine(text, "1,4, 4,5,6,7", "1,4;;4;5;6;7");
  const Polyhedron p = parseText(text);
  EXPECT_EQ(p.volume, 8.0);
  EXPECT_EQ(p.referencePoint, (Point{0.1, 2.5, -3}));
  EXPECT_EQ(p.vertices[5], (Point{2, 0, 2}));
  EXPECT_EQ(p.edges[9].end, p.vertices[5]);
  EXPECT_EQ(p.faces[1].points,
            (std::vector<Point>{p.vertices[4], p.vertices[5], p.vertices[6], p.vertices[7]}));
  // Text where a number should be is refused with the line; text after the last is ignored.
  EXPECT_EQ(inputErrorOf(replaceLine(cubeText(), "6,2,2,2", "6;abc;2;2")),
            "文件\"mem.txt\"第15行: 顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"6;abc;2;2\"");
  expectSame(parseText(replaceLine(cubeText(), "9,1,5", "9,1,5 vertical")), parseText(cubeText()));
}

TEST(PolyhedronReader, FaceRingsFollowTheFile) {
  const Polyhedron prism = readPolyhedron(test::dataPath("polyhedra/pentagonal_prism.txt"));
  ASSERT_EQ(prism.faceCount(), 7);
  EXPECT_EQ(prism.faces[0].points.size(), 5u);
  EXPECT_EQ(prism.faces[1].points.size(), 5u);
  EXPECT_EQ(prism.faces[0].points[4], prism.vertices[0]);
  EXPECT_EQ(prism.faces[0].c, -1.0);  // from the first three corners 4, 3, 2
  EXPECT_EQ(prism.faces[1].c, 1.0);
  EXPECT_EQ(prism.boxMin, (Point{-1, 0, 0}));
  EXPECT_EQ(prism.boxMax, (Point{3, 3, 1}));

  const Polyhedron reversed = parseText(replaceLine(cubeText(), "2,4, 0,1,5,4", "2,4, 4,5,1,0"));
  EXPECT_EQ(reversed.faces[2].b, 1.0);
  EXPECT_EQ(parseText(cubeText()).faces[2].b, -1.0);
}

TEST(PolyhedronReader, SectionsMayBeEmptyAndTheTailIsNeverRead) {
  std::string text = cubeText();
  const std::size_t edges = text.find("Edge list\n") + 10;
  text.erase(edges, text.find("EndEdgeList") - edges);
  const std::size_t faces = text.find("Face list\n") + 10;
  text.erase(faces, text.find("EndFaceList") - faces);
  text += std::string(1000, 'x') + "\nEndFaceList\n";
  const Polyhedron p = parseText(text);
  EXPECT_EQ(p.vertexCount(), 8);
  EXPECT_EQ(p.edgeCount(), 0);
  EXPECT_EQ(p.faceCount(), 0);
  EXPECT_EQ(p.boxMax, (Point{2, 2, 2}));
}

TEST(PolyhedronReader, LineLimits) {
  const std::string name98(98, 'N');
  EXPECT_EQ(parseText(replaceLine(cubeText(), "Cube_A", name98)).name, name98);
  EXPECT_EQ(parseText(replaceLine(cubeText(), "Edge list", std::string(298, 'E') + "\r")).name,
            "Cube_A");
  EXPECT_EQ(inputErrorOf(replaceLine(cubeText(), "Edge list", std::string(299, 'E'))),
            "文件\"mem.txt\"第18行: 行过长 (最多 298 个字符)");
}

TEST(PolyhedronReader, EveryMarkerLineMustBeExact) {
  // "EndVertexList " is read as a vertex line, which it is not.
  EXPECT_EQ(inputErrorOf(replaceLine(cubeText(), "EndVertexList", "EndVertexList ")),
            "文件\"mem.txt\"第17行: 顶点行应为 序号,x,y,z (一个整数和三个数), 读到 "
            "\"EndVertexList \"");
  EXPECT_EQ(inputErrorOf("a\nb\nname"), "文件\"mem.txt\"第4行: 文件提前结束, 缺少体积行");
  EXPECT_EQ(inputErrorOf(""), "文件\"mem.txt\"第1行: 文件提前结束, 缺少名称行");
}

struct Refusal {
  const char* file;
  int line;
  const char* detail;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.file; }

class PolyhedronRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(PolyhedronRefusal, NamesFileAndLine) {
  const Refusal& r = GetParam();
  const std::string path = test::dataPath(std::string("polyhedra/") + r.file);
  try {
    readPolyhedron(path);
    FAIL() << "accepted " << r.file;
  } catch (const InputError& e) {
    EXPECT_EQ(e.what(), "文件\"" + path + "\"第" + std::to_string(r.line) + "行: " + r.detail);
    EXPECT_EQ(e.channel(), InputError::Channel::WarningBox);
  }
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, PolyhedronRefusal,
    testing::Values(Refusal{"bad_edge_index.txt", 30, "顶点序号 8 超出范围 (0..7)"},
                    Refusal{"bad_face_index.txt", 37, "顶点序号 -1 超出范围 (0..7)"},
                    Refusal{"bad_face_two_corners.txt", 33, "面的顶点数 2 少于 3"},
                    Refusal{"bad_face_short.txt", 33, "面只有 3 个顶点序号, 应有 4 个"},
                    Refusal{"bad_no_end_vertex.txt", 17, "文件提前结束, 缺少EndVertexList"},
                    Refusal{"bad_no_end_face.txt", 39, "文件提前结束, 缺少EndFaceList"},
                    Refusal{"bad_long_line.txt", 18, "行过长 (最多 298 个字符)"},
                    Refusal{"bad_long_name.txt", 3, "名称过长 (最多 98 个字符)"},
                    Refusal{"bad_not_finite.txt", 11,
                            "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"2,2,inf,0\""},
                    Refusal{"bad_no_vertices.txt", 9, "多面体没有顶点"}),
    [](const testing::TestParamInfo<Refusal>& param) {
      std::string name = param.param.file;
      return name.substr(0, name.find('.'));
    });

TEST(PolyhedronReader, UnopenableFileMessage) {
  try {
    readPolyhedron("no/such/dir/part.txt");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "文件\"no/such/dir/part.txt\"读取失败!");
    EXPECT_EQ(e.channel(), InputError::Channel::WarningBox);
  }
}

}  // namespace
}  // namespace tessera
