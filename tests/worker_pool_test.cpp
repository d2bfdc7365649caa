// Failures on the pool's threads reach the caller; a pool the project cannot fill still works.
#include "placement/worker_pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "model/input_error.h"
#include "placement/fast_evaluation.h"
#include "support/packing.h"

namespace tessera {
namespace {

TEST(WorkerPool, AFailureOnAWorkerThreadIsRethrownToTheCallerAndThePoolGoesOn) {
  WorkerPool pool(4);
  ASSERT_EQ(pool.size(), 4);
  std::atomic<int> ran{0};
  EXPECT_THROW(pool.runOnAll([&](int thread) {
    ++ran;
    if (thread == 2) throw std::bad_alloc();
  }),
               std::bad_alloc);
  EXPECT_EQ(ran.load(), 4);  // the others finished their share before the caller heard

  EXPECT_THROW(pool.runOnAll([](int thread) {
    if (thread == 0) throw std::runtime_error("caller");
  }),
               std::runtime_error);

  ran = 0;
  pool.runOnAll([&](int) { ++ran; });
  EXPECT_EQ(ran.load(), 4);
}

TEST(WorkerPool, PartsThatCannotBeTurnedOnWorkersFailInTheCaller) {
  Project project = test::smallProject(2);
  for (Part& part : project.parts) part.cellSide = 1e-9;  // every bitmap is refused
  FastEvaluator fast(3);
  EXPECT_THROW(fast.evaluate(project, test::identitySequence(project.sequenceLength)), InputError);
}

// Room for this many more bytes of address space than the process holds now.
void limitAddressSpace(long long bytes) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  long long vmKb = 0;
  char line[256];
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmSize: %lld kB", &vmKb) == 1) break;
  if (status != nullptr) std::fclose(status);
  struct rlimit limit {};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = static_cast<rlim_t>(vmKb * 1024 + bytes);
  setrlimit(RLIMIT_AS, &limit);
}

TEST(WorkerPool, RunningOutOfMemoryWhileTurningShapesReachesTheCaller) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  // Thousands of orientations fail at once on the workers; the caller gets one bad_alloc.
  EXPECT_EXIT(
      {
        Project project = test::smallProject(30);
        FastEvaluator fast(3);  // the pool's threads must belong to the child
        limitAddressSpace(64ll << 20);
        try {
          fast.evaluate(project, test::identitySequence(project.sequenceLength));
        } catch (const std::bad_alloc&) {
          std::_Exit(0);
        }
        std::_Exit(2);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(WorkerPool, KeepsTheThreadsTheSystemAllows) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  EXPECT_EXIT(
      {
        limitAddressSpace(48ll << 20);  // room for a few thread stacks only
        WorkerPool pool(64);
        std::atomic<int> ran{0};
        pool.runOnAll([&](int) { ++ran; });
        const bool fewer = pool.size() < 64 && pool.size() >= 1 && ran == pool.size();
        std::_Exit(fewer ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tessera
