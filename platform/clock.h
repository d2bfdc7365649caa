#pragma once

#include <cstdint>

namespace tessera::platform {

/// A high-resolution counter: elapsed seconds = (counter difference) / frequency().
class Clock {
 public:
  virtual ~Clock() = default;
  /// Counts per second; constant for the life of the clock and greater than 0.
  virtual std::int64_t frequency() const = 0;
  /// The current count; never decreases.
  virtual std::int64_t counter() = 0;
};

/// The monotonic system clock, counting nanoseconds.
class SteadyClock final : public Clock {
 public:
  std::int64_t frequency() const override;
  std::int64_t counter() override;
};

/// A clock under the control of a test: it shows the count it was set to, and each read may
/// move it on by a fixed step (after returning the current count).
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t frequency = 1000) : frequency_(frequency) {}

  std::int64_t frequency() const override { return frequency_; }
  std::int64_t counter() override;

  void set(std::int64_t count) { count_ = count; }
  void advance(std::int64_t counts) { count_ += counts; }
  void setStepPerRead(std::int64_t counts) { stepPerRead_ = counts; }
  /// How many times counter() has been read.
  int reads() const { return reads_; }

 private:
  std::int64_t frequency_;
  std::int64_t count_ = 0;
  std::int64_t stepPerRead_ = 0;
  int reads_ = 0;
};

}  // namespace tessera::platform
