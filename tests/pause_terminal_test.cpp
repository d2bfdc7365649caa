// The pause dialogue of a real search, typed on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/meshes.h"
#include "support/project.h"
#include "support/pty_child.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using std::chrono::seconds;

/// In the child on the terminal: a search in folder that outlasts any dialogue, exporting its
/// layouts to exportPath when one is given.
void runLongSearch(const std::string& folder, const char* exportPath = nullptr) {
  if (chdir(folder.c_str()) != 0) _exit(3);
  if (exportPath != nullptr)
    execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000", "--no-picture",
          "--export", exportPath, static_cast<char*>(nullptr));
  else
    execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000", "--no-picture",
          static_cast<char*>(nullptr));
  _exit(4);
}

/// On the child's terminal: the start-up wait for a key, then the search, and one key during
/// an iteration, which opens the pause dialogue after it.
void openPauseDialogue(test::PtyChild& child) {
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60)));
  ASSERT_TRUE(child.send(" "));
  ASSERT_TRUE(child.waitFor("次模拟退火:", seconds(60)));
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60)));
}

/// On the child's terminal: a pause that ends the search, and the key the program waits for at
/// its end; the program must then end with status 0.
void stopSearchAndProgram(test::PtyChild& child) {
  const std::size_t seen = child.output().size();
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen)) << child.output();
  ASSERT_TRUE(child.send("b"));
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60), seen));
  ASSERT_TRUE(child.send(" "));
  const int status = child.finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << child.output();
}

/// On the child's terminal: opens the save dialogue, types each name and sees it refused and
/// asked again, saves as "saved", then stops the search and the program.
void refuseEachNameThenSaveAndStop(test::PtyChild& child, const std::vector<std::string>& names) {
  ASSERT_NO_FATAL_FAILURE(openPauseDialogue(child));
  ASSERT_TRUE(child.send("a"));
  const std::string prompt = "Please input the packing file name (NOT including suffix names):";
  ASSERT_TRUE(child.waitFor(prompt, seconds(60)));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::size_t seen = child.output().size();
    ASSERT_TRUE(child.send(name + "\n"));
    ASSERT_TRUE(child.waitFor("请换一个名称。", seconds(60), seen)) << child.output();
    ASSERT_TRUE(child.waitFor(prompt, seconds(60), seen));  // asked again
  }
  ASSERT_TRUE(child.send("saved\n"));
  ASSERT_TRUE(child.waitFor("Computing time:", seconds(60)));
  ASSERT_NO_FATAL_FAILURE(stopSearchAndProgram(child));
}

TEST(PauseDialogue, KeyDuringSearchSavesTheBestLayoutThenStops) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("");
  test::copyData("search/tiny", folder);
  test::setTinyCopies(folder, 4);  // so that the search outlasts the dialogue

  test::PtyChild child([&] { runLongSearch(folder); });
  ASSERT_NO_FATAL_FAILURE(openPauseDialogue(child));
  const std::size_t seen = child.output().size();
  ASSERT_TRUE(child.send("x"));  // not a choice: the two lines again
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen));
  ASSERT_TRUE(child.send("a"));
  ASSERT_TRUE(child.waitFor("Please input the packing file name (NOT including suffix names):",
                            seconds(60)));
  ASSERT_TRUE(child.send("saved\n"));
  ASSERT_TRUE(child.waitFor("Computing time:", seconds(60)));
  ASSERT_NO_FATAL_FAILURE(stopSearchAndProgram(child));
  EXPECT_TRUE(child.terminalCooked());

  // The answer keys are not echoed; the base name typed in line mode is.
  EXPECT_EQ(child.output().find("xa"), std::string::npos);
  for (const char* name : {"saved.dxf", "saved.txt", "saved_ID_Type_SequenceForPack.txt",
                           "report.txt", "Layout_zodedez.dxf", "ID_Type_SequenceForPack.txt"})
    EXPECT_TRUE(std::filesystem::exists(scratch.path(name))) << name;
  EXPECT_NE(test::readBytes(scratch.path("saved.txt")).find("Iteration Number:"),
            std::string::npos);
  // The time spent answering is reported apart and kept out of the computing time.
  EXPECT_EQ(child.output().find("Pausing time =0s."), std::string::npos);
  EXPECT_NE(child.output().find("Pausing time ="), std::string::npos);
}

TEST(PauseDialogue, ANameThatWouldReplaceAnInputOrAnOutputIsRefusedAndAskedAgain) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("");
  test::copyData("search/tiny", folder);
  test::setTinyCopies(folder, 4);  // so that the search outlasts the dialogue
  const std::string container = test::readBytes(scratch.path("container.txt"));
  const std::string part = test::readBytes(scratch.path("small_l.txt"));
  const std::string project = test::readBytes(scratch.path("project.txt"));

  test::PtyChild child([&] { runLongSearch(folder); });
  ASSERT_NO_FATAL_FAILURE(
      refuseEachNameThenSaveAndStop(child, {"container", "report2", "small_l", "project", "report",
                                            "Layout_zodedez", "ID_Type_SequenceForPack"}));

  EXPECT_EQ(test::readBytes(scratch.path("container.txt")), container);
  EXPECT_EQ(test::readBytes(scratch.path("small_l.txt")), part);
  EXPECT_EQ(test::readBytes(scratch.path("project.txt")), project);
  // The log went on in the file it was opened as: it has the lines from after the pause.
  const std::string log = test::readBytes(scratch.path("report2.txt"));
  EXPECT_EQ(log.find("Iteration Number:"), std::string::npos);
  EXPECT_NE(log.find("\xb1\xbe\xb4\xce\xbc\xc6\xbb\xae"), std::string::npos)  // 本次计划 in GBK
      << "the closing lines reached the log";
  EXPECT_NE(test::readBytes(scratch.path("saved.txt")).find("Iteration Number:"),
            std::string::npos);
}

TEST(PauseDialogue, ANameOfTheMeshesTheirManifestOrOfTwoWordsIsAskedAgain) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("job");
  std::filesystem::create_directories(folder);
  test::copyData("search/tiny", folder);
  test::setTinyCopies(folder, 4);
  // The original of the cubes beside the project's folder, as an import with wraps records it.
  test::writeBytes(scratch.path("b0.obj"), test::kCubeObj);
  const std::string manifest =
      "#TesseraMeshes 1\nPart\nsmall_cube\nMesh\n../b0.obj\nScale\n1\n----\n#EndFile\n";
  test::writeBytes(scratch.path("job/project-meshes.txt"), manifest);

  test::PtyChild child([&] { runLongSearch(folder, "layout.obj"); });
  ASSERT_NO_FATAL_FAILURE(
      refuseEachNameThenSaveAndStop(child, {"project-meshes", "../b0", "two words"}));

  EXPECT_EQ(test::readBytes(scratch.path("b0.obj")), test::kCubeObj);
  EXPECT_EQ(test::readBytes(scratch.path("job/project-meshes.txt")), manifest);
  EXPECT_TRUE(std::filesystem::exists(scratch.path("job/saved.obj")));
  EXPECT_FALSE(std::filesystem::exists(scratch.path("job/two.txt")));
}

}  // namespace
}  // namespace tessera
