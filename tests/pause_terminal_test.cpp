// The pause dialogue of a real search, typed on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/project.h"
#include "support/pty_child.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using std::chrono::seconds;

/// In the child on the terminal: a search in folder that outlasts any dialogue.
void runLongSearch(const std::string& folder) {
  if (chdir(folder.c_str()) != 0) _exit(3);
  execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000", "--no-picture",
        static_cast<char*>(nullptr));
  _exit(4);
}

TEST(PauseDialogue, KeyDuringSearchSavesTheBestLayoutThenStops) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("");
  test::copyData("search/tiny", folder);
  test::setTinyCopies(folder, 4);  // so that the search outlasts the dialogue

  test::PtyChild child([&] { runLongSearch(folder); });
  ASSERT_TRUE(child.started());
  // The start-up wait for a key, then the search.
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60)));
  ASSERT_TRUE(child.send(" "));
  ASSERT_TRUE(child.waitFor("次模拟退火:", seconds(60)));

  ASSERT_TRUE(child.send("k"));  // one key during an iteration opens the dialogue after it
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60)));
  std::size_t seen = child.output().size();
  ASSERT_TRUE(child.send("x"));  // not a choice: the two lines again
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen));
  ASSERT_TRUE(child.send("a"));
  ASSERT_TRUE(child.waitFor("Please input the packing file name (NOT including suffix names):",
                            seconds(60)));
  ASSERT_TRUE(child.send("saved\n"));
  ASSERT_TRUE(child.waitFor("Computing time:", seconds(60)));

  seen = child.output().size();
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen)) << child.output();
  ASSERT_TRUE(child.send("b"));
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60), seen));
  ASSERT_TRUE(child.send(" "));
  const int status = child.finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << child.output();
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
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60)));
  ASSERT_TRUE(child.send(" "));
  ASSERT_TRUE(child.waitFor("次模拟退火:", seconds(60)));
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60)));
  ASSERT_TRUE(child.send("a"));
  const std::string prompt = "Please input the packing file name (NOT including suffix names):";
  ASSERT_TRUE(child.waitFor(prompt, seconds(60)));
  for (const char* name : {"container", "report2", "small_l", "project", "report",
                           "Layout_zodedez", "ID_Type_SequenceForPack"}) {
    SCOPED_TRACE(name);
    const std::size_t seen = child.output().size();
    ASSERT_TRUE(child.send(std::string(name) + "\n"));
    ASSERT_TRUE(child.waitFor("请换一个名称。", seconds(60), seen)) << child.output();
    ASSERT_TRUE(child.waitFor(prompt, seconds(60), seen));  // asked again
  }
  ASSERT_TRUE(child.send("saved\n"));
  ASSERT_TRUE(child.waitFor("Computing time:", seconds(60)));
  std::size_t seen = child.output().size();
  ASSERT_TRUE(child.send("k"));
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen));
  ASSERT_TRUE(child.send("b"));
  ASSERT_TRUE(child.waitFor("Press any key to continue", seconds(60), seen));
  ASSERT_TRUE(child.send(" "));
  const int status = child.finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << child.output();

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

}  // namespace
}  // namespace tessera
