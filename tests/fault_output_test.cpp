// Outputs that cannot be written: the program says which, ends with status 1, and every file
// that stood before is still there, whole. Outputs it may write only in place, it writes so.
// Runs the real program, also as root: permission bits are made to count by dropping the
// capabilities that override them, and a full disk is a file size limit (writes past it fail
// as on a full disk) or /dev/full.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using test::obeyingPermissions;

namespace fs = std::filesystem;

constexpr const char* kSequenceFile = "ID_Type_SequenceForPack.txt";

/// The regular files of a folder by name, with their bytes; links and folders are left out.
std::map<std::string, std::string> regularFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (fs::is_regular_file(fs::symlink_status(entry.path())))
      files[entry.path().filename().string()] = test::readBytes(entry.path().string());
  return files;
}

std::vector<std::string> entriesOf(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

test::ChildOptions limitedTo(long long bytes) {
  test::ChildOptions options;
  options.fileSizeLimit = bytes;
  return options;
}

/// A report's computing time differs from run to run; the rest must not.
std::string withoutTime(const std::string& bytes) {
  if (bytes.rfind("Calculating Time:", 0) != 0) return bytes;
  return bytes.substr(bytes.find('\n') + 1);
}

/// The tiny project in a scratch folder.
struct Project {
  Project() { test::copyData("search/tiny", path()); }
  fs::path path() const { return scratch.path(""); }
  fs::path file(const std::string& name) const { return scratch.path(name); }

  test::RunResult run(const std::vector<std::string>& extra, test::ChildOptions options = {}) {
    std::vector<std::string> arguments{"project.txt", "--no-picture"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return test::runChild(path(), arguments, options);
  }
  void earlierRun() { ASSERT_EQ(run({"--iterations", "2"}).status, 0); }
  void logTo(const char* device) {
    fs::remove(file("report2.txt"));
    fs::create_symlink(device, file("report2.txt"));
  }

  test::ScratchFolder scratch;
};

/// Makes a folder read-only for as long as the object lives.
class ReadOnly {
 public:
  explicit ReadOnly(const fs::path& folder) : folder_(folder) { ::chmod(folder.c_str(), 0555); }
  ~ReadOnly() { ::chmod(folder_.c_str(), 0755); }

 private:
  fs::path folder_;
};

TEST(FaultOutput, ReadOnlyFolderEndsTheRunBeforeTheSearchAndCreatesNothing) {
  Project project;
  const std::vector<std::string> before = entriesOf(project.path());
  test::RunResult run;
  {
    ReadOnly readOnly(project.path());
    run = project.run({"--iterations", "2"}, obeyingPermissions());
  }
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("report2 file open error!"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("第1次模拟退火:"), std::string::npos);
  EXPECT_EQ(entriesOf(project.path()), before);
}

TEST(FaultOutput, AFolderClosedToNewFilesHasItsWritableOutputsWrittenInPlace) {
  // What a second run writes in an open folder.
  Project open;
  open.earlierRun();
  ASSERT_EQ(open.run({"--iterations", "2"}).status, 0);

  // The user owns the outputs of the earlier run but may not create files in the folder.
  Project project;
  project.earlierRun();
  const std::vector<std::string> names = entriesOf(project.path());
  test::RunResult run;
  {
    ReadOnly readOnly(project.path());
    run = project.run({"--iterations", "2"}, obeyingPermissions());
  }
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string note =
      "注意: 文件夹中不能新建文件 (Permission denied), 所以 "
      "ID_Type_SequenceForPack.txt, report.txt, Layout_zodedez.dxf "
      "将被直接改写";
  EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("注意", run.err.find(note) + 1), std::string::npos) << "said once";
  EXPECT_EQ(entriesOf(project.path()), names) << "nothing created, nothing left over";
  std::map<std::string, std::string> written = regularFiles(project.path());
  std::map<std::string, std::string> expected = regularFiles(open.path());
  for (auto* files : {&written, &expected}) {
    (*files)["report.txt"] = withoutTime((*files)["report.txt"]);
    files->erase("report2.txt");  // its time lines differ
  }
  EXPECT_EQ(written, expected);
}

TEST(FaultOutput, APictureAndAPageThatFailAtTheEndAreWarningsAfterTheSpecifiedOutputs) {
  // Room for the reports, the drawing and the sequence file, not for the picture or the page.
  Project project;
  const test::RunResult run =
      test::runChild(project.path(), {"project.txt", "--iterations", "2"}, limitedTo(32768));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("警告: 布局图片输出失败: \"Layout_zodedez.png\" 无法写入 (File too "
                         "large); 其余输出已写好。"),
            std::string::npos)
      << run.err;
  EXPECT_NE(
      run.err.find("警告: 布局网页输出失败: \"Layout_zodedez.html\" 无法写入; 其余输出已写好。"),
      std::string::npos)
      << run.err;
  for (const char* output : {"report.txt", "report2.txt", "Layout_zodedez.dxf", kSequenceFile})
    EXPECT_TRUE(fs::is_regular_file(project.file(output))) << output;
  EXPECT_FALSE(fs::exists(project.file("Layout_zodedez.png")));
  EXPECT_FALSE(fs::exists(project.file("Layout_zodedez.html")));
}

