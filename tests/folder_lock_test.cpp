// One run per folder: the lock on the folder itself, which needs no file, and the lock file
// beside it, which is never followed through a link nor taken from another user.
#include "platform/folder_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;
using platform::FolderLock;

TEST(FolderLock, ALinkOrAFolderUnderTheLockFileIsLeftAloneAndTheFolderStillLocks) {
  test::ScratchFolder folder;
  const std::string lockFile = folder.path(".tessera.lock");
  test::writeBytes(folder.path("precious.txt"), "precious");
  fs::create_symlink("precious.txt", lockFile);
  {
    const FolderLock first(folder.path(""), lockFile);
    EXPECT_EQ(first.state(), FolderLock::State::held);
    const FolderLock second(folder.path(""), lockFile);
    EXPECT_EQ(second.state(), FolderLock::State::busy);
    EXPECT_EQ(test::readBytes(folder.path("precious.txt")), "precious");
  }
  EXPECT_TRUE(fs::is_symlink(lockFile)) << "left where it was";
  EXPECT_EQ(test::readBytes(folder.path("precious.txt")), "precious");

  fs::remove(lockFile);
  fs::create_directory(lockFile);
  const FolderLock first(folder.path(""), lockFile);
  EXPECT_EQ(first.state(), FolderLock::State::held);
  EXPECT_EQ(FolderLock(folder.path(""), lockFile).state(), FolderLock::State::busy);
}

TEST(FolderLock, ARunOfAnEarlierVersionHoldingTheFileOnlyKeepsANewOneOut) {
  test::ScratchFolder folder;
  const std::string lockFile = folder.path(".tessera.lock");
  test::writeBytes(lockFile, "4242\n");
  const int earlier = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(earlier, 0);
  ASSERT_EQ(::flock(earlier, LOCK_EX | LOCK_NB), 0);
  {
    const FolderLock lock(folder.path(""), lockFile);
    EXPECT_EQ(lock.state(), FolderLock::State::busy);
    EXPECT_EQ(lock.holder(), 4242);
  }
  ::close(earlier);
  // And the other way round: a new run holds the file too.
  const FolderLock lock(folder.path(""), lockFile);
  ASSERT_EQ(lock.state(), FolderLock::State::held);
  const int later = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(later, 0);
  EXPECT_NE(::flock(later, LOCK_EX | LOCK_NB), 0);
  ::close(later);
  EXPECT_EQ(test::readBytes(lockFile), std::to_string(::getpid()) + "\n");
}

TEST(FolderLock, AFolderThatCannotBeLockedFallsBackToTheFileAndNoLockAtAllIsSaid) {
  test::ScratchFolder folder;
  // As on a file system that cannot lock folders: the file alone keeps a second run out.
  const FolderLock fileOnly(folder.path("no such folder"), folder.path(".tessera.lock"));
  EXPECT_EQ(fileOnly.state(), FolderLock::State::held);
  EXPECT_EQ(FolderLock(folder.path("no such folder"), folder.path(".tessera.lock")).state(),
            FolderLock::State::busy);

  const FolderLock none(folder.path("no such folder"), folder.path("no such folder/.tessera.lock"));
  EXPECT_EQ(none.state(), FolderLock::State::unavailable);
  EXPECT_EQ(none.failure(), "No such file or directory");
}

/// The tiny project in a scratch folder, as the run tests use it.
struct Project {
  Project() { test::copyData("search/tiny", path()); }
  fs::path path() const { return scratch.path(""); }
  std::vector<std::string> arguments(int iterations) const {
    return {"project.txt", "--no-picture", "--iterations", std::to_string(iterations)};
  }
  test::ScratchFolder scratch;
};

TEST(FolderLock, TheRunFollowsNoLinkToTheLogOrTheLockFile) {
  Project project;
  test::writeBytes(project.scratch.path("precious.txt"), "precious");
  fs::create_symlink("precious.txt", project.scratch.path(".tessera.lock"));
  test::RunResult run = test::runChild(project.path(), project.arguments(2));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(project.scratch.path(".tessera.lock")));
  EXPECT_EQ(test::readBytes(project.scratch.path("precious.txt")), "precious");

  fs::rename(project.scratch.path("report2.txt"), project.scratch.path("log.txt"));
  const std::string log = test::readBytes(project.scratch.path("log.txt"));
  fs::create_symlink("log.txt", project.scratch.path("report2.txt"));
  run = test::runChild(project.path(), project.arguments(2));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("report2 file open error!"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("符号链接"), std::string::npos) << run.err;
  EXPECT_EQ(test::readBytes(project.scratch.path("log.txt")), log);
}

TEST(FolderLock, ALockFileThatCannotBeUsedStillLetsOnlyOneRunIn) {
  Project project;
  test::setTinyCopies(project.path(), 4);  // the first run goes on
  fs::create_directory(project.scratch.path(".tessera.lock"));
  test::Child first(project.path(), project.arguments(1000000));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (first.output().find("第2次模拟退火:") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_NE(first.output().find("第2次模拟退火:"), std::string::npos) << first.output();

  const test::RunResult second = test::runChild(project.path(), project.arguments(2));
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("正在这个项目文件夹中运行"), std::string::npos) << second.err;
  EXPECT_TRUE(first.running());
  first.kill(SIGKILL);
  first.wait();
}

}  // namespace
}  // namespace tessera
