// Files no output may replace: the meshes an import reads and an export stands for, and every
// file of a project while an import that fails puts nothing in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/file_group.h"
#include "support/meshes.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> filesIn(const fs::path& folder) {
  return test::filesIn(folder.string());
}

TEST(ProtectedFiles, NeitherTheImportNorTheExportReplacesAMeshItReads) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  test::writeBytes(folder.path("b0.obj"), test::kBracketObj);
  test::writeBytes(folder.path("b1.obj"), test::kCubeObj);
  const std::map<std::string, std::string> before = filesIn(root);
  const std::vector<std::pair<std::vector<std::string>, std::string>> imports{
      {{"b0.obj", "-o", "b0.obj"}, "-o b0.obj is the mesh itself"},
      {{"b0.obj", "-o", "./b0.obj"}, "-o ./b0.obj is the mesh itself"},
      {{"--project", "b1.obj", "--container", "90", "90", "90", "b0.obj", "b1.obj"},
       "b1.obj: the import would replace this mesh with 'b1.obj'"}};
  for (const auto& [arguments, message] : imports) {
    SCOPED_TRACE(message);
    const test::RunResult run = test::runImport(root, arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(filesIn(root), before);
  }

  ASSERT_EQ(test::runImport(root, {"--project", "job/project.txt", "--container", "90", "90", "90",
                                   "--wrap", "b0.obj"})
                .status,
            0);
  for (const char* arguments : {"job/project.txt --evaluate-only --export b0.obj",
                                "job/project.txt --iterations 2 --export ./job/../b0.obj"}) {
    SCOPED_TRACE(arguments);
    const test::RunResult run = test::runTessera(root, arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("b0.obj\" 就是项目读取的文件"), std::string::npos) << run.err;
    EXPECT_EQ(test::readBytes(folder.path("b0.obj")), test::kBracketObj);
    EXPECT_FALSE(fs::exists(folder.path("job/report.txt")));
  }
}

TEST(ProtectedFiles, AnImportThatFailsPutsNothingInPlaceAndNamesTheFileThatFailed) {
  test::ScratchFolder folder;
  const fs::path root = folder.path("");
  test::writeBytes(folder.path("cube.obj"), test::kCubeObj);
  test::writeBytes(folder.path("b0.obj"), test::kBracketObj);
  ASSERT_EQ(test::runImport(root, {"--project", "job/project.txt", "--container", "90", "90", "90",
                                   "--wrap", "cube.obj", "b0.obj"})
                .status,
            0);
  // Under the name of one of the files a re-import writes, last or first, a folder.
  for (const char* blocked : {"project-meshes.txt", "container.txt", "b0.txt"}) {
    SCOPED_TRACE(blocked);
    const fs::path path = folder.path(std::string("job/") + blocked);
    const std::string kept = test::readBytes(path.string());
    fs::remove(path);
    fs::create_directory(path);
    const std::map<std::string, std::string> before = filesIn(root);
    const test::RunResult run =
        test::runImport(root, {"--project", "job/project.txt", "--container", "90", "90", "90",
                               "--unit", "cm", "--wrap", "cube.obj:2", "b0.obj"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.err.find(std::string(blocked) + ": cannot create the file (a folder has this name)"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(filesIn(root), before);
    fs::remove(path);
    test::writeBytes(path.string(), kept);
  }
}

TEST(ProtectedFiles, AGroupOfFilesThatCannotAllBePutInPlaceRestoresThoseThatWere) {
  test::ScratchFolder folder;
  fs::create_directories(folder.path("a"));
  fs::create_directories(folder.path("b"));
  test::writeBytes(folder.path("a/kept.txt"), "old a");
  test::writeBytes(folder.path("a/gone.txt"), "old gone");
  test::writeBytes(folder.path("b/last.txt"), "old b");
  FileGroup group;
  group.replace(folder.path("a/kept.txt")) << "new a";
  group.replace(folder.path("a/made.txt")) << "new file";
  group.remove(folder.path("a/gone.txt"));
  group.replace(folder.path("b/last.txt")) << "new b";
  ASSERT_FALSE(group.stage().has_value());
  // The last file's folder goes away after it was written: only putting it in place fails.
  fs::rename(folder.path("b"), folder.path("b2"));
  test::writeBytes(folder.path("b"), "a file now");
  const std::optional<FileGroup::Failure> failure = group.commit();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->path, folder.path("b/last.txt"));
  EXPECT_EQ(test::readBytes(folder.path("a/kept.txt")), "old a");
  EXPECT_EQ(test::readBytes(folder.path("a/gone.txt")), "old gone");
  EXPECT_FALSE(fs::exists(folder.path("a/made.txt")));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder.path("a")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"gone.txt", "kept.txt"}));
}

}  // namespace
}  // namespace tessera
