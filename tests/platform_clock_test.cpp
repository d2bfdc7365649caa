#include <gtest/gtest.h>

#include "platform/clock.h"

namespace tessera::platform {
namespace {

TEST(ManualClock, ShowsWhatTheTestSetsAndStepsPerRead) {
  ManualClock clock(1000);
  EXPECT_EQ(clock.frequency(), 1000);
  EXPECT_EQ(clock.counter(), 0);
  clock.set(5000);
  clock.advance(250);
  EXPECT_EQ(clock.counter(), 5250);
  clock.setStepPerRead(10);
  EXPECT_EQ(clock.counter(), 5250);
  EXPECT_EQ(clock.counter(), 5260);
  EXPECT_EQ(clock.reads(), 4);
}

TEST(SteadyClock, CountsNanosecondsForward) {
  SteadyClock clock;
  EXPECT_EQ(clock.frequency(), 1'000'000'000);
  const auto first = clock.counter();
  const auto second = clock.counter();
  EXPECT_GE(second, first);
}

}  // namespace
}  // namespace tessera::platform
