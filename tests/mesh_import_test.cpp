// Mesh readers, welding and solid checks, and the convex hull.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/face_triangulation.h"
#include "mesh/mesh_hull.h"
#include "mesh/mesh_reader.h"
#include "mesh/mesh_solid.h"
#include "mesh/polyhedron_writer.h"

namespace tessera {
namespace {

using Triangle = std::array<Point, 3>;

/// Outward triangles of the box [lo, hi].
std::vector<Triangle> boxTriangles(Point lo, Point hi) {
  const Point c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                      {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                      {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                           {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
  std::vector<Triangle> out;
  for (const auto& q : quads) {
    out.push_back({c[q[0]], c[q[1]], c[q[2]]});
    out.push_back({c[q[0]], c[q[2]], c[q[3]]});
  }
  return out;
}

/// The L-shaped prism: profile (0,0) (2,0) (2,1) (1,1) (1,2) (0,2) in x-z, 1 deep in y. Volume 3.
std::vector<Triangle> lShapeTriangles() {
  const double px[6] = {0, 2, 2, 1, 1, 0}, pz[6] = {0, 0, 1, 1, 2, 2};
  std::vector<Triangle> out;
  auto front = [&](int i) { return Point{px[i], 0, pz[i]}; };
  auto back = [&](int i) { return Point{px[i], 1, pz[i]}; };
  // Profile split into [0,2]x[0,1] and [0,1]x[1,2]; the front (y = 0) faces -y.
  const int caps[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5}};
  for (const auto& t : caps) {
    out.push_back({front(t[0]), front(t[1]), front(t[2])});
    out.push_back({back(t[0]), back(t[2]), back(t[1])});
  }
  for (int i = 0; i < 6; ++i) {
    const int j = (i + 1) % 6;
    out.push_back({front(i), back(i), back(j)});
    out.push_back({front(i), back(j), front(j)});
  }
  return out;
}

/// A triangle soup: three fresh vertices per triangle, as STL stores them.
RawMesh soup(const std::vector<Triangle>& triangles) {
  RawMesh m;
  for (const auto& t : triangles) {
    std::vector<int> ring;
    for (const Point& p : t) {
      ring.push_back(static_cast<int>(m.vertices.size()));
      m.vertices.push_back(p);
    }
    m.faces.push_back(ring);
    m.faceLines.push_back(0);
  }
  return m;
}

std::string binaryStl(const std::vector<Triangle>& triangles, const char* header) {
  std::string bytes(80, '\0');
  std::memcpy(bytes.data(), header, std::strlen(header));
  auto put32 = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>((v >> (8 * k)) & 0xff));
  };
  auto putFloat = [&](double d) {
    const float f = static_cast<float>(d);
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(v);
  };
  put32(static_cast<std::uint32_t>(triangles.size()));
  for (const auto& t : triangles) {
    for (int k = 0; k < 3; ++k) putFloat(0.0);
    for (const Point& p : t) {
      putFloat(p.x);
      putFloat(p.y);
      putFloat(p.z);
    }
    bytes += std::string(2, '\0');
  }
  return bytes;
}

std::string asciiStl(const std::vector<Triangle>& triangles) {
  std::string text = "solid part\n";
  char line[200];
  for (const auto& t : triangles) {
    text += "  facet normal 0 0 0\n    outer loop\n";
    for (const Point& p : t) {
      std::snprintf(line, sizeof line, "      vertex %.9g %.9g %.9g\n", p.x, p.y, p.z);
      text += line;
    }
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid part\n";
}

std::string errorOf(auto&& action) {
  try {
    action();
  } catch (const ImportError& e) {
    return e.what();
  }
  return "(no error)";
}

Point sub(Point a, Point b) { return minus(a, b); }
double dot3(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

/// Every face's first three corners span a plane, every directed edge is met once and its reverse
/// once, and the signed volume is positive: together, the faces point outward.
void expectOutwardClosed(const SolidMesh& s) {
  std::map<std::pair<int, int>, int> directed;
  double six = 0.0;
  for (const auto& ring : s.faces) {
    ASSERT_GE(ring.size(), 3u);
    const Point n = cross(sub(s.vertices[ring[1]], s.vertices[ring[0]]),
                          sub(s.vertices[ring[2]], s.vertices[ring[0]]));
    EXPECT_GT(dot3(n, n), 0.0);
    for (std::size_t k = 0; k < ring.size(); ++k)
      ++directed[{ring[k], ring[(k + 1) % ring.size()]}];
    for (std::size_t k = 1; k + 1 < ring.size(); ++k)
      six += dot3(s.vertices[ring[0]], cross(s.vertices[ring[k]], s.vertices[ring[k + 1]]));
  }
  for (const auto& [e, count] : directed) {
    EXPECT_EQ(count, 1);
    EXPECT_EQ(directed.count({e.second, e.first}), 1u);
  }
  EXPECT_GT(six, 0.0);
  EXPECT_EQ(s.edges.size(), directed.size() / 2);
}

TEST(MeshSolid, WeldsSoupIntoCubeWithExactVolumeAndCentroid) {
  RepairNotes notes;
  const SolidMesh s = buildSolid(soup(boxTriangles({1, 1, 1}, {3, 3, 3})), 1.0, "c.stl", &notes);
  EXPECT_EQ(s.vertices.size(), 8u);
  EXPECT_EQ(s.edges.size(), 18u);
  EXPECT_EQ(s.faces.size(), 12u);
  EXPECT_EQ(notes.weldedVertices, 36u - 8u);
  EXPECT_FALSE(notes.reversed);
  EXPECT_EQ(s.volume, 8.0);
  EXPECT_EQ(s.centroid, (Point{2, 2, 2}));
  expectOutwardClosed(s);
}

TEST(MeshSolid, ScaleAppliesBeforeWeldingAndVolume) {
  const SolidMesh s = buildSolid(soup(boxTriangles({0, 0, 0}, {1, 2, 3})), 25.4, "c.stl");
  EXPECT_EQ(s.vertices.size(), 8u);
  EXPECT_DOUBLE_EQ(s.volume, 6.0 * 25.4 * 25.4 * 25.4);
  EXPECT_DOUBLE_EQ(s.centroid.z, 1.5 * 25.4);
}

TEST(MeshSolid, LShapeVolumeCentroidAndOrientation) {
  const SolidMesh s = buildSolid(soup(lShapeTriangles()), 1.0, "l.obj");
  EXPECT_EQ(s.vertices.size(), 12u);
  EXPECT_EQ(s.volume, 3.0);
  EXPECT_DOUBLE_EQ(s.centroid.x, 2.5 / 3.0);
  EXPECT_DOUBLE_EQ(s.centroid.y, 0.5);
  EXPECT_DOUBLE_EQ(s.centroid.z, 2.5 / 3.0);
  expectOutwardClosed(s);
}

TEST(MeshSolid, InwardMeshIsTurnedOutward) {
  auto triangles = boxTriangles({0, 0, 0}, {2, 2, 2});
  for (auto& t : triangles) std::swap(t[1], t[2]);
  RepairNotes notes;
  const SolidMesh s = buildSolid(soup(triangles), 1.0, "in.stl", &notes);
  EXPECT_TRUE(notes.reversed);
  EXPECT_EQ(s.volume, 8.0);
  EXPECT_EQ(s.centroid, (Point{1, 1, 1}));
  expectOutwardClosed(s);
}

TEST(MeshSolid, DropsDegenerateAndRepeatedTriangles) {
  auto triangles = boxTriangles({0, 0, 0}, {2, 2, 2});
  const Point a{0, 0, 0}, b{2, 0, 0}, mid{1, 0, 0};
  triangles.push_back({a, a, b});    // repeated corner
  triangles.push_back({a, mid, b});  // collinear pair; their edges cancel each other
  triangles.push_back({a, b, mid});
  triangles.push_back(triangles[0]);  // the same oriented triangle twice
  RepairNotes notes;
  const SolidMesh s = buildSolid(soup(triangles), 1.0, "d.stl", &notes);
  EXPECT_EQ(notes.droppedDegenerate, 3u);
  EXPECT_EQ(notes.droppedDuplicates, 1u);
  EXPECT_EQ(s.faces.size(), 12u);
  EXPECT_EQ(s.vertices.size(), 8u);  // the unused midpoint is gone
  expectOutwardClosed(s);
}

TEST(MeshSolid, RefusesWhatIsNotOneClosedOrientedSolid) {
  auto cube = boxTriangles({0, 0, 0}, {1, 1, 1});

  auto open = cube;
  open.pop_back();
  const std::string openMsg = errorOf([&] { buildSolid(soup(open), 1.0, "open.stl"); });
  EXPECT_NE(openMsg.find("open.stl"), std::string::npos) << openMsg;
  EXPECT_NE(openMsg.find("3 open edges"), std::string::npos) << openMsg;
  EXPECT_NE(openMsg.find("(1, 0, 0)-(1, 1, 1)"), std::string::npos) << openMsg;

  auto flipped = cube;
  std::swap(flipped[3][1], flipped[3][2]);
  const std::string flipMsg = errorOf([&] { buildSolid(soup(flipped), 1.0, "f.stl"); });
  EXPECT_NE(flipMsg.find("opposite orientation"), std::string::npos) << flipMsg;

  auto edgeShared = cube;  // a second cube meeting the first along the edge x = y = 1
  for (const auto& t : boxTriangles({1, 1, 0}, {2, 2, 1})) edgeShared.push_back(t);
  const std::string edgeMsg = errorOf([&] { buildSolid(soup(edgeShared), 1.0, "e.stl"); });
  EXPECT_NE(edgeMsg.find("non-manifold edges"), std::string::npos) << edgeMsg;
  EXPECT_NE(edgeMsg.find("(1, 1, 0)-(1, 1, 1) (4 faces)"), std::string::npos) << edgeMsg;

  auto pointShared = cube;  // ... or only at the corner (1, 1, 1)
  for (const auto& t : boxTriangles({1, 1, 1}, {2, 2, 2})) pointShared.push_back(t);
  const std::string pointMsg = errorOf([&] { buildSolid(soup(pointShared), 1.0, "p.stl"); });
  EXPECT_NE(pointMsg.find("1 vertices where separate surfaces touch: (1, 1, 1)"), std::string::npos)
      << pointMsg;

  auto apart = cube;
  for (const auto& t : boxTriangles({3, 0, 0}, {4, 1, 1})) apart.push_back(t);
  const std::string apartMsg = errorOf([&] { buildSolid(soup(apart), 1.0, "a.stl"); });
  EXPECT_NE(apartMsg.find("2 separate closed shells"), std::string::npos) << apartMsg;

  EXPECT_NE(errorOf([&] {
              buildSolid(RawMesh{}, 1.0, "empty.off");
            }).find("empty.off: the mesh has no faces"),
            std::string::npos);
  RawMesh flat = soup({{Point{0, 0, 0}, Point{1, 0, 0}, Point{2, 0, 0}}});
  EXPECT_NE(errorOf([&] { buildSolid(flat, 1.0, "flat.stl"); }).find("no face with a nonzero area"),
            std::string::npos);
}

TEST(MeshSolid, TriangulatesConvexAsFanAndNonConvexWithoutFolds) {
  const std::vector<Point> quad = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const auto fan = triangulatePolygon(quad, {0, 1, 2, 3});
  ASSERT_EQ(fan.size(), 2u);
  EXPECT_EQ(fan[0], (std::array<int, 3>{0, 1, 2}));
  EXPECT_EQ(fan[1], (std::array<int, 3>{0, 2, 3}));

  // An L-shaped hexagon in the plane x = 5 whose first corner is reflex: a fan from it would fold.
  const std::vector<Point> l = {{5, 1, 1}, {5, 1, 2}, {5, 0, 2}, {5, 0, 0}, {5, 2, 0}, {5, 2, 1}};
  const auto pieces = triangulatePolygon(l, {0, 1, 2, 3, 4, 5});
  ASSERT_EQ(pieces.size(), 4u);
  double area = 0.0;
  for (const auto& t : pieces) {
    const Point n = cross(sub(l[t[1]], l[t[0]]), sub(l[t[2]], l[t[0]]));
    EXPECT_GT(n.x, 0.0);  // same turning sense as the ring
    area += n.x / 2;
  }
  EXPECT_EQ(area, 3.0);
}

TEST(MeshHull, HullOfLShapeIsConvexAndLarger) {
  const SolidMesh l = buildSolid(soup(lShapeTriangles()), 1.0, "l.obj");
  const SolidMesh h = buildSolid(convexHull(l.vertices, "l.obj"), 1.0, "l.obj");
  EXPECT_EQ(h.vertices.size(), 10u);  // the two corners of the inner edge are inside the hull
  EXPECT_EQ(h.volume, 3.5);
  EXPECT_GT(h.volume, l.volume);
  expectOutwardClosed(h);
  for (const auto& ring : h.faces) {
    const Point& p0 = h.vertices[ring[0]];
    const Point n = cross(sub(h.vertices[ring[1]], p0), sub(h.vertices[ring[2]], p0));
    for (const Point& v : h.vertices) EXPECT_LE(dot3(n, sub(v, p0)), 0.0);
  }
  const std::vector<Point> flat = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 3, 0}};
  EXPECT_NE(errorOf([&] { convexHull(flat, "flat.stl"); }).find("flat.stl: the convex hull failed"),
            std::string::npos);
}

TEST(MeshReader, BinaryAndAsciiStlOfOneSolidAgree) {
  const auto triangles = lShapeTriangles();
  // A binary header that begins with "solid" must not make it look like text.
  const RawMesh bin = readStl(binaryStl(triangles, "solid exported by a CAD tool"), "b.stl");
  const RawMesh txt = readStl(asciiStl(triangles), "a.stl");
  EXPECT_EQ(bin.vertices, txt.vertices);
  EXPECT_EQ(bin.faces, txt.faces);
  ASSERT_EQ(bin.faces.size(), triangles.size());
  EXPECT_EQ(txt.faceLines[1], 9);  // the line of the second "facet"
  std::ostringstream fromBinary, fromText;
  writePolyhedronFile(fromBinary, "L", buildSolid(bin, 1.0, "b.stl"));
  writePolyhedronFile(fromText, "L", buildSolid(txt, 1.0, "a.stl"));
  EXPECT_EQ(fromBinary.str(), fromText.str());
}

TEST(MeshReader, StlErrorsNameFileAndLine) {
  const auto cube = boxTriangles({0, 0, 0}, {1, 1, 1});
  std::string truncated = binaryStl(cube, "");
  truncated.resize(truncated.size() - 7);
  EXPECT_NE(
      errorOf([&] { readStl(truncated, "t.stl"); }).find("t.stl: binary STL header announces 12"),
      std::string::npos);
  EXPECT_NE(errorOf([&] { readStl("abc", "s.stl"); }).find("s.stl: too short"), std::string::npos);

  std::string nanBinary = binaryStl(cube, "");
  const float nan = std::nanf("");
  std::memcpy(nanBinary.data() + 84 + 50 * 2 + 16, &nan, 4);
  EXPECT_NE(errorOf([&] {
              readStl(nanBinary, "n.stl");
            }).find("triangle 3 has a coordinate that is not finite"),
            std::string::npos);

  const std::string good = asciiStl(cube);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  EXPECT_EQ(errorOf([&] { readStl(replaced("vertex 0 0 0", "vertex 0 x 0"), "a.stl"); }),
            "a.stl:4: 'x' is not a number");
  EXPECT_EQ(errorOf([&] { readStl(replaced("vertex 0 0 0", "vertex 0 inf 0"), "a.stl"); }),
            "a.stl:4: coordinate 'inf' is not finite");
  EXPECT_EQ(errorOf([&] { readStl(replaced("vertex 0 0 0", "vertex 0 0"), "a.stl"); }),
            "a.stl:4: expected x y z");
  EXPECT_NE(errorOf([&] { readStl(good.substr(0, good.size() / 2), "a.stl"); }).find("truncated"),
            std::string::npos);
}

TEST(MeshReader, ObjPolygonsNegativeIndicesAndSlashForms) {
  std::istringstream in(
      "# comment\nmtllib x.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvn 0 0 1\nv 0 1 0\n"
      "g side\nf 1/1/1 2/1/1 3/1/1 4/1/1\nf -4//1 -2//1 -1//1\nf 1/1 2/1 3/1\n");
  const RawMesh m = readObj(in, "m.obj");
  ASSERT_EQ(m.vertices.size(), 4u);
  EXPECT_EQ(m.vertices[3], (Point{0, 1, 0}));
  ASSERT_EQ(m.faces.size(), 3u);
  EXPECT_EQ(m.faces[0], (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(m.faces[1], (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(m.faces[2], (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(m.faceLines[1], 11);

  auto objError = [](const std::string& text) {
    std::istringstream s(text);
    return errorOf([&] { readObj(s, "e.obj"); });
  };
  EXPECT_EQ(objError("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n"),
            "e.obj:4: vertex index 4 is out of range (3 vertices so far)");
  EXPECT_EQ(objError("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n"),
            "e.obj:4: vertex index 0 is out of range (3 vertices so far)");
  EXPECT_EQ(objError("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 -4 2\n"),
            "e.obj:4: vertex index -4 is out of range (3 vertices so far)");
  EXPECT_EQ(objError("v 0 0 0\nv 1 0.5.1 0\n"), "e.obj:2: '0.5.1' is not a number");
  EXPECT_EQ(objError("v 0 0 nan\n"), "e.obj:1: coordinate 'nan' is not finite");
  EXPECT_EQ(objError("v 0 0 0\nf 1 1\n"), "e.obj:2: a face needs three corners");
}

TEST(MeshReader, OffFileWithCommentsAndColoursBecomesACube) {
  const std::string path = std::string(TESSERA_TEST_DATA_DIR) + "/mesh/cube_colours.off";
  const RawMesh m = readMesh(path);
  ASSERT_EQ(m.vertices.size(), 8u);
  ASSERT_EQ(m.faces.size(), 6u);
  EXPECT_EQ(m.faces[5], (std::vector<int>{1, 2, 6, 5}));
  EXPECT_EQ(m.faceLines[0], 13);
  const SolidMesh s = buildSolid(m, 1.0, path);
  EXPECT_EQ(s.volume, 8.0);
  EXPECT_EQ(s.faces.size(), 12u);
  expectOutwardClosed(s);

  auto offError = [](const std::string& text) {
    std::istringstream in(text);
    return errorOf([&] { readOff(in, "e.off"); });
  };
  EXPECT_EQ(offError("OFF\n4 1 0\n0 0 0\n1 0 0\n"), "e.off:4: file ends after 2 of 4 vertices");
  EXPECT_EQ(offError("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"),
            "e.off:6: vertex index 3 is out of range (3 vertices)");
  EXPECT_EQ(offError("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n"),
            "e.off:6: a face announces 4 corners but lists fewer");
  EXPECT_EQ(offError("PLY\n"), "e.off:1: expected the header 'OFF'");

  EXPECT_EQ(errorOf([] { readMesh("/nonexistent/part.stl"); }),
            "/nonexistent/part.stl: cannot open the file");
  const std::string dae = ::testing::TempDir() + "part.dae";
  std::FILE* f = std::fopen(dae.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("<COLLADA/>\n", f);
  std::fclose(f);
  EXPECT_EQ(errorOf([&] { readMesh(dae); }),
            dae + ": unknown mesh format; expected .stl, .obj, .off, .ply or .3mf");
}

}  // namespace
}  // namespace tessera
