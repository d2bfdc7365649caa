#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// The occupancy grid as bit rows: one row of bits along y for every (x, z), so that a part's
// bitmap row is tested against a grid row a machine word at a time.
namespace tessera {

class BitGrid {
 public:
  void resize(int gridX, int gridY, int gridZ) {
    gridX_ = gridX;
    gridY_ = gridY;
    gridZ_ = gridZ;
    words_ = (gridY + 63) / 64;
    bits_.assign(static_cast<std::size_t>(gridX) * static_cast<std::size_t>(gridZ) *
                     static_cast<std::size_t>(words_),
                 0);
  }
  void clear() { std::fill(bits_.begin(), bits_.end(), std::uint64_t{0}); }

  int words() const { return words_; }
  /// Row (x, z): bit y of word y / 64 is cell (x, y, z).
  const std::uint64_t* row(int x, int z) const { return bits_.data() + offset(x, z); }
  void set(int x, int y, int z) {
    bits_[offset(x, z) + static_cast<std::size_t>(y / 64)] |= std::uint64_t{1} << (y % 64);
  }

 private:
  std::size_t offset(int x, int z) const {
    return (static_cast<std::size_t>(z) * static_cast<std::size_t>(gridX_) +
            static_cast<std::size_t>(x)) *
           static_cast<std::size_t>(words_);
  }

  int gridX_ = 0;
  int gridY_ = 0;
  int gridZ_ = 0;
  int words_ = 0;
  std::vector<std::uint64_t> bits_;
};

}  // namespace tessera
