#include "platform/clock.h"

#include <chrono>

namespace tessera::platform {

std::int64_t SteadyClock::frequency() const { return 1'000'000'000; }

std::int64_t SteadyClock::counter() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
}

std::int64_t ManualClock::counter() {
  const std::int64_t count = count_;
  count_ += stepPerRead_;
  ++reads_;
  return count;
}

}  // namespace tessera::platform
