// From CAD meshes to an exported layout: the importer, the placement and the export together.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/polyhedron_reader.h"
#include "formats/project_loader.h"
#include "mesh/import_project.h"
#include "mesh/layout_export.h"
#include "placement/evaluation.h"
#include "placement/invariants.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"
#include "support/exported_meshes.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

/// A non-convex bracket with polygon faces: the L profile (0,0) (4,0) (4,1) (1,1) (1,3) (0,3)
/// from z = 0 to 2. Volume 12.
constexpr const char* kBracketObj =
    "v 0 0 0\nv 4 0 0\nv 4 1 0\nv 1 1 0\nv 1 3 0\nv 0 3 0\n"
    "v 0 0 2\nv 4 0 2\nv 4 1 2\nv 1 1 2\nv 1 3 2\nv 0 3 2\n"
    "f 6 5 4 3 2 1\nf 7 8 9 10 11 12\n"
    "f 1 2 8 7\nf 2 3 9 8\nf 3 4 10 9\nf 4 5 11 10\nf 5 6 12 11\nf 6 1 7 12\n";

double distance(const Point& a, const Point& b) {
  const Point d = minus(a, b);
  return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

/// Same vertex count, and every pair of vertices lies as far apart in both lists.
void expectRigidImage(const std::vector<Point>& image, const std::vector<Point>& original) {
  ASSERT_EQ(image.size(), original.size());
  for (std::size_t i = 0; i < image.size(); ++i)
    for (std::size_t j = i + 1; j < image.size(); ++j)
      EXPECT_NEAR(distance(image[i], image[j]), distance(original[i], original[j]), 1e-9);
}

TEST(ImportRoundTrip, ImportedBracketsPackApartAndExportWithTheirOwnShape) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("bracket.obj"), kBracketObj);
  ProjectSettings settings;
  settings.RN = 2;
  settings.length = 8;
  settings.width = 8;
  settings.height = 10;
  std::ostringstream log;
  createProject(folder.path("project.txt"), settings, {{folder.path("bracket.obj"), 4}}, log);

  test::WorkingDirectory inside(folder.path(""));
  Project project;
  loadProject(project, "project.txt");
  buildOrientations(project);
  const PackingSequence sequence = test::identitySequence(project.sequenceLength);
  PlacementState state(project);
  const Layout layout = evaluate(state, sequence);
  EXPECT_EQ(layoutViolations(project, layout, state.grid, sequence), "");
  ASSERT_EQ(placedIds(layout, sequence).size(), 4u);

  writeLayoutExport(project, layout, "layout.obj", {});
  const std::vector<MeshObject> exported = test::objectsOfObj(test::readBytes("layout.obj"));
  const Polyhedron imported = readPolyhedron("bracket.txt");
  ASSERT_EQ(exported.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    const MeshObject& object = exported[static_cast<std::size_t>(i)];
    EXPECT_EQ(object.name, "bracket#" + std::to_string(i));
    EXPECT_EQ(object.vertices, state.solids[static_cast<std::size_t>(i)].vertices);
    expectRigidImage(object.vertices, imported.vertices);
    EXPECT_NEAR(test::volumeOf(object), 12.0, 1e-9);  // a mirror image would come out negative
  }
}

TEST(ImportRoundTrip, CommandLineFromStlFilesToA3mfBesideTheStartingFolder) {
  test::ScratchFolder root;
  fs::create_directory(root.path("meshes"));
  for (const Polyhedron& solid :
       {test::prism({{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}, 0, 2, "bracket"),
        test::box({0, 0, 0}, {2, 3, 1.5}, "block")}) {
    std::ostringstream stl;
    writeAsciiStl(stl, {meshObjectOf(solid, solid.name)});
    test::writeBytes(root.path("meshes/" + solid.name + ".stl"), stl.str());
  }
  const test::RunResult imported =
      test::runImporter(root.path(""),
                        "--project job/project.txt --container 10 10 12 --rn 2 "
                        "meshes/bracket.stl:2 meshes/block.stl:3");
  ASSERT_EQ(imported.status, 0) << imported.err;

  const test::RunResult run = test::runTessera(
      root.path(""), "job/project.txt --iterations 2 --export layout.3mf --export-container");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(root.path("job/Layout_zodedez.dxf")));
  EXPECT_FALSE(fs::exists(root.path("job/layout.3mf")));
  std::map<std::string, int> objectsByName;
  for (const MeshObject& object : test::objectsOf3mf(test::readBytes(root.path("layout.3mf"))))
    ++objectsByName[object.name.substr(0, object.name.find('#'))];
  EXPECT_EQ(objectsByName,
            (std::map<std::string, int>{{"block", 3}, {"bracket", 2}, {"container", 1}}));

  const test::RunResult once =
      test::runTessera(root.path(""), "job/project.txt --evaluate-only --export once.obj");
  ASSERT_EQ(once.status, 0) << once.err;
  EXPECT_EQ(test::objectsOfObj(test::readBytes(root.path("once.obj"))).size(), 5u);

  const test::RunResult nowhere =
      test::runTessera(root.path(""), "job/project.txt --iterations 1 --export nowhere/l.stl");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find(root.path("nowhere/l.stl")), std::string::npos) << nowhere.err;
}

}  // namespace
}  // namespace tessera
