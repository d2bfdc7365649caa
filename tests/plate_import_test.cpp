// 3MF plates in tessera-import: every item of the build becomes a part, placed by its build and
// component transforms in millimetres; what is no 3MF plate is refused and nothing is written.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "formats/polyhedron_reader.h"
#include "mesh/mesh_manifest.h"
#include "mesh/mesh_reader_3mf.h"
#include "mesh/mesh_writer_3mf.h"
#include "support/child_process.h"
#include "support/exported_meshes.h"
#include "support/meshes.h"
#include "support/plates.h"
#include "support/project.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

using PointSet = std::set<std::tuple<double, double, double>>;

/// Four items: a turned and moved wedge, the same object unmoved (its name is taken), an
/// assembly that scales and moves it through a component, and an object whose name would
/// leave the project's folder.
std::string plate(const std::string& unit) {
  return threeMfPackage(test::modelXml(
      unit,
      test::tetrahedronObject(1, "wedge") + test::tetrahedronObject(3, "../outside") +
          "  <object id=\"2\" name=\"assembly\" type=\"model\"><components>"
          "<component objectid=\"1\" transform=\"2 0 0 0 2 0 0 0 2 5 0 "
          "0\"/></components></object>\n",
      "  <item objectid=\"1\" transform=\"0 1 0 -1 0 0 0 0 1 10 20 30\"/>\n"
      "  <item objectid=\"1\"/>\n"
      "  <item objectid=\"2\" transform=\"1 0 0 0 1 0 0 0 1 0 0 10\"/>\n"
      "  <item objectid=\"3\"/>\n"));
}

PointSet scaled(PointSet points, double factor) {
  PointSet out;
  for (const auto& [x, y, z] : points) out.emplace(x * factor, y * factor, z * factor);
  return out;
}

PointSet verticesOf(const std::string& partFile) {
  PointSet out;
  for (const Point& p : readPolyhedron(partFile).vertices) out.emplace(p.x, p.y, p.z);
  return out;
}

test::RunResult import(const fs::path& folder, const std::vector<std::string>& arguments) {
  return test::runImport(folder, arguments);
}

