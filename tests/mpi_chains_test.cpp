// The chains of one search spread over MPI processes, as a user starts them with mpirun.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/outputs.h"
#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

// Without MPI in the build there is nothing here to test.
#ifdef TESSERA_MPIEXEC

struct MpiRun {
  int status = -1;
  std::string err;
};

/// tessera under `mpirun -np processes` (processes 0: without mpirun) in folder.
MpiRun run(const std::filesystem::path& folder, int processes, const std::string& arguments) {
  // Open MPI refuses to start as root unless told that it is meant.
  std::string command =
      "cd '" + folder.string() + "' && OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 ";
  if (processes > 0)
    // Open MPI keeps some memory to the end, which the sanitizer build would call leaks.
    command += std::string("ASAN_OPTIONS=detect_leaks=0 '") + TESSERA_MPIEXEC +
               "' --oversubscribe -np " + std::to_string(processes) + " ";
  command +=
      std::string("'") + TESSERA_EXE + "' " + arguments + " < /dev/null > .stdout 2> .stderr";
  const int raw = std::system(command.c_str());
  MpiRun result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.err = test::readBytes((folder / ".stderr").string());
  std::filesystem::remove(folder / ".stdout");
  std::filesystem::remove(folder / ".stderr");
  return result;
}

TEST(MpiChains, TwoProcessesGiveTheBytesOfOneProcessWithTheSameChains) {
  const std::string arguments =
      "project.txt --iterations 9 --chains 3 --exchange-every 4 --seed 11 --threads 1 --no-picture";
  test::ScratchFolder single;
  test::ScratchFolder spread;
  for (const test::ScratchFolder* folder : {&single, &spread}) {
    test::copyData("search/tiny", folder->path(""));
    test::setTinyCopies(folder->path(""), 3);
    // More orientations, under which the two placement rules lay the parts out differently:
    // every process must place by the rule several chains take (lowest-top).
    std::string project = test::readBytes(folder->path("project.txt"));
    project.replace(project.find("RN=1"), 4, "RN=3");
    test::writeBytes(folder->path("project.txt"), project);
  }
  const MpiRun one = run(single.path(""), 0, arguments);
  ASSERT_EQ(one.status, 0) << one.err;
  const MpiRun two = run(spread.path(""), 2, arguments);
  ASSERT_EQ(two.status, 0) << two.err;
  for (const char* name : {"ID_Type_SequenceForPack.txt", "Layout_zodedez.dxf"})
    EXPECT_EQ(test::readBytes(spread.path(name)), test::readBytes(single.path(name))) << name;
  for (const char* name : {"report2.txt", "report.txt"})
    EXPECT_EQ(test::withoutTimes(test::readBytes(spread.path(name))),
              test::withoutTimes(test::readBytes(single.path(name))))
        << name;
  EXPECT_GT(test::readBytes(spread.path("report2.txt")).size(), 1000u);
}

TEST(MpiChains, MoreProcessesThanChainsAreRefusedBeforeAnythingIsWritten) {
  test::ScratchFolder folder;
  test::copyData("search/tiny", folder.path(""));
  const std::vector<std::string> before = folder.entries();
  const MpiRun refused = run(folder.path(""), 3, "project.txt --iterations 4 --chains 2");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("MPI 启动了 3 个进程, 但只有 2 条链"), std::string::npos)
      << refused.err;
  EXPECT_EQ(folder.entries(), before);
}

TEST(MpiChains, TheSqueezeUnderSeveralProcessesIsRefusedAndNamesChainsOnOneMachine) {
  test::ScratchFolder folder;
  test::copyData("search/tiny", folder.path(""));
  const std::vector<std::string> before = folder.entries();
  for (const char* chains : {"", " --chains 2"}) {
    const MpiRun refused =
        run(folder.path(""), 2, std::string("project.txt --squeeze --time-limit 1") + chains);
    EXPECT_EQ(refused.status, 1) << chains;
    EXPECT_NE(refused.err.find("--squeeze 只在一个进程中运行"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--chains K"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(folder.entries(), before);
}

#endif

}  // namespace
}  // namespace tessera
