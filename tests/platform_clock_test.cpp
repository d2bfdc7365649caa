#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace tessera::platform {
namespace {

TEST(SteadyClock, CountsNanosecondsForward) {
  SteadyClock clock;
  EXPECT_EQ(clock.frequency(), 1'000'000'000);
  const auto first = clock.counter();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto second = clock.counter();
  // At least the 20 ms slept, counted in nanoseconds.
  EXPECT_GE(second - first, 20'000'000);
  EXPECT_GE(clock.counter(), second);
}

}  // namespace
}  // namespace tessera::platform
