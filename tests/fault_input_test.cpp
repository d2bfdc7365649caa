// Input paths that name something other than a file: the program refuses them by name and
// ends with status 1 at once, without crashing on a read error or waiting on a pipe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

/// Runs the program; one still going after a while is waiting on something and is killed
/// (status 128 + SIGKILL).
test::RunResult runBriefly(const fs::path& folder, const std::string& project) {
  test::Child child(folder, {project, "--iterations", "1", "--no-picture"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (child.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  child.kill(SIGKILL);
  return child.wait();
}

struct Kind {
  const char* name;
  void (*make)(const fs::path&);
};

// A folder, a pipe nobody writes to, and a device that never ends a line.
const Kind kKinds[] = {
    {"folder", [](const fs::path& p) { fs::create_directory(p); }},
    {"pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
    {"device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
};

TEST(FaultInput, InputPathsThatAreNotFilesAreRefusedByName) {
  // Where the odd path stands: a part, the container, the project itself, the sequence file.
  const struct {
    const char* replaced;
    const char* project;
  } places[] = {
      {"small_l.txt", "project.txt"},
      {"container.txt", "project.txt"},
      {"other_project.txt", "other_project.txt"},
      {"ID_Type_SequenceForPack.txt", "project.txt"},
  };
  for (const auto& place : places) {
    for (const Kind& kind : kKinds) {
      SCOPED_TRACE(std::string(place.replaced) + " is a " + kind.name);
      test::ScratchFolder scratch;
      const fs::path folder = scratch.path("");
      test::copyData("search/tiny", folder);
      fs::remove(folder / place.replaced);
      kind.make(folder / place.replaced);
      const std::vector<std::string> before = scratch.entries();

      const test::RunResult run = runBriefly(folder, place.project);
      EXPECT_EQ(run.status, 1) << run.err;
      EXPECT_NE(run.err.find(std::string(place.replaced) + "\"读取失败!"), std::string::npos)
          << run.err;
      EXPECT_EQ(scratch.entries(), before) << "nothing written";
    }
  }
}

}  // namespace
}  // namespace tessera
