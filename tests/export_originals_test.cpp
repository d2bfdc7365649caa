// The originals an export writes are the parts: split as the import splits them, refused when
// they are no longer what was packed, found from the project's folder however it is reached,
// and without faces a 3MF reader refuses; the container exported is the build volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/mesh_reader.h"
#include "mesh/mesh_reader_3mf.h"
#include "mesh/packing_shape.h"
#include "support/exported_meshes.h"
#include "support/meshes.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

/// kBracketObj moved down by 99 along z.
std::string loweredBracket() {
  std::string text;
  std::istringstream in(test::kBracketObj);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, std::regex("v (\\S+) (\\S+) (\\S+)")))
      line = "v " + m[1].str() + " " + m[2].str() + " " + std::to_string(std::stod(m[3]) - 99);
    text += line + "\n";
  }
  return text;
}

MeshObject objectNamed(const std::vector<MeshObject>& objects, const std::string& name) {
  const auto found = std::find_if(objects.begin(), objects.end(),
                                  [&](const MeshObject& o) { return o.name == name; });
  EXPECT_NE(found, objects.end()) << name;
  return found == objects.end() ? MeshObject{} : *found;
}

/// Imports into job/project.txt with these arguments (the project and the container first),
/// then places the parts once and exports them as exportArguments say.
test::RunResult importAndExport(const test::ScratchFolder& folder,
                                const std::vector<std::string>& importArguments,
                                const std::string& exportArguments) {
  std::vector<std::string> arguments{"--project", "job/project.txt", "--container"};
  arguments.insert(arguments.end(), importArguments.begin(), importArguments.end());
  const test::RunResult imported = test::runImport(folder.path(""), arguments);
  if (imported.status != 0) return imported;
  return test::runTessera(folder.path(""), "job/project.txt --evaluate-only " + exportArguments);
}

MeshObject asObject(const TriangleSoup& soup) {
  MeshObject object{"soup", soup.vertices, {}};
  for (const auto& t : soup.triangles) object.faces.push_back({t[0], t[1], t[2]});
  return object;
}

TEST(ExportedOriginals, AConcaveFaceIsSplitAsTheImportSplitsItForTheWrapAndTheExport) {
  std::istringstream in(test::kBracketObj);
  const RawMesh raw = readObj(in, "bracket.obj");
  // A fan from the caps' first corner would cover 1200 each instead of 600.
  EXPECT_DOUBLE_EQ(test::unsignedArea(asObject(soupOf(raw, 1.0, "bracket.obj"))), 4000.0);

  test::ScratchFolder folder;
  test::writeBytes(folder.path("bracket.obj"), test::kBracketObj);
  const test::RunResult run = importAndExport(
      folder, {"100", "100", "60", "--spacing", "2", "bracket.obj"}, "--export out.3mf");
  ASSERT_EQ(run.status, 0) << run.err;
  const MeshObject original =
      objectNamed(test::objectsOf3mf(test::readBytes(folder.path("out.3mf"))), "bracket#0");
  EXPECT_EQ(original.faces.size(), 20u);
  EXPECT_NEAR(test::unsignedArea(original), 4000.0, 1e-6);
  EXPECT_NEAR(test::volumeOf(original), 12000.0, 1e-6);
}

