// Polyhedron files and projects written by the mesh import, checked through their text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/number_format.h"
#include "mesh/import_project.h"
#include "mesh/mesh_import.h"
#include "mesh/mesh_solid.h"
#include "mesh/polyhedron_writer.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

/// What a polyhedron file says, read by the line layout of the format; fails the test on any
/// departure from it.
struct PolyhedronText {
  std::string name;
  double volume = 0.0;
  Point reference;
  std::vector<Point> vertices;
  std::vector<std::array<int, 2>> edges;
  std::vector<std::vector<int>> faces;
};

PolyhedronText parsePolyhedron(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  PolyhedronText p;
  EXPECT_GE(lines.size(), 13u);
  if (lines.size() < 13) return p;
  p.name = lines[2];
  p.volume = std::strtod(lines[4].c_str(), nullptr);
  EXPECT_EQ(
      std::sscanf(lines[6].c_str(), "%lf,%lf,%lf", &p.reference.x, &p.reference.y, &p.reference.z),
      3);
  std::size_t i = 8;
  for (int id = 0; i < lines.size() && lines[i] != "EndVertexList"; ++i, ++id) {
    int readId = -1, used = 0;
    Point v;
    EXPECT_EQ(std::sscanf(lines[i].c_str(), "%d,%lf,%lf,%lf%n", &readId, &v.x, &v.y, &v.z, &used),
              4);
    EXPECT_EQ(readId, id);
    EXPECT_EQ(static_cast<std::size_t>(used), lines[i].size()) << lines[i];
    p.vertices.push_back(v);
  }
  i += 2;  // the end marker and the free line
  for (int id = 0; i < lines.size() && lines[i] != "EndEdgeList"; ++i, ++id) {
    int readId = -1, a = -1, b = -1;
    EXPECT_EQ(std::sscanf(lines[i].c_str(), "%d,%d,%d", &readId, &a, &b), 3);
    EXPECT_EQ(lines[i], std::to_string(id) + "," + std::to_string(a) + "," + std::to_string(b));
    p.edges.push_back({a, b});
  }
  i += 2;
  for (int id = 0; i < lines.size() && lines[i] != "EndFaceList"; ++i, ++id) {
    const std::string& l = lines[i];
    const auto comma = l.find(',');
    const auto gap = l.find(", ", comma + 1);  // the count is followed by ", "
    EXPECT_EQ(l.substr(0, comma), std::to_string(id));
    EXPECT_NE(gap, std::string::npos) << l;
    if (gap == std::string::npos) break;
    const int n = std::stoi(l.substr(comma + 1, gap - comma - 1));
    std::vector<int> ring;
    std::istringstream corners(l.substr(gap + 2));
    for (std::string c; std::getline(corners, c, ',');) ring.push_back(std::stoi(c));
    EXPECT_EQ(static_cast<int>(ring.size()), n) << l;
    for (int c : ring) EXPECT_TRUE(c >= 0 && c < static_cast<int>(p.vertices.size())) << l;
    p.faces.push_back(ring);
  }
  EXPECT_EQ(i + 1, lines.size()) << "EndFaceList must close the file";
  return p;
}