TEST(FaultOutput, AFileSizeLimitMidLogIsReportedAndTheLogEndsWithAWholeRecord) {
  // Three copies of each solid: enough type sequences for 30 iterations.
  Project reference;
  test::setTinyCopies(reference.path(), 3);
  ASSERT_EQ(reference.run({"--iterations", "30"}).status, 0);
  const std::string fullLog = test::readBytes(reference.file("report2.txt").string());

  // As a shell starts the program: SIGXFSZ not ignored, so the program must see to it.
  Project project;
  test::setTinyCopies(project.path(), 3);
  test::ChildOptions options = limitedTo(static_cast<long long>(fullLog.size() / 2));
  options.ignoreFileSizeSignal = false;
  const test::RunResult run = project.run({"--iterations", "30"}, options);
  EXPECT_EQ(run.status, 1) << "not killed by SIGXFSZ";
  EXPECT_NE(run.err.find("report2 file open error!"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
  const std::string log = test::readBytes(project.file("report2.txt").string());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), '\n');
  EXPECT_LE(log.size(), fullLog.size() / 2);
  EXPECT_EQ(fullLog.compare(0, log.size(), log), 0) << "the log is the full one's beginning";
  // The periodic save after iteration 10 fitted; nothing else was written, nothing left over.
  EXPECT_EQ(entriesOf(project.path()),
            (std::vector<std::string>{kSequenceFile, "container.txt", "project.txt", "report2.txt",
                                      "small_cube.txt", "small_l.txt", "small_wedge.txt"}));
}

TEST(FaultOutput, FullDiskUnderTheLogEndsTheRunAndKeepsEveryFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this platform";
  Project project;
  project.earlierRun();
  project.logTo("/dev/full");
  const std::map<std::string, std::string> before = regularFiles(project.path());
  const test::RunResult run = project.run({"--iterations", "2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("report2 file open error!"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("第1次模拟退火:"), std::string::npos);
  EXPECT_EQ(regularFiles(project.path()), before);
}

/// Where a full disk strikes: the output that fails, the message, and how to prepare earlier
/// outputs for it. The outputs are written in the order sequence file, report, drawing.
struct FullDiskCase {
  const char* failing;
  const char* message;
  bool fromEarlierRun;  // else hand-made earlier reports and a fresh search of 0 iterations
};

TEST(FaultOutput, FullDiskAtEachOutputNamesItAndKeepsWhatStoodThere) {
  const char* const order[] = {kSequenceFile, "report.txt", "Layout_zodedez.dxf"};
  const FullDiskCase cases[] = {
      {kSequenceFile, "ID_Type_SequenceForPack.txt file open error!", true},
      // A fresh sequence file of four parts is shorter than a report, so the report fails alone.
      {"report.txt", "report file open error!", false},
      {"Layout_zodedez.dxf", "多面体几何信息输出失败!", true},
  };
  for (const FullDiskCase& c : cases) {
    SCOPED_TRACE(c.failing);
    Project project;
    std::vector<std::string> arguments{"--iterations", "2"};
    if (c.fromEarlierRun) {
      project.earlierRun();
    } else {
      test::writeBytes(project.file("report.txt").string(), "an earlier report\n");
      test::writeBytes(project.file("Layout_zodedez.dxf").string(), "an earlier drawing\n");
      arguments = {"--iterations", "0"};
    }
    project.logTo("/dev/null");

    // The same run without a limit shows how large each new output is.
    Project reference;
    for (const auto& [name, bytes] : regularFiles(project.path()))
      test::writeBytes(reference.file(name).string(), bytes);
    reference.logTo("/dev/null");
    ASSERT_EQ(reference.run(arguments).status, 0);
    const std::map<std::string, std::string> written = regularFiles(reference.path());

    // Room for every output before the failing one, not for the failing one.
    long long limit = static_cast<long long>(written.at(c.failing).size()) - 1;
    std::size_t failingAt = 0;
    while (order[failingAt] != std::string(c.failing)) ++failingAt;
    for (std::size_t i = 0; i < failingAt; ++i)
      ASSERT_LE(static_cast<long long>(written.at(order[i]).size()), limit) << order[i];

    const std::map<std::string, std::string> before = regularFiles(project.path());
    std::vector<std::string> names = entriesOf(project.path());
    for (std::size_t i = 0; i < failingAt; ++i) names.push_back(order[i]);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const test::RunResult run = project.run(arguments, limitedTo(limit));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    const std::map<std::string, std::string> after = regularFiles(project.path());
    for (std::size_t i = 0; i < std::size(order); ++i) {
      const std::string name = order[i];
      if (i < failingAt)
        EXPECT_EQ(withoutTime(after.at(name)), withoutTime(written.at(name)))
            << name << " is the new one";
      else
        EXPECT_EQ(after.at(name), before.at(name)) << name << " is the earlier one";
    }
    EXPECT_EQ(entriesOf(project.path()), names);  // no temporary file left behind
  }
}

}  // namespace
}  // namespace tessera
