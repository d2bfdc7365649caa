// Packing shapes: wraps of imperfect meshes, the clearance they keep, the motion that carries an
// original mesh to where its shape was packed, and the importer's refusals.
#include "mesh/packing_shape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/polyhedron_reader.h"
#include "formats/project_loader.h"
#include "mesh/alpha_wrap.h"
#include "mesh/mesh_reader_3mf.h"
#include "mesh/mesh_solid.h"
#include "placement/evaluation.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"
#include "support/exported_meshes.h"
#include "support/meshes.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

using test::kBracketObj;

/// What the exact import refuses: a box without its lid (open edges) and, apart from it, a
/// tetrahedron (a second shell).
constexpr const char* kBrokenObj =
    "v 0 0 0\nv 20 0 0\nv 20 20 0\nv 0 20 0\nv 0 0 20\nv 20 0 20\nv 20 20 20\nv 0 20 20\n"
    "f 1 4 3 2\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n"
    "v 30 0 0\nv 35 0 0\nv 30 5 0\nv 30 0 5\nf 9 11 10\nf 9 10 12\nf 10 11 12\nf 9 12 11\n";

/// The importer's exit status; log gets what it wrote.
int runImporter(const fs::path& folder, const std::string& args, std::string& log) {
  const test::RunResult run = test::runImporter(folder, args);
  log = run.out + run.err;
  return run.status;
}

TEST(PackingShape, WrapOfABrokenMeshIsOneClosedBodyKeepingItsClearance) {
  const RawMesh raw = [] {
    std::istringstream in(kBrokenObj);
    return readObj(in, "broken.obj");
  }();
  const TriangleSoup soup = soupOf(raw, 1.0, "broken.obj");
  WrapNotes input;
  inspectSoup(soup, input);
  EXPECT_EQ(input.shells, 2u);
  EXPECT_EQ(input.openEdges, 4u);

  WrapNotes notes;
  const TriangleSoup shape = packingShape(soup, 1.5, kDefaultDetail, "broken.obj", notes);
  WrapNotes made;
  inspectSoup(shape, made);
  EXPECT_EQ(made.shells, 1u);
  EXPECT_EQ(made.openEdges, 0u);
  EXPECT_EQ(made.nonManifoldEdges, 0u);
  EXPECT_GE(smallestDistance(shape, soup, 10.0), 1.5);
  // Outward: the enclosed volume is positive.
  double volume = 0.0;
  Point centroid;
  std::vector<std::vector<int>> faces;
  for (const auto& t : shape.triangles) faces.push_back({t[0], t[1], t[2]});
  volumeAndCentroid(shape.vertices, faces, volume, centroid);
  EXPECT_GT(volume, 0.0);

  WrapNotes again;
  const TriangleSoup second = packingShape(soup, 1.5, kDefaultDetail, "broken.obj", again);
  EXPECT_EQ(second.vertices, shape.vertices);
  EXPECT_EQ(second.triangles, shape.triangles);
}

TEST(PackingShape, ASpacingTooSmallForTheMeshIsRefusedSayingWhatWouldDo) {
  const RawMesh raw = [] {
    std::istringstream in(kBrokenObj);
    return readObj(in, "broken.obj");
  }();
  const TriangleSoup soup = soupOf(raw, 1.0, "broken.obj");
  auto refusal = [&](double clearance) {
    WrapNotes notes;
    try {
      packingShape(soup, clearance, kDefaultDetail, "broken.obj", notes);
    } catch (const ImportError& error) {
      return std::string(error.what());
    }
    return std::string("not refused");
  };
  // At once: the box diagonal is 45, so the least spacing is 0.009.
  EXPECT_EQ(
      refusal(5e-7),
      "broken.obj: a spacing of 1e-06 is too small for a mesh whose box has "
      "a diagonal of 45: a wrap that close would take very long and rarely keep its "
      "clearance; give a spacing of at least 0.009 (larger ones wrap faster and more surely), "
      "or --wrap for none");
  // After the wraps tried: what went wrong with the last and what to do.
  const std::string late = refusal(0.05);
  EXPECT_EQ(late.rfind("broken.obj: no wrap of the mesh made one body keeping a clearance of 0.05 "
                       "(12 wraps tried; ",
                       0),
            0u)
      << late;
  EXPECT_NE(late.find("): the spacing is too small for this mesh; give a larger --spacing, or "
                      "--wrap for none"),
            std::string::npos)
      << late;
}