double dot3(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point normalOf(const PolyhedronText& p, const std::vector<int>& ring) {
  const Point& p0 = p.vertices[ring[0]];
  return cross(minus(p.vertices[ring[1]], p0), minus(p.vertices[ring[2]], p0));
}

/// For a convex solid: each face's right-hand normal from its first three corners leaves the
/// reference point behind, every corner lies in that plane, and the signed volume is the stated
/// one.
void expectConvexOutward(const PolyhedronText& p) {
  double six = 0.0;
  for (const auto& ring : p.faces) {
    const Point n = normalOf(p, ring);
    const Point& p0 = p.vertices[ring[0]];
    EXPECT_GT(dot3(n, minus(p0, p.reference)), 0.0);
    for (int c : ring) EXPECT_EQ(dot3(n, minus(p.vertices[c], p0)), 0.0);
    for (std::size_t k = 1; k + 1 < ring.size(); ++k)
      six += dot3(p0, cross(p.vertices[ring[k]], p.vertices[ring[k + 1]]));
  }
  EXPECT_DOUBLE_EQ(six / 6.0, p.volume);
}

const char* kCubeObj =
    "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 0 0 2\nv 2 0 2\nv 2 2 2\nv 0 2 2\n"
    "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n";

const char* kLShapeObj =
    "v 0 0 0\nv 2 0 0\nv 2 0 1\nv 1 0 1\nv 1 0 2\nv 0 0 2\n"
    "v 0 1 0\nv 2 1 0\nv 2 1 1\nv 1 1 1\nv 1 1 2\nv 0 1 2\n"
    "f 1 2 3 4 5 6\nf 7 12 11 10 9 8\n"
    "f 1 7 8 2\nf 2 8 9 3\nf 3 9 10 4\nf 4 10 11 5\nf 5 11 12 6\nf 6 12 7 1\n";

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path scratch(const std::string& name) {
  const fs::path dir = fs::path(::testing::TempDir()) / ("tessera_mesh_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(PolyhedronWriter, CubeFileFollowsTheLayoutAndFacesOutward) {
  std::istringstream obj(kCubeObj);
  const SolidMesh s = buildSolid(readObj(obj, "cube.obj"), 1.0, "cube.obj");
  std::ostringstream out;
  writePolyhedronFile(out, "Cube_A", s);
  const std::string head =
      "Polyhedron data file\nName\nCube_A\nVolume\n8\nReference point\n1,1,1\nVertex list\n";
  EXPECT_EQ(out.str().substr(0, head.size()), head);
  const PolyhedronText p = parsePolyhedron(out.str());
  EXPECT_EQ(p.name, "Cube_A");
  EXPECT_EQ(p.vertices.size(), 8u);
  EXPECT_EQ(p.edges.size(), 18u);
  EXPECT_EQ(p.faces.size(), 12u);
  expectConvexOutward(p);
}

TEST(PolyhedronWriter, NumbersReadBackToTheSameDoubles) {
  std::istringstream obj(kLShapeObj);
  const SolidMesh s = buildSolid(readObj(obj, "l.obj"), 0.1, "l.obj");
  std::ostringstream out;
  writePolyhedronFile(out, "L", s);
  const PolyhedronText p = parsePolyhedron(out.str());
  EXPECT_EQ(p.vertices, s.vertices);
  EXPECT_EQ(p.volume, s.volume);
  EXPECT_EQ(p.reference, s.centroid);
  EXPECT_EQ(p.faces, s.faces);
  EXPECT_EQ(formatExactNumber(0.1), "0.10000000000000001");
}

TEST(ImportProject, BoxContainerHasSixOutwardQuadrilaterals) {
  std::ostringstream out;
  writePolyhedronFile(out, "Container", boxSolid(4, 3, 2.5));
  const PolyhedronText p = parsePolyhedron(out.str());
  EXPECT_EQ(p.volume, 30.0);
  EXPECT_EQ(p.reference, (Point{2, 1.5, 1.25}));
  ASSERT_EQ(p.vertices.size(), 8u);
  ASSERT_EQ(p.faces.size(), 6u);
  for (const auto& ring : p.faces) EXPECT_EQ(ring.size(), 4u);
  ASSERT_EQ(p.edges.size(), 12u);
  for (const auto& e : p.edges) {  // each edge runs along one axis
    const Point d = minus(p.vertices[e[1]], p.vertices[e[0]]);
    EXPECT_EQ((d.x != 0) + (d.y != 0) + (d.z != 0), 1);
  }
  expectConvexOutward(p);
}

TEST(ImportProject, ProjectFileLayout) {
  std::ostringstream out;
  writeProjectFile(out, 0.5, 3, "container.txt", {{"partA.txt", 3}, {"partB.txt", 2}});
  EXPECT_EQ(out.str(),
            "PBSL=0.5\nRN=3\nContainer\n\"container.txt\"\n"
            "Parts\n\"partA.txt\"\nCopies\n3\n----\n"
            "Next part\n\"partB.txt\"\nCopies\n2\n----\n#EndFile\n");
}

TEST(ImportProject, PartRequestCarriesCopies) {
  EXPECT_EQ(parsePartRequest("parts/a.stl:3").meshPath, "parts/a.stl");
  EXPECT_EQ(parsePartRequest("parts/a.stl:3").copies, 3);
  EXPECT_EQ(parsePartRequest("a.stl").copies, 1);
  EXPECT_EQ(parsePartRequest("C:\\parts\\a.stl").meshPath, "C:\\parts\\a.stl");
  EXPECT_THROW(parsePartRequest("a.stl:0"), ImportError);
  EXPECT_THROW(parsePartRequest("a.stl:-2"), ImportError);
}

TEST(ImportProject, WritesPartsContainerAndProjectNextToIt) {
  const fs::path dir = scratch("project");
  writeText(dir / "meshes" / "bracket.obj", kLShapeObj);
  writeText(dir / "meshes" / "cube.obj", kCubeObj);
  ProjectSettings settings;
  settings.length = 10;
  settings.width = 8;
  settings.height = 6;
  settings.mesh.scale = 10;  // centimetres
  const fs::path project = dir / "task" / "task.txt";
  std::ostringstream log;
  createProject(
      project.string(), settings,
      {{(dir / "meshes" / "bracket.obj").string(), 3}, {(dir / "meshes" / "cube.obj").string(), 2}},
      log);
  EXPECT_EQ(readText(project),
            "PBSL=1\nRN=4\nContainer\n\"container.txt\"\n"
            "Parts\n\"bracket.txt\"\nCopies\n3\n----\n"
            "Next part\n\"cube.txt\"\nCopies\n2\n----\n#EndFile\n");
  const PolyhedronText bracket = parsePolyhedron(readText(dir / "task" / "bracket.txt"));
  EXPECT_EQ(bracket.name, "bracket");
  EXPECT_EQ(bracket.volume, 3000.0);
  EXPECT_EQ(bracket.faces.size(), 20u);
  const PolyhedronText cube = parsePolyhedron(readText(dir / "task" / "cube.txt"));
  EXPECT_EQ(cube.volume, 8000.0);
  expectConvexOutward(cube);
  const PolyhedronText box = parsePolyhedron(readText(dir / "task" / "container.txt"));
  EXPECT_EQ(box.name, "Container");
  EXPECT_EQ(box.volume, 480.0);
  EXPECT_NE(log.str().find("cube.txt: 12 faces"), std::string::npos) << log.str();
}

TEST(ImportProject, RefusesBeforeWritingAnything) {
  const fs::path dir = scratch("refused");
  writeText(dir / "a" / "part.obj", kCubeObj);
  writeText(dir / "b" / "part.obj", kCubeObj);
  writeText(dir / "open.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\n");
  ProjectSettings settings;
  settings.length = settings.width = settings.height = 5;
  std::ostringstream log;
  const fs::path project = dir / "task.txt";
  try {
    createProject(project.string(), settings,
                  {{(dir / "a" / "part.obj").string(), 1}, {(dir / "b" / "part.obj").string(), 1}},
                  log);
    ADD_FAILURE() << "two meshes named part were accepted";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("'part.txt'"), std::string::npos) << e.what();
  }
  try {
    createProject(project.string(), settings,
                  {{(dir / "a" / "part.obj").string(), 1}, {(dir / "open.obj").string(), 1}}, log);
    ADD_FAILURE() << "an open mesh was accepted";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("open.obj: the mesh is not a closed"), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(fs::exists(project));
  EXPECT_FALSE(fs::exists(dir / "part.txt"));
  settings.RN = 0;
  EXPECT_THROW(
      createProject(project.string(), settings, {{(dir / "a" / "part.obj").string(), 1}}, log),
      ImportError);
}

/// The importer's exit status; errors gets what it wrote on standard error.
int runImport(const fs::path& dir, const std::string& args, std::string& errors) {
  const test::RunResult run = test::runImporter(dir, args);
  errors = run.err;
  return run.status;
}

TEST(ImportCommand, ExitStatusAndMessages) {
  const fs::path dir = scratch("command");
  writeText(dir / "bracket.obj", kLShapeObj);
  writeText(dir / "open.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\n");
  writeText(dir / "bad.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n");
  std::string errors;

  EXPECT_EQ(runImport(dir, "bracket.obj --unit cm --name Bracket_1 -o out/b.txt", errors), 1)
      << "the output folder does not exist";
  EXPECT_NE(errors.find("out/b.txt: cannot create the file"), std::string::npos) << errors;
  ASSERT_EQ(runImport(dir, "bracket.obj --unit cm --name Bracket_1", errors), 0) << errors;
  const PolyhedronText p = parsePolyhedron(readText(dir / "bracket.txt"));
  EXPECT_EQ(p.name, "Bracket_1");
  EXPECT_EQ(p.volume, 3000.0);

  ASSERT_EQ(runImport(dir, "bracket.obj --hull -o hull.txt", errors), 0) << errors;
  const PolyhedronText hull = parsePolyhedron(readText(dir / "hull.txt"));
  EXPECT_EQ(hull.volume, 3.5);
  expectConvexOutward(hull);

  EXPECT_EQ(runImport(dir, "open.obj", errors), 1);
  EXPECT_NE(errors.find("open.obj: the mesh is not a closed"), std::string::npos) << errors;
  EXPECT_EQ(runImport(dir, "bad.obj", errors), 1);
  EXPECT_NE(errors.find("bad.obj:4: vertex index 7 is out of range"), std::string::npos) << errors;
  EXPECT_EQ(runImport(dir, "missing.stl", errors), 1);
  EXPECT_NE(errors.find("missing.stl: cannot open the file"), std::string::npos) << errors;
  EXPECT_EQ(runImport(dir, "bracket.obj --scale -2", errors), 1);
  EXPECT_EQ(runImport(dir, "bracket.obj --unit ft", errors), 1);
  EXPECT_EQ(runImport(dir, "--project p.txt bracket.obj:2", errors), 1);
  EXPECT_NE(errors.find("--container"), std::string::npos) << errors;
  EXPECT_EQ(runImport(dir, "--help", errors), 0);

  ASSERT_EQ(runImport(dir, "--project p/p.txt --container 10 10 10 --rn 2 bracket.obj:2", errors),
            0)
      << errors;
  EXPECT_EQ(readText(dir / "p" / "p.txt").substr(0, 13), "PBSL=1\nRN=2\nC");
}

}  // namespace
}  // namespace tessera
