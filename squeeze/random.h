#pragma once

#include <cstdint>

namespace tessera {

/// The squeeze's generator (xoshiro256** seeded through splitmix64): fast, 64-bit, and the same
/// stream on every platform, since every draw is mapped here rather than by the standard
/// library's distributions.
class SqueezeRandom {
 public:
  explicit SqueezeRandom(std::uint64_t seed) {
    for (std::uint64_t& s : state_) s = splitMix(seed);
  }

  std::uint64_t next() {
    const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }

  /// In [0, 1), 53 random bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  /// In [low, high]; low when high < low.
  double between(double low, double high) { return high > low ? low + (high - low) * unit() : low; }
  /// In 0 .. n-1 for n >= 1.
  int below(int n) {
    const int k = static_cast<int>(unit() * n);
    return k < n ? k : n - 1;
  }

  /// A seed for another stream, derived from this one's seed and a number.
  static std::uint64_t mix(std::uint64_t seed, std::uint64_t stream) {
    std::uint64_t s = seed ^ (0x9E3779B97F4A7C15ull * (stream + 1));
    return splitMix(s);
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  static std::uint64_t splitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  std::uint64_t state_[4];
};

}  // namespace tessera
