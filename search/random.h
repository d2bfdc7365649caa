#pragma once

#include <cstdint>

namespace tessera {

/// The 15-bit linear congruential generator the search draws from. Unless a seed is given
/// every run starts from the same state, so identical inputs and answers give identical runs.
/// A value type; whoever draws receives the one generator of the run by reference.
class Random {
 public:
  static constexpr int kMax = 32767;
  static constexpr std::uint32_t kDefaultSeed = 1;

  Random() = default;
  /// Any 32-bit value is a valid starting state.
  explicit Random(std::uint32_t seed) : state_(seed) {}

  /// state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30 of the new state,
  /// an integer in 0..kMax.
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t state_ = kDefaultSeed;
};

}  // namespace tessera
