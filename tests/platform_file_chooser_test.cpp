#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/console.h"
#include "platform/file_chooser.h"

namespace tessera::platform {
namespace {

namespace fs = std::filesystem;

/// A scratch folder tree; the working directory is put back after each test.
class FileChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startDir_ = fs::current_path();
    const auto unique = "tessera_chooser_" + std::to_string(getpid()) + "_" +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fs::temp_directory_path() / unique;
    fs::remove_all(root_);
    fs::create_directories(root_ / "jobs" / "box one");
    std::ofstream(root_ / "jobs" / "box one" / "project.txt") << "PBSL=1\n";
    std::ofstream(root_ / "jobs" / "notes") << "no extension\n";
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(startDir_);
    fs::remove_all(root_);
  }

  fs::path project() const { return fs::canonical(root_ / "jobs" / "box one" / "project.txt"); }
  fs::path here() const { return fs::canonical(fs::current_path()); }

  fs::path startDir_;
  fs::path root_;
};

TEST_F(FileChooserTest, ShowsTitleAndFiltersThenEntersTheFolderOfAnExistingFile) {
  BufferConsole console("jobs/box one/project.txt\n");
  const auto chosen = chooseFile(console);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(fs::canonical(*chosen), project());
  EXPECT_EQ(here(), project().parent_path());
  EXPECT_TRUE(fs::path(*chosen).is_absolute());  // still opens after the change of folder
  EXPECT_EQ(console.output(),
            "Select a text file storing 3VIzuduva information.\n"
            "  文本文件(*.txt)  *.txt\n"
            "  所有文件(*.*)  *.*\n"
            "File name (empty to cancel): ");
}

TEST_F(FileChooserTest, ReasksUntilTheFileExists) {
  BufferConsole console("missing.txt\njobs\n  \"jobs/box one/project\"  \n");
  const auto chosen = chooseFile(console);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(fs::canonical(*chosen), project());  // quotes and blanks dropped, ".txt" added
  const std::string& out = console.output();
  EXPECT_NE(out.find("missing.txt: file not found"), std::string::npos);
  EXPECT_NE(out.find("jobs: file not found"), std::string::npos);  // a folder is not a file
}

TEST_F(FileChooserTest, NameWithoutExtensionIsTakenAsTypedWhenItExists) {
  BufferConsole console("jobs/notes\n");
  const auto chosen = chooseFile(console);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(fs::path(*chosen).filename(), "notes");
}

TEST_F(FileChooserTest, EmptyAnswerOrEndOfInputGivesUpWithoutMoving) {
  for (const char* input : {"\n", "missing.txt\n", ""}) {
    BufferConsole console(input);
    EXPECT_FALSE(chooseFile(console).has_value()) << input;
    EXPECT_EQ(here(), fs::canonical(root_));
  }
}

TEST_F(FileChooserTest, ProjectFromTheCommandLineIsResolvedWhereTheCommandStarted) {
  fs::current_path(root_ / "jobs");
  const std::string path = enterProjectFolder("../jobs/./box one/project.txt");
  EXPECT_EQ(fs::canonical(path), project());
  EXPECT_EQ(here(), project().parent_path());

  fs::current_path(root_);
  const std::string missing = enterProjectFolder("nowhere/project.txt");
  EXPECT_EQ(fs::path(missing), fs::canonical(root_) / "nowhere" / "project.txt");
  EXPECT_EQ(here(), fs::canonical(root_));  // the loader reports the missing file

  EXPECT_EQ(enterProjectFolder(""), "");
}

}  // namespace
}  // namespace tessera::platform
