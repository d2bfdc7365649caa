// The search on a real terminal: keys leave no trace, Ctrl-C answers at once, and a pause
// whose extras fail goes on to every specified output.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/project.h"
#include "support/pty_child.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using std::chrono::seconds;

// The tiny search project with three copies of each part: 1680 type sequences, so that the
// search cannot run out of new ones before the test has typed its keys.
void copyLongSearch(const std::string& folder) {
  test::copyData("search/tiny", folder);
  std::string project;
  for (const char* part : {"small_cube.txt", "small_l.txt", "small_wedge.txt"})
    project += std::string("Part\n\"") + part + "\"\nCopies\n3\n----\n";
  test::writeBytes(folder + "/project.txt",
                   "PBSL=2\nRN=1\nContainer\n\"container.txt\"\n" + project + "#EndFile\n");
}

// tessera on that project in folder, past its start-up wait and into the search.
struct SearchOnTerminal {
  SearchOnTerminal(const std::string& folder, bool picture)
      : child([folder, picture] {
          if (chdir(folder.c_str()) != 0) _exit(3);
          if (picture) {
            execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000",
                  static_cast<char*>(nullptr));
          } else {
            execl(TESSERA_EXE, TESSERA_EXE, "project.txt", "--iterations", "100000", "--no-picture",
                  static_cast<char*>(nullptr));
          }
          _exit(4);
        }) {}

  bool intoTheSearch() {
    return child.started() && child.waitFor("Press any key to continue", seconds(60)) &&
           child.send(" ") && child.waitFor("次模拟退火:", seconds(60));
  }

  // The key opens the pause, 'b' ends the search, a key ends the program; its exit status.
  int stopWithAPause(const std::string& key = "k") {
    const std::size_t seen = child.output().size();
    if (!child.send(key) || !child.waitFor("or 'b' to end computing.", seconds(60), seen) ||
        !child.send("b") || !child.waitFor("Press any key to continue", seconds(60), seen) ||
        !child.send(" "))
      return -1;
    const int status = child.finish();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  test::PtyChild child;
};

TEST(SearchOnTerminal, TheKeyThatOpensThePauseIsNotEchoed) {
  test::ScratchFolder scratch;
  copyLongSearch(scratch.path(""));
  SearchOnTerminal run(scratch.path(""), false);
  ASSERT_TRUE(run.intoTheSearch());
  const std::size_t seen = run.child.output().size();
  EXPECT_EQ(run.stopWithAPause("Q"), 0);
  EXPECT_TRUE(run.child.terminalCooked());
  // Typed while a search iteration ran, so echo would have shown it.
  EXPECT_EQ(run.child.output().find('Q', seen), std::string::npos) << run.child.output();
}

TEST(SearchOnTerminal, CtrlCIsAnsweredAtOnce) {
  test::ScratchFolder scratch;
  copyLongSearch(scratch.path(""));
  SearchOnTerminal run(scratch.path(""), false);
  ASSERT_TRUE(run.intoTheSearch());
  ASSERT_TRUE(run.child.send("\x03"));
  ASSERT_TRUE(run.child.waitFor("搜索将在本次迭代结束后停止", seconds(60)));
  const std::size_t notice = run.child.output().find("搜索将在本次迭代结束后停止");
  ASSERT_TRUE(run.child.waitFor("Press any key to continue", seconds(60), notice));
  ASSERT_TRUE(run.child.send(" "));
  const int status = run.child.finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const char* name : {"report.txt", "Layout_zodedez.dxf", "ID_Type_SequenceForPack.txt"})
    EXPECT_TRUE(std::filesystem::exists(scratch.path(name))) << name;
}

TEST(SearchOnTerminal, APauseWhosePictureCannotBeWrittenWarnsAndGoesOn) {
  test::ScratchFolder scratch;
  copyLongSearch(scratch.path(""));
  std::filesystem::create_directory(scratch.path("saved.png"));  // where the picture would go
  SearchOnTerminal run(scratch.path(""), true);
  ASSERT_TRUE(run.intoTheSearch());
  ASSERT_TRUE(run.child.send("k"));
  ASSERT_TRUE(run.child.waitFor("or 'b' to end computing.", seconds(60)));
  ASSERT_TRUE(run.child.send("a"));
  ASSERT_TRUE(run.child.waitFor("(NOT including suffix names):", seconds(60)));
  ASSERT_TRUE(run.child.send("saved\n"));
  ASSERT_TRUE(run.child.waitFor("暂停时的附加输出失败 (布局图片输出失败: \"saved.png\" 无法创建)",
                                seconds(60)));
  EXPECT_EQ(run.stopWithAPause(), 0) << run.child.output();
  for (const char* name :
       {"saved.dxf", "saved.txt", "saved_ID_Type_SequenceForPack.txt", "report.txt",
        "Layout_zodedez.dxf", "Layout_zodedez.png", "ID_Type_SequenceForPack.txt"})
    EXPECT_TRUE(std::filesystem::is_regular_file(scratch.path(name))) << name;
}

}  // namespace
}  // namespace tessera
