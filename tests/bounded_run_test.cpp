// Runs that could not finish are refused at start, within a second, with their reason.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>

#include "support/project.h"
#include "support/run_folder.h"

namespace tessera {
namespace {

using Clock = std::chrono::steady_clock;

// A polyhedron file of the box [0, x] x [0, y] x [0, z].
std::string boxFile(const std::string& name, double x, double y, double z) {
  std::ostringstream out;
  out.precision(17);
  out << "Polyhedron data file\nName\n"
      << name << "\nVolume\n"
      << x * y * z << "\nReference point\n0,0,0\nVertex list\n";
  const double corners[8][3] = {{0, 0, 0}, {x, 0, 0}, {x, y, 0}, {0, y, 0},
                                {0, 0, z}, {x, 0, z}, {x, y, z}, {0, y, z}};
  for (int i = 0; i < 8; ++i)
    out << i << "," << corners[i][0] << "," << corners[i][1] << "," << corners[i][2] << "\n";
  out << "EndVertexList\nEdge list\n0,3,2\n1,2,1\n2,1,0\n3,0,3\n4,4,5\n5,5,6\n6,6,7\n7,7,4\n"
         "8,1,5\n9,4,0\n10,2,6\n11,3,7\nEndEdgeList\nFace list\n0,4, 3,2,1,0\n1,4, 4,5,6,7\n"
         "2,4, 0,1,5,4\n3,4, 1,2,6,5\n4,4, 2,3,7,6\n5,4, 3,0,4,7\nEndFaceList\n";
  return out.str();
}

// A folder with a 30 x 31 x 50 container and copies of one box part.
struct BoxProject {
  BoxProject(double pbsl, int rn, double x, double y, double z, long copies = 3) {
    test::writeBytes(scratch.path("container.txt"), boxFile("Container", 30, 31, 50));
    test::writeBytes(scratch.path("part.txt"), boxFile("part", x, y, z));
    std::ostringstream project;
    project << "PBSL=" << pbsl << "\nRN=" << rn
            << "\nContainer\n\"container.txt\"\nPart\n\"part.txt\"\nCopies\n"
            << copies << "\n----\n#EndFile\n";
    test::writeBytes(scratch.path("project.txt"), project.str());
  }
  test::ScratchFolder scratch;
};

struct TimedRun {
  int status = -1;
  std::string err;
  double seconds = 0.0;
};

// The program on the project with one iteration and no question to answer; with its address
// space limited to limitMiB when that is above 0.
TimedRun run(const BoxProject& project, const std::string& arguments, long limitMiB = 0) {
  const std::string folder = project.scratch.path("");
  const std::string err = project.scratch.path(".stderr");
  std::string command = "cd '" + folder + "' && ";
  if (limitMiB > 0) command += "ulimit -v " + std::to_string(limitMiB * 1024) + " && ";
  command += std::string("'") + TESSERA_EXE + "' project.txt --iterations 1 --no-picture " +
             arguments + " < /dev/null > /dev/null 2> '" + err + "'";
  TimedRun timed;
  const auto start = Clock::now();
  const int raw = std::system(command.c_str());
  timed.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  timed.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  timed.err = test::readBytes(err);
  return timed;
}

bool addressLimitsWork() {
#if defined(__SANITIZE_ADDRESS__)
  return false;  // the sanitizer's shadow memory needs far more address space than any limit
#else
  return true;
#endif
}

TEST(BoundedRun, AThinPlateIsRefusedAtStart) {
  const BoxProject project(1, 2, 5, 5, 1e-7);
  const TimedRun result = run(project, "");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("零件\"part\"最薄处只有约 1e-07 厚"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("每穿过一个单元 (PBSL=1) 要 4e+07 步"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("project.txt"), std::string::npos) << result.err;
  EXPECT_LT(result.seconds, 1.0);
}

TEST(BoundedRun, TooManyThreadsAreRefusedWithAMessage) {
  const BoxProject project(1, 2, 5, 5, 5);
  const TimedRun result = run(project, "--threads 100000");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("--threads expects at most 1024, got 100000"), std::string::npos)
      << result.err;
}

TEST(BoundedRun, AGridThatDoesNotFitInMemoryIsRefusedWithItsFigures) {
  if (!addressLimitsWork()) GTEST_SKIP() << "address space limits do not work here";
  const BoxProject project(0.03, 2, 5, 5, 5);
  const TimedRun result = run(project, "", 1024);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("网格 1001 x 1034 x 1668 (1726436712 个单元)"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("请选用更大的 PBSL"), std::string::npos) << result.err;
  EXPECT_LT(result.seconds, 1.0);
}

TEST(BoundedRun, AnOrientationTableWhoseShapesDoNotFitIsRefusedWithItsFigures) {
  if (!addressLimitsWork()) GTEST_SKIP() << "address space limits do not work here";
  const BoxProject project(1, 50, 5, 5, 5);
  const TimedRun result = run(project, "", 1536);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("方向表有 490200 个方向"), std::string::npos) << result.err;
  // The figures come first, as for every large run.
  EXPECT_EQ(result.err.find("网格 31 x 32 x 51 = 50592 个单元"), 0u) << result.err;
  EXPECT_NE(result.err.find("请选用更小的 RN"), std::string::npos) << result.err;
  EXPECT_LT(result.seconds, 1.0);
}

TEST(BoundedRun, ChainsAreCountedEachWithItsOwnGrid) {
  if (!addressLimitsWork()) GTEST_SKIP() << "address space limits do not work here";
  // About 150 MiB of grid: one fits in the limit, the search's own and eight chains' do not.
  const BoxProject project(0.07, 2, 5, 5, 5);
  const TimedRun result = run(project, "--chains 8", 1024);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("每条链一份, 另加搜索本身一份, 共 9 份"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("请选用更大的 PBSL或更少的链。"), std::string::npos) << result.err;
  EXPECT_LT(result.seconds, 1.0);
}

TEST(BoundedRun, CopiesThatDoNotFitInMemoryAreRefusedBeforeLoading) {
  if (!addressLimitsWork()) GTEST_SKIP() << "address space limits do not work here";
  const BoxProject project(1, 2, 5, 5, 5, 1000000);
  const TimedRun result = run(project, "", 1024);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("project.txt\": 1000000 个零件副本约需 "), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find(" MiB 可用; 请减少份数。"), std::string::npos) << result.err;
  EXPECT_LT(result.seconds, 1.0);
}

TEST(BoundedRun, AQuickRunSaysNothingMore) {
  const BoxProject quick(1, 2, 5, 5, 5);
  const TimedRun plain = run(quick, "");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "");
}

}  // namespace
}  // namespace tessera
