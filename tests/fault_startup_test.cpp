// What a run refuses before its search begins, so that hours of search are never lost and no
// earlier result is replaced: a sequence file it cannot read, a second run in the same folder,
// an output it could not write at the end. Runs the real program as a user starts it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using test::obeyingPermissions;

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr const char* kSequenceFile = "ID_Type_SequenceForPack.txt";

/// The tiny project in a scratch folder.
struct Project {
  Project() { test::copyData("search/tiny", path()); }
  fs::path path() const { return scratch.path(""); }
  std::string file(const std::string& name) const { return scratch.path(name); }
  std::vector<std::string> arguments(int iterations) const {
    return {"project.txt", "--no-picture", "--iterations", std::to_string(iterations)};
  }
  test::RunResult run(int iterations, const test::ChildOptions& options = {}) const {
    return test::runChild(path(), arguments(iterations), options);
  }
  /// Every regular file by name, with its bytes.
  std::map<std::string, std::string> files() const {
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::directory_iterator(path()))
      if (fs::is_regular_file(fs::symlink_status(entry.path())))
        out[entry.path().filename().string()] = test::readBytes(entry.path().string());
    return out;
  }

  test::ScratchFolder scratch;
};

bool waitUntil(const std::function<bool()>& done, seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(FaultStartup, AnUnreadableSequenceFileIsRefusedByNameAndKept) {
  Project project;
  ASSERT_EQ(project.run(3).status, 0);
  const std::map<std::string, std::string> before = project.files();
  ASSERT_FALSE(before.at(kSequenceFile).empty());
  ::chmod(project.file(kSequenceFile).c_str(), 0000);

  const test::RunResult run = project.run(3, obeyingPermissions());
  ::chmod(project.file(kSequenceFile).c_str(), 0644);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(std::string(kSequenceFile) + "\"读取失败!"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("第1次模拟退火:"), std::string::npos);
  EXPECT_EQ(project.files(), before) << "no backup, no new history, no log lines";
}

TEST(FaultStartup, ASecondRunInTheFolderIsRefusedAtOnceNamingTheFirst) {
  Project project;
  test::setTinyCopies(project.path(), 4);  // 34650 type sequences: the first run goes on
  test::Child first(project.path(), project.arguments(1000000));
  ASSERT_TRUE(waitUntil([&] { return first.output().find("第2次模拟退火:") != std::string::npos; },
                        seconds(120)))
      << first.output();

  const test::RunResult second = project.run(2);
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("进程号 " + std::to_string(first.pid())), std::string::npos)
      << second.err;
  EXPECT_EQ(second.out.find("第1次模拟退火:"), std::string::npos);
  EXPECT_TRUE(first.running());

  // A killed holder leaves its lock file; the kernel dropped the lock, so it never blocks.
  first.kill(SIGKILL);
  ASSERT_EQ(first.wait().status, 128 + SIGKILL);
  const test::RunResult after = project.run(2);
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_FALSE(fs::exists(project.file(".tessera.lock"))) << "a finished run removes it";
}

TEST(FaultStartup, AnOutputThatCannotBeWrittenIsFoundBeforeTheSearch) {
  struct Case {
    const char* output;
    const char* message;
  };
  const Case cases[] = {
      {"report.txt", "report file open error!"},
      {"Layout_zodedez.dxf", "多面体几何信息输出失败!"},
      {"report2.txt", "report2 file open error!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    Project project;
    // A folder under an output's name: renaming a file over it fails.
    fs::create_directory(project.file(c.output));
    const test::RunResult run = project.run(2);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::string("\"") + c.output + "\""), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("第1次模拟退火:"), std::string::npos);
    std::vector<std::string> names = project.scratch.entries();
    EXPECT_EQ(names.size(), 6u) << "the project's five files and the folder, nothing created";
  }
}

TEST(FaultStartup, FoldersUnderThePicturesAndThePagesNamesLeaveOnlyThemOut) {
  Project project;
  for (const char* name : {"Layout_zodedez.png", "Layout_zodedez.html"})
    fs::create_directory(project.file(name));
  const test::RunResult run = test::runChild(project.path(), {"project.txt", "--iterations", "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("警告: 布局图片 \"Layout_zodedez.png\" 无法写入 (a folder has this "
                         "name); 本次运行不写它, 其余输出照常。"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("警告: 布局网页 \"Layout_zodedez.html\" 无法写入"), std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("第2次模拟退火:"), std::string::npos);
  const std::map<std::string, std::string> files = project.files();
  for (const char* output : {"report.txt", "report2.txt", "Layout_zodedez.dxf", kSequenceFile})
    EXPECT_EQ(files.count(output), 1u) << output;
  for (const char* name : {"Layout_zodedez.png", "Layout_zodedez.html"}) {
    EXPECT_TRUE(fs::is_directory(project.file(name)));
    EXPECT_TRUE(fs::is_empty(project.file(name)));
  }
}

TEST(FaultStartup, AFolderWhereOnlyTheLogCanBeWrittenIsRefusedBeforeTheSearch) {
  Project project;
  test::writeBytes(project.file("report2.txt"), "an earlier log line\n");
  const std::map<std::string, std::string> before = project.files();
  ::chmod(project.path().c_str(), 0555);
  const test::RunResult run = project.run(2, obeyingPermissions());
  ::chmod(project.path().c_str(), 0755);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("ID_Type_SequenceForPack.txt file open error!"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("第1次模拟退火:"), std::string::npos);
  EXPECT_EQ(project.files(), before);
}

}  // namespace
}  // namespace tessera