TEST(PackingShape, DistanceBetweenTriangleSetsIsExactForKnownGaps) {
  const TriangleSoup floor{{{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{0, 1, 2}}};
  const TriangleSoup above{{{1, 1, 3}, {2, 1, 3}, {1, 2, 3}}, {{0, 1, 2}}};
  EXPECT_DOUBLE_EQ(smallestDistance(above, floor, 10.0), 3.0);
  EXPECT_DOUBLE_EQ(smallestDistance(above, floor, 2.0), 2.0) << "nothing within the limit";
  // Crossing edges: the closest pair is interior to one side of each triangle.
  const TriangleSoup crossing{{{5, -5, 0}, {5, 5, 0}, {5, 0, -5}}, {{0, 1, 2}}};
  const TriangleSoup over{{{0, 0, 2}, {10, 0, 2}, {0, 0, 10}}, {{0, 1, 2}}};
  EXPECT_NEAR(smallestDistance(over, crossing, 10.0), 2.0, 1e-12);
}

/// Imports brackets and broken meshes with spacing and margin, packs them, and checks the
/// exported originals: every pair at least the spacing apart, every part at least the margin
/// from the walls and the floor.
TEST(PackingShape, SpacedLayoutKeepsItsDistancesInTheExportedOriginals) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  test::writeBytes(folder.path("bracket.obj"), kBracketObj);
  test::writeBytes(folder.path("broken.obj"), kBrokenObj);
  std::string log;
  ASSERT_EQ(
      runImporter(root, "--project plain/project.txt --container 120 120 60 bracket.obj", log), 0)
      << log;
  EXPECT_FALSE(fs::exists(folder.path("plain/project-meshes.txt"))) << "no wrap, no manifest";
  ASSERT_EQ(
      runImporter(root, "--project refused/project.txt --container 120 120 60 broken.obj", log), 1);
  EXPECT_FALSE(fs::exists(folder.path("refused")));

  const double D = 3, M = 4;
  ASSERT_EQ(runImporter(root,
                        "--project job/project.txt --container 120 120 60 --rn 2 --spacing 3 "
                        "--margin 4 bracket.obj:3 broken.obj:2",
                        log),
            0)
      << log;
  EXPECT_NE(log.find("2 shells, 4 open and 0 non-manifold edges"), std::string::npos) << log;
  const test::RunResult run =
      test::runTessera(root, "job/project.txt --evaluate-only --export layout.3mf --export-shapes");
  ASSERT_EQ(run.status, 0) << run.err;

  // Read back by lib3mf, which keeps coordinates as floats: distances may shrink by their rounding.
  const double tolerance = 1e-4;
  std::vector<TriangleSoup> originals;
  std::map<std::string, int> shapes;
  for (const BuildItemMesh& item : read3mf(folder.path("layout.3mf"))) {
    if (item.name.find(" shape") != std::string::npos) {
      ++shapes[item.name.substr(0, item.name.find('#'))];
      continue;
    }
    originals.push_back(soupOf(item.mesh, 1.0, "layout.3mf"));
    for (const Point& p : item.mesh.vertices) {
      EXPECT_GE(p.x, M - tolerance);
      EXPECT_LE(p.x, 120 - M + tolerance);
      EXPECT_GE(p.y, M - tolerance);
      EXPECT_LE(p.y, 120 - M + tolerance);
      EXPECT_GE(p.z, M - tolerance);
      EXPECT_LE(p.z, 60.0) << item.name << " was not placed";
    }
  }
  EXPECT_EQ(shapes, (std::map<std::string, int>{{"bracket", 3}, {"broken", 2}}));
  ASSERT_EQ(originals.size(), 5u);
  EXPECT_EQ(originals[0].triangles.size() + 0, 20u);  // the original, not its wrap
  for (std::size_t i = 0; i < originals.size(); ++i)
    for (std::size_t j = i + 1; j < originals.size(); ++j)
      EXPECT_GE(smallestDistance(originals[i], originals[j], 2 * D), D - tolerance)
          << i << " and " << j;
}

