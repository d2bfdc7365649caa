// tessera-import run as a user starts it: a failed import leaves the project's folder as it
// was and says why, and no part file takes a name the main program writes its outputs to.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mesh/mesh_writer_3mf.h"
#include "support/child_process.h"
#include "support/meshes.h"
#include "support/plates.h"
#include "support/project.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

using test::kCubeObj;

std::map<std::string, std::string> filesIn(const fs::path& folder) {
  return test::filesIn(folder.string());
}

test::RunResult import(const fs::path& folder, const std::vector<std::string>& arguments,
                       long long fileSizeLimit = -1) {
  test::ChildOptions options;
  options.executable = "tessera-import";
  options.fileSizeLimit = fileSizeLimit;
  options.ignoreFileSizeSignal = false;  // as a shell starts it
  return test::runChild(folder, arguments, options);
}

std::vector<std::string> projectOf(const std::vector<std::string>& meshes) {
  std::vector<std::string> arguments{"--project", "job/project.txt", "--container", "10", "10",
                                     "10"};
  arguments.insert(arguments.end(), meshes.begin(), meshes.end());
  return arguments;
}

TEST(FaultImport, AReimportOnAFullDiskLeavesTheProjectAsItWasAndSaysWhy) {
  test::ScratchFolder scratch;
  const fs::path folder = scratch.path("");
  test::writeBytes(scratch.path("cube.obj"), kCubeObj);
  test::writeBytes(scratch.path("other.obj"), kCubeObj);
  ASSERT_EQ(import(folder, projectOf({"cube.obj:2"})).status, 0);
  const std::map<std::string, std::string> before = filesIn(folder);
  const long long partSize = static_cast<long long>(before.at("job/cube.txt").size());

  // Room for the first file, not for the second: a write in place would have cut it short.
  const test::RunResult run = import(folder, projectOf({"cube.obj:3", "other.obj:1"}), partSize);
  EXPECT_EQ(run.status, 1) << "not killed by SIGXFSZ";
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  EXPECT_EQ(filesIn(folder), before) << "every file whole, no temporary file left";
}

TEST(FaultImport, AFailedImportIntoANewFolderLeavesNoFolderBehind) {
  test::ScratchFolder scratch;
  const fs::path folder = scratch.path("");
  test::writeBytes(scratch.path("cube.obj"), kCubeObj);
  const std::map<std::string, std::string> before = filesIn(folder);
  const test::RunResult run = import(folder, projectOf({"cube.obj"}), 100);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(filesIn(folder), before);
}

TEST(FaultImport, AReimportWhoseMeshManifestCannotBeWrittenLeavesTheProjectAsItWas) {
  // Many items of a plate in a deep folder make the manifest the largest file of the import.
  test::ScratchFolder scratch;
  const fs::path folder = scratch.path("");
  const std::string plate = std::string(250, 'd') + "/plate.3mf";
  fs::create_directories(fs::path(scratch.path(plate)).parent_path());
  std::string items;
  for (int i = 0; i < 30; ++i)
    items += "<item objectid=\"1\" transform=\"1 0 0 0 1 0 0 0 1 " + std::to_string(3 * i) +
             " 0 0\"/>\n";
  test::writeBytes(scratch.path(plate), threeMfPackage(test::modelXml(
                                            "millimeter", test::tetrahedronObject(1, "t"), items)));
  const std::vector<std::string> wrap{"--wrap", "--detail", "1"};
  std::vector<std::string> first = projectOf({plate});
  first.insert(first.end(), wrap.begin(), wrap.end());
  ASSERT_EQ(import(folder, first).status, 0);
  const std::map<std::string, std::string> before = filesIn(folder);
  std::size_t largestOther = 0;
  for (const auto& [name, bytes] : before)
    if (name != "job/project-meshes.txt" && name.rfind("job/", 0) == 0)
      largestOther = std::max(largestOther, bytes.size());
  ASSERT_GT(before.at("job/project-meshes.txt").size(), largestOther);

  // Every other file fits; the manifest, written last, does not.
  std::vector<std::string> again = projectOf({plate + ":2"});
  again.insert(again.end(), wrap.begin(), wrap.end());
  const test::RunResult run = import(folder, again, static_cast<long long>(largestOther));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("project-meshes.txt: cannot create the file"), std::string::npos)
      << run.err;
  EXPECT_EQ(filesIn(folder), before);
}

TEST(FaultImport, APartFileNamedLikeAnOutputOfTheRunIsRefused) {
  for (const char* mesh : {"report.obj", "report2.obj", "ID_Type_SequenceForPack.obj"}) {
    SCOPED_TRACE(mesh);
    test::ScratchFolder scratch;
    test::writeBytes(scratch.path(mesh), kCubeObj);
    const std::map<std::string, std::string> before = filesIn(scratch.path(""));
    const test::RunResult run = import(scratch.path(""), projectOf({mesh}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("rename the mesh"), std::string::npos) << run.err;
    EXPECT_EQ(filesIn(scratch.path("")), before);
  }
}

}  // namespace
}  // namespace tessera