TEST(ExportedOriginals, AnOriginalThatIsNoLongerItsPartIsRefusedNamingIt) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  test::writeBytes(folder.path("bracket.obj"), test::kBracketObj);
  const std::vector<std::string> wrapped{
      "--project", "job/project.txt", "--container", "100",        "100",
      "60",        "--spacing",       "2",           "bracket.obj"};
  ASSERT_EQ(test::runImport(root, wrapped).status, 0);
  const std::string exportIt = "job/project.txt --evaluate-only --export out.obj";

  // Edited after the import: the export would put it 99 below the floor.
  test::writeBytes(folder.path("bracket.obj"), loweredBracket());
  test::RunResult run = test::runTessera(root, exportIt);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bracket.obj: the mesh changed after"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder.path("out.obj")));

  // A manifest of the earlier version records no checksum: the mesh must lie in its shape.
  const std::string firstVersion =
      "#TesseraMeshes 1\nPart\nbracket\nMesh\n../bracket.obj\nScale\n1\n----\n#EndFile\n";
  test::writeBytes(folder.path("job/project-meshes.txt"), firstVersion);
  run = test::runTessera(root, exportIt);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("does not lie within the packing shape of part 'bracket'"),
            std::string::npos)
      << run.err;
  test::writeBytes(folder.path("bracket.obj"), test::kBracketObj);
  run = test::runTessera(root, exportIt);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(test::volumeOf(objectNamed(
                  test::objectsOfObj(test::readBytes(folder.path("out.obj"))), "bracket#0")),
              12000.0, 1e-6);

  // A plain import into the same project takes the wraps' manifest away with the wraps: its
  // parts, ten times larger, export as themselves, not as the originals of the old ones.
  ASSERT_EQ(test::runImport(root, {"--project", "job/project.txt", "--container", "1000", "1000",
                                   "600", "--pbsl", "10", "--unit", "cm", "bracket.obj"})
                .status,
            0);
  EXPECT_FALSE(fs::exists(folder.path("job/project-meshes.txt")));
  run = test::runTessera(root, exportIt);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(test::volumeOf(objectNamed(
                  test::objectsOfObj(test::readBytes(folder.path("out.obj"))), "bracket#0")),
              12000.0 * 1000, 1e-3);

  // A manifest that does not belong to the parts (an import's wraps, then parts replaced).
  ASSERT_EQ(test::runImport(root, wrapped).status, 0);
  const std::string manifest = test::readBytes(folder.path("job/project-meshes.txt"));
  ASSERT_EQ(test::runImport(root, {"--project", "other/project.txt", "--container", "100", "100",
                                   "60", "--spacing", "4", "bracket.obj"})
                .status,
            0);
  fs::copy_file(folder.path("other/bracket.txt"), folder.path("job/bracket.txt"),
                fs::copy_options::overwrite_existing);
  run = test::runTessera(root, exportIt);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("project-meshes.txt: part 'bracket' has the volume"), std::string::npos)
      << run.err;
  EXPECT_EQ(test::readBytes(folder.path("job/project-meshes.txt")), manifest);
}

TEST(ExportedOriginals, AProjectFolderReachedThroughALinkFindsItsOwnMeshes) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  fs::create_directories(folder.path("meshes"));
  fs::create_directories(folder.path("deep/real"));
  fs::create_directories(folder.path("deep/meshes"));
  test::writeBytes(folder.path("meshes/bracket.obj"), test::kBracketObj);
  fs::create_directory_symlink("deep/real", folder.path("job"));
  // What "../meshes/bracket.obj" would find from the folder the link leads to.
  test::writeBytes(folder.path("deep/meshes/bracket.obj"), test::kCubeObj);
  ASSERT_EQ(test::runImport(root, {"--project", "job/project.txt", "--container", "100", "100",
                                   "60", "--spacing", "2", "meshes/bracket.obj"})
                .status,
            0);
  const test::RunResult run =
      test::runTessera(root, "job/project.txt --evaluate-only --export out.obj");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(test::volumeOf(objectNamed(
                  test::objectsOfObj(test::readBytes(folder.path("out.obj"))), "bracket#0")),
              12000.0, 1e-6);
}

TEST(ExportedOriginals, ADegenerateFaceLeavesNoTriangleA3mfReaderRefuses) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("bracket.obj"), std::string(test::kBracketObj) + "f 1 2 2\n");
  const test::RunResult run =
      importAndExport(folder, {"100", "100", "60", "--wrap", "bracket.obj"}, "--export out.3mf");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<BuildItemMesh> items;
  EXPECT_NO_THROW(items = read3mf(folder.path("out.3mf")));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].mesh.faces.size(), 20u);
}

TEST(ExportedOriginals, TheContainerExportedIsTheBuildVolumeAMarginShrank) {
  test::ScratchFolder folder;
  test::writeBytes(folder.path("cube.obj"), test::kCubeObj);
  const test::RunResult run =
      importAndExport(folder, {"100", "90", "80", "--margin", "5", "cube.obj"},
                      "--export out.obj --export-container");
  ASSERT_EQ(run.status, 0) << run.err;
  const MeshObject container =
      objectNamed(test::objectsOfObj(test::readBytes(folder.path("out.obj"))), "container");
  Point low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
  for (const Point& p : container.vertices) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  EXPECT_EQ(low, (Point{0, 0, 0}));
  EXPECT_EQ(high, (Point{100, 90, 80}));
  // The project's own container is the room the margin leaves.
  EXPECT_NE(test::readBytes(folder.path("job/container.txt")).find("5,5,5"), std::string::npos);
}

TEST(ExportedOriginals, AMeshPathTheManifestCannotHoldIsRefusedAtImport) {
  test::ScratchFolder folder;
  fs::create_directories(folder.path("two\nlines"));
  test::writeBytes(folder.path("two\nlines/bracket.obj"), test::kBracketObj);
  const test::RunResult run =
      test::runImport(folder.path(""), {"--project", "job/project.txt", "--container", "100", "100",
                                        "60", "--spacing", "2", "two\nlines/bracket.obj"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("line break"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder.path("job")));
}

}  // namespace
}  // namespace tessera