TEST(PackingShape, MotionCarriesEveryFileVertexExactlyWhereEitherPathPutIt) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("bracket.obj"), kBracketObj);
  test::writeBytes(folder.path("broken.obj"), kBrokenObj);
  std::string log;
  ASSERT_EQ(runImporter(folder.path(""),
                        "--project project.txt --container 100 100 80 --rn 1 --spacing 2 "
                        "bracket.obj:3 broken.obj:2",
                        log),
            0)
      << log;
  test::WorkingDirectory inside(folder.path(""));
  std::map<std::string, Polyhedron> files{{"bracket", readPolyhedron("bracket.txt")},
                                          {"broken", readPolyhedron("broken.txt")}};
  Project project;
  loadProject(project, "project.txt");
  buildOrientations(project);
  const PackingSequence sequence = test::identitySequence(project.sequenceLength);
  PlacementState state(project);
  const Layout reference = evaluate(state, sequence);
  FastEvaluator evaluator(2);
  const Layout fast = evaluator.evaluate(project, sequence);

  int placed = 0;
  for (int k = 0; k < project.parts.count(); ++k) {
    const PartPlacement& part = reference.parts[static_cast<std::size_t>(k)];
    const Polyhedron& solid = state.solids[static_cast<std::size_t>(k)];
    EXPECT_EQ(fast.parts[static_cast<std::size_t>(k)], part);
    placed += part.placed ? 1 : 0;
    const Polyhedron& file = files.at(solid.name);
    ASSERT_EQ(file.vertices.size(), solid.vertices.size());
    for (std::size_t i = 0; i < file.vertices.size(); ++i) {
      const Point p = applyMotion(part.motion, project.orientationTable, file.vertices[i]);
      ASSERT_EQ(p, solid.vertices[i]) << solid.name << "#" << solid.id << " vertex " << i;
    }
    EXPECT_EQ(placedSolid(project, fast, k).vertices, solid.vertices);
  }
  EXPECT_EQ(placed, 5);
}

TEST(PackingShape, ImporterRefusesWhatLeavesNoRoomAndWritesNothing) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  test::writeBytes(folder.path("bracket.obj"), kBracketObj);
  test::writeBytes(folder.path("empty.obj"), "v 0 0 0\nv 1 0 0\n");
  std::string log;
  EXPECT_EQ(
      runImporter(root, "--project a/p.txt --container 50 50 50 --margin 25 bracket.obj", log), 1);
  EXPECT_NE(log.find("leaves no room"), std::string::npos) << log;
  EXPECT_EQ(
      runImporter(root, "--project a/p.txt --container 30 30 30 --spacing 8 bracket.obj", log), 1);
  EXPECT_NE(log.find("bracket.obj: the part's packing shape fits the container"), std::string::npos)
      << log;
  EXPECT_EQ(runImporter(root, "--project a/p.txt --container 50 50 50 --wrap empty.obj", log), 1);
  EXPECT_NE(log.find("empty.obj: the mesh has no faces"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(folder.path("a")));
  EXPECT_EQ(runImporter(root, "bracket.obj --wrap --hull", log), 1);
}

}  // namespace
}  // namespace tessera
