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

TEST(PauseDialogue, KeyDuringSearchSavesTheBestLayoutThenStops) {
  test::ScratchFolder scratch;
  const std::string folder = scratch.path("");
  test::copyData("search/tiny", folder);
  // More copies than the tiny project's four parts: its 12 type sequences are all evaluated
  // within milliseconds, and the search would end on its own before the second key arrives.
  std::ofstream(scratch.path("project.txt"))
      << "PBSL=2\nRN=1\nContainer\n\"container.txt\"\nPart\n\"small_cube.txt\"\nCopies\n4\n"
         "----\nPart\n\"small_l.txt\"\nCopies\n3\n----\nPart\n\"small_wedge.txt\"\nCopies\n3\n"
         "----\n#EndFile\n";

  test::PtyChild child([&] {
    if (chdir(folder.c_str()) != 0) _exit(3);
    execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000", "--no-picture",
          static_cast<char*>(nullptr));
    _exit(4);
  });
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
  ASSERT_TRUE(child.waitFor("or 'b' to end computing.", seconds(60), seen));
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

}  // namespace
}  // namespace tessera