// Where each item's tetrahedron lies, in the file's own unit: x' = x·m00 + y·m10 + z·m20 + m30.
const PointSet kWedge{{10, 20, 30}, {10, 21, 30}, {9, 20, 30}, {10, 20, 31}};
const PointSet kUnmoved{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const PointSet kAssembly{{5, 0, 10}, {7, 0, 10}, {5, 2, 10}, {5, 0, 12}};

TEST(PlateImport, EveryBuildItemBecomesAPartWhereItsTransformsPutItInMillimetres) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("plate.3mf"), plate("centimeter"));
  const test::RunResult run =
      import(folder.path(""),
             {"--project", "job/project.txt", "--container", "500", "500", "500", "plate.3mf:2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"job", "plate.3mf"}));
  EXPECT_EQ(verticesOf(folder.path("job/wedge.txt")), scaled(kWedge, 10));
  EXPECT_EQ(verticesOf(folder.path("job/plate-2.txt")), scaled(kUnmoved, 10));
  EXPECT_EQ(verticesOf(folder.path("job/assembly.txt")), scaled(kAssembly, 10));
  EXPECT_EQ(verticesOf(folder.path("job/plate-4.txt")), scaled(kUnmoved, 10));
  const std::string project = test::readBytes(folder.path("job/project.txt"));
  for (const char* part : {"wedge", "plate-2", "assembly", "plate-4"})
    EXPECT_NE(project.find(std::string("\"") + part + ".txt\"\nCopies\n2\n"), std::string::npos)
        << project;
  EXPECT_NE(run.out.find("plate.3mf (item 3) -> job/assembly.txt: 4 faces"), std::string::npos)
      << run.out;

  // One mesh: the plate as a whole, here in shells the exact import refuses; its unit is its own.
  const test::RunResult unit = import(folder.path(""), {"plate.3mf", "--unit", "cm"});
  EXPECT_EQ(unit.status, 1);
  EXPECT_NE(unit.err.find("a 3MF file states its own unit"), std::string::npos) << unit.err;
  EXPECT_NE(import(folder.path(""), {"plate.3mf"}).err.find("separate closed shells"),
            std::string::npos);
  const test::RunResult whole = import(folder.path(""), {"plate.3mf", "--hull"});
  EXPECT_EQ(whole.status, 0) << whole.err;
}

TEST(PlateImport, WrappedItemsRecordTheirItemSoTheExportFindsEachOriginal) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("plate.3mf"), plate("millimeter"));
  const test::RunResult run =
      import(folder.path(""), {"--project", "project.txt", "--container", "90", "90", "90",
                               "--wrap", "--detail", "2", "plate.3mf"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(test::readBytes(folder.path("project-meshes.txt"))
                .find("Part\nassembly\nMesh\nplate.3mf\nItem\n3\nScale\n1\nChecksum\n"),
            std::string::npos);
  const ExportSources sources = exportSourcesOf(folder.path("project.txt"), Project(), -1);
  const OriginalMeshes* originals = &sources.originals;
  ASSERT_EQ(originals->size(), 4u);
  PointSet assembly;
  for (const Point& p : originals->at("assembly").vertices) assembly.emplace(p.x, p.y, p.z);
  EXPECT_EQ(assembly, kAssembly);
  EXPECT_EQ(originals->at("wedge").faces.size(), 4u);
}

/// A tetrahedron repeated through `levels` levels of components, each holding the level below
/// `fanOut` times: a few kilobytes that stand for 4 * fanOut^levels triangles.
std::string nestedPlate(int levels, int fanOut) {
  std::string resources = test::tetrahedronObject(1, "leaf");
  for (int level = 2; level <= levels + 1; ++level) {
    resources += "  <object id=\"" + std::to_string(level) + "\" type=\"model\"><components>";
    for (int k = 0; k < fanOut; ++k)
      resources += "<component objectid=\"" + std::to_string(level - 1) + "\"/>";
    resources += "</components></object>\n";
  }
  return threeMfPackage(test::modelXml(
      "millimeter", resources, "  <item objectid=\"" + std::to_string(levels + 1) + "\"/>\n"));
}

TEST(PlateImport, NestedComponentsAreCountedBeforeAnythingIsBuiltAndRefusedPastMemory) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("nested.3mf"), nestedPlate(24, 2));
  try {
    read3mf(folder.path("nested.3mf"), std::int64_t{1} << 30);
    FAIL() << "not refused";
  } catch (const ImportError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind(folder.path("nested.3mf") + ": the build expands to 67108864 "
                                                        "triangles and 67108864 vertices",
                            0),
              0u)
        << message;
    EXPECT_NE(message.find("1024 MiB of memory left"), std::string::npos) << message;
  }
  test::writeBytes(folder.path("small.3mf"), nestedPlate(3, 2));
  EXPECT_EQ(read3mf(folder.path("small.3mf"), std::int64_t{1} << 30).at(0).mesh.faces.size(), 32u);

  // 4 * 10^30 triangles: counted without overflow, whatever the memory.
  test::writeBytes(folder.path("huge.3mf"), nestedPlate(30, 10));
  const test::RunResult run = import(
      folder.path(""), {"--project", "job/project.txt", "--container", "9", "9", "9", "huge.3mf"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("huge.3mf: the build expands to 18446744073709551615 triangles"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("more than a mesh can number"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder.path("job")));
}

TEST(PlateImport, AMirroredItemFacesOutwardAndFallbackNamesLeaveObjectsTheirOwn) {
  test::ScratchFolder folder;
  // Mirrored by the item; mirrored twice, by a component and by the item; unnamed; named as
  // the unnamed one's fallback would be.
  test::writeBytes(folder.path("plate.3mf"),
                   threeMfPackage(test::modelXml(
                       "millimeter",
                       test::tetrahedronObject(1, "wedge") + test::tetrahedronObject(3, "") +
                           test::tetrahedronObject(4, "plate-3") +
                           "  <object id=\"2\" name=\"twice\" type=\"model\"><components>"
                           "<component objectid=\"1\" transform=\"1 0 0 0 -1 0 0 0 1 0 0 0\"/>"
                           "</components></object>\n",
                       "  <item objectid=\"1\" transform=\"-1 0 0 0 1 0 0 0 1 5 0 0\"/>\n"
                       "  <item objectid=\"2\" transform=\"-1 0 0 0 1 0 0 0 1 5 0 0\"/>\n"
                       "  <item objectid=\"3\"/>\n"
                       "  <item objectid=\"4\" transform=\"1 0 0 0 1 0 0 0 1 0 0 5\"/>\n")));
  const std::vector<BuildItemMesh> items = read3mf(folder.path("plate.3mf"));
  ASSERT_EQ(items.size(), 4u);
  for (const BuildItemMesh& item : items)
    EXPECT_DOUBLE_EQ(test::volumeOf({item.name, item.mesh.vertices, item.mesh.faces}), 1.0 / 6)
        << item.name;

  const test::RunResult run = import(
      folder.path(""), {"--project", "project.txt", "--container", "20", "20", "20", "plate.3mf"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("the faces pointed inward"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("plate.3mf (item 3) -> plate-3-2.txt"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("plate.3mf (item 4) -> plate-3.txt"), std::string::npos) << run.out;
}

TEST(PlateImport, WhatIsNoPlateIsRefusedNamingTheFileAndNothingIsWritten) {
  const std::string good = plate("millimeter");
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {"empty", threeMfPackage(test::modelXml("millimeter", "", "")),
       "the 3MF model places no object with triangles in its build"},
      {"broken zip", good.substr(0, good.size() / 2), "is not a readable 3MF package"},
      {"not a 3MF", "solid cube\nendsolid cube\n", "is not a readable 3MF package"}};
  for (const auto& [what, bytes, message] : cases) {
    SCOPED_TRACE(what);
    test::ScratchFolder folder;
    test::writeBytes(folder.path("plate.3mf"), bytes);
    const test::RunResult run = import(
        folder.path(""),
        {"--project", "job/project.txt", "--container", "9", "9", "9", "--wrap", "plate.3mf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("tessera-import: plate.3mf: " + message, 0), 0u) << run.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"plate.3mf"}));
  }
}

}  // namespace
}  // namespace tessera
