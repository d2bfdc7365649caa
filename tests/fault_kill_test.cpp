// A search killed outright (power, the OOM killer, kill -9) resumes from its last save: the
// sequence file on the disk is always a whole file, the old one or the new one.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/outputs.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using test::archivedTypeSequences;
using test::linesOf;

namespace fs = std::filesystem;

constexpr const char* kSequenceFile = "ID_Type_SequenceForPack.txt";
constexpr int kSaveEvery = 10;  // the program's default

/// The tiny project's solids, two copies each: 90 type sequences, so a long search does not run
/// out of new neighbours.
struct Project {
  Project() {
    test::copyData("search/tiny", path());
    test::writeBytes(file("project.txt"),
                     "PBSL=2\nRN=1\nContainer\n\"container.txt\"\n"
                     "Part\n\"small_cube.txt\"\nCopies\n2\n----\n"
                     "Part\n\"small_l.txt\"\nCopies\n2\n----\n"
                     "Part\n\"small_wedge.txt\"\nCopies\n2\n----\n#EndFile\n");
  }
  fs::path path() const { return scratch.path(""); }
  std::string file(const std::string& name) const { return scratch.path(name); }
  std::string sequenceFile() const { return test::readBytes(file(kSequenceFile)); }

  test::ScratchFolder scratch;
};

std::vector<std::string> searchArguments(int iterations) {
  return {"project.txt", "--no-picture", "--iterations", std::to_string(iterations)};
}

/// What a search of n iterations from scratch leaves in the sequence file.
std::string sequenceFileAfter(int n) {
  Project project;
  const test::RunResult run = test::runChild(project.path(), searchArguments(n));
  EXPECT_EQ(run.status, 0) << run.err;
  return project.sequenceFile();
}

/// The highest k of the "第k次模拟退火:" lines: the iteration under way.
int lastIterationStarted(const std::string& out) {
  int last = 0;
  const std::string head = "第";
  const std::string tail = "次模拟退火:";
  for (std::size_t at = out.find(tail); at != std::string::npos; at = out.find(tail, at + 1)) {
    std::size_t from = out.rfind(head, at);
    if (from == std::string::npos) continue;
    last = std::max(last, std::atoi(out.c_str() + from + head.size()));
  }
  return last;
}

/// Files appearing in a folder, as inotify reports them, in order.
class FolderWatch {
 public:
  explicit FolderWatch(const fs::path& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
    if (fd_ < 0 || ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
      throw std::runtime_error("inotify is not available");
  }
  ~FolderWatch() { ::close(fd_); }

  /// Waits for the next file created (moved: false) or moved into place (moved: true) whose
  /// name starts with prefix. False when none comes within the timeout.
  bool next(const std::string& prefix, bool moved, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      while (!pending_.empty()) {
        const auto [name, wasMoved] = pending_.front();
        pending_.erase(pending_.begin());
        if (wasMoved == moved && name.rfind(prefix, 0) == 0) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
      alignas(inotify_event) char buffer[4096];
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0) pending_.push_back({event->name, (event->mask & IN_MOVED_TO) != 0});
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_;
  std::vector<std::pair<std::string, bool>> pending_;
};

/// A second run in the same folder takes the file as it is, and evaluates only new neighbours.
void expectResumes(const Project& project, std::size_t archivedBefore) {
  const std::string stored = project.sequenceFile();
  const test::RunResult run = test::runChild(project.path(), searchArguments(5));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("不予使用"), std::string::npos) << "the saved file was refused";
  const std::string efficiency = linesOf(stored)[1].substr(linesOf(stored)[1].find('=') + 1);
  EXPECT_NE(run.out.find("初始排样序列:排样高度="), std::string::npos);
  EXPECT_NE(run.out.find(",排样效率=" + efficiency + "\n"), std::string::npos);
  const std::vector<std::string> archived = archivedTypeSequences(project.sequenceFile());
  EXPECT_EQ(archived.size(), archivedBefore + 5);
  EXPECT_EQ(std::set<std::string>(archived.begin(), archived.end()).size(), archived.size());
}

TEST(FaultKill, KilledInTheMiddleOfAnIterationLosesAtMostTheIterationsSinceTheLastSave) {
  Project project;
  FolderWatch watch(project.path());
  test::Child child(project.path(), searchArguments(80));
  ASSERT_TRUE(watch.next(kSequenceFile, true, std::chrono::seconds(120))) << "no save seen";
  // Some iterations into the next ten.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (lastIterationStarted(child.output()) < kSaveEvery + 3) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << child.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  child.kill(SIGKILL);
  const test::RunResult run = child.wait();
  ASSERT_EQ(run.status, 128 + SIGKILL);

  // The file holds the state after some multiple of ten iterations, exactly as a search of
  // that many iterations leaves it, and no more than ten iterations are lost.
  const std::string saved = project.sequenceFile();
  const int iterations = static_cast<int>(archivedTypeSequences(saved).size()) - 1;
  EXPECT_EQ(iterations % kSaveEvery, 0);
  EXPECT_GE(iterations, kSaveEvery);
  const int underWay = lastIterationStarted(run.out);
  EXPECT_GT(underWay, iterations);
  EXPECT_LE(underWay - iterations, kSaveEvery);
  EXPECT_EQ(saved, sequenceFileAfter(iterations));
  // The killed run's lock file stays; it holds no lock and never blocks (resumed below).
  EXPECT_EQ(project.scratch.entries(),
            (std::vector<std::string>{".tessera.lock", kSequenceFile, "container.txt",
                                      "project.txt", "report2.txt", "small_cube.txt", "small_l.txt",
                                      "small_wedge.txt"}));

  expectResumes(project, static_cast<std::size_t>(iterations) + 1);
}

TEST(FaultKill, KilledWhileSavingLeavesTheOldFileOrTheNewOneWhole) {
  // A kill that lands after the rename proves nothing about the write: try again a few times.
  bool caughtWriting = false;
  for (int attempt = 0; attempt < 5 && !caughtWriting; ++attempt) {
    Project project;
    FolderWatch watch(project.path());
    test::Child child(project.path(), searchArguments(400));
    const std::string temporary = std::string(kSequenceFile) + ".tmp";
    ASSERT_TRUE(watch.next(temporary, false, std::chrono::seconds(120)));
    ASSERT_TRUE(watch.next(kSequenceFile, true, std::chrono::seconds(120)));
    // The second save has begun: its temporary file exists.
    ASSERT_TRUE(watch.next(temporary, false, std::chrono::seconds(120)));
    child.kill(SIGKILL);
    ASSERT_EQ(child.wait().status, 128 + SIGKILL);

    // On a loaded machine the kill may land a save or two later than aimed; whichever save it
    // is, the file on the disk is one whole save, exactly as a search of that length leaves it.
    const std::string onDisk = project.sequenceFile();
    const int iterations = static_cast<int>(archivedTypeSequences(onDisk).size()) - 1;
    EXPECT_EQ(iterations % kSaveEvery, 0) << onDisk;
    EXPECT_GE(iterations, kSaveEvery) << onDisk;
    EXPECT_EQ(onDisk, sequenceFileAfter(iterations));
    const std::vector<std::string> entries = project.scratch.entries();
    for (const std::string& name : entries)
      if (name.rfind(temporary, 0) == 0) caughtWriting = true;
    expectResumes(project, archivedTypeSequences(onDisk).size());
  }
  EXPECT_TRUE(caughtWriting) << "no kill landed inside a save";
}

}  // namespace
}  // namespace tessera
