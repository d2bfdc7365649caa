#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Candidate masks of one grid row along y, for the word-at-a-time scan of the fast path.
//
// A row policy holds the mask of one grid row (x, z): bit y set means the anchor cannot go on
// cell (x, y, z). Every policy has the same interface, so the scan is written once:
//   Rows(int words, RowBuffers& buffers)   words: 64-bit words per grid row
//   typename Rows::Mask                    the mask (or a tag when the words live in buffers)
//   static bool empty(const Word* row, int words)    the grid row has no occupied cell
//   void start(Mask&, const Word* anchorRow, const Word* refused)
//                                          mask = occupied cells of the anchor's own row | refused
//   void refuseBelow(Mask&, int y)         refuses every cell before y
//   bool full(const Mask&)                 every cell is refused
//   void addRun(Mask&, const Word* row, int start, int length)
//                                          refuses every y where some cell y + start ..
//                                          y + start + length - 1 of `row` is occupied;
//                                          exact for y + start >= 0 only (cells before the row
//                                          read as free), so the caller refuses smaller y
//   bool forEachFree(const Mask&, visit)   calls visit(y) for the free cells, lowest y first,
//                                          until it returns true; returns whether it did
// Bits past the grid's y extent, and anchor cells that would put a bitmap cell before the row,
// must be refused by the caller from the start (in `refused`), since shifts bring in zeros
// (free cells) there.
// OneWord and TwoWords hold the mask in one integer, for grids up to 64 and 128 cells along y;
// ManyWords keeps it in the caller's buffers, for any width.
namespace tessera {

using Word = std::uint64_t;

/// m[y] |= g[y + shift] for every word of the row; cells beyond the row read as free.
inline void orShifted(Word* m, const Word* g, int words, int shift) {
  if (shift >= 0) {
    const int q = shift >> 6;
    const int r = shift & 63;
    for (int w = 0; w + q < words; ++w) {
      Word v = g[w + q] >> r;
      if (r != 0 && w + q + 1 < words) v |= g[w + q + 1] << (64 - r);
      m[w] |= v;
    }
  } else {
    const int t = -shift;
    const int q = t >> 6;
    const int r = t & 63;
    for (int w = q; w < words; ++w) {
      Word v = g[w - q] << r;
      if (r != 0 && w - q - 1 >= 0) v |= g[w - q - 1] >> (64 - r);
      m[w] |= v;
    }
  }
}

/// Every bit of the row is set.
inline bool allSet(const Word* m, int words) {
  for (int w = 0; w < words; ++w)
    if (m[w] != ~Word{0}) return false;
  return true;
}

/// m[y] |= m[y + shift] for every word of the row, shift >= 0; in place, since word w reads
/// only words w and beyond before it is written.
inline void spreadDown(Word* m, int words, int shift) { orShifted(m, m, words, shift); }

/// Word storage of ManyWords, kept by each scanning thread from one row to the next.
struct RowBuffers {
  std::vector<Word> mask;
  std::vector<Word> spread;
};

template <typename Integer>
struct IntegerRows {
  using Mask = Integer;
  static constexpr int kBits = static_cast<int>(sizeof(Integer) * 8);
  static constexpr int kWords = kBits / 64;

  IntegerRows(int, RowBuffers&) {}
  static Integer load(const Word* w) {
    Integer v = 0;
    for (int i = kWords - 1; i >= 0; --i) v = (kWords > 1 ? v << 32 << 32 : 0) | w[i];
    return v;
  }
  static bool empty(const Word* grid, int) {
    for (int i = 0; i < kWords; ++i)
      if (grid[i] != 0) return false;
    return true;
  }
  void start(Mask& m, const Word* anchorRow, const Word* refused) const {
    m = load(anchorRow) | load(refused);
  }
  void refuseBelow(Mask& m, int y) const {
    if (y > 0) m |= y >= kBits ? ~Integer{0} : (Integer{1} << y) - 1;
  }
  bool full(const Mask& m) const { return m == ~Integer{0}; }
  void addRun(Mask& m, const Word* grid, int start, int length) const {
    Integer dilated = load(grid);
    int covered = 1;
    while (covered * 2 <= length) {
      dilated |= dilated >> covered;
      covered *= 2;
    }
    if (covered < length) dilated |= dilated >> (length - covered);
    m |= start >= 0 ? dilated >> start : dilated << -start;
  }
  template <typename Visit>
  bool forEachFree(const Mask& m, Visit&& visit) const {
    Integer free = ~m;
    while (free != 0) {
      const int y = lowestBit(free);
      free &= free - 1;
      if (visit(y)) return true;
    }
    return false;
  }
  static int lowestBit(Integer v) {
    const Word low = static_cast<Word>(v);
    if (low != 0) return __builtin_ctzll(low);
    return 64 + __builtin_ctzll(static_cast<Word>(v >> 32 >> 32));
  }
};
using OneWord = IntegerRows<Word>;
__extension__ typedef unsigned __int128 DoubleWord;
using TwoWords = IntegerRows<DoubleWord>;

struct ManyWords {
  struct Mask {};
  ManyWords(int words, RowBuffers& buffers) : words_(words), buffers_(buffers) {
    buffers.mask.resize(static_cast<std::size_t>(words));
    buffers.spread.resize(static_cast<std::size_t>(words));
  }
  static bool empty(const Word* grid, int words) {
    for (int w = 0; w < words; ++w)
      if (grid[w] != 0) return false;
    return true;
  }
  void start(Mask&, const Word* anchorRow, const Word* refused) const {
    Word* m = buffers_.mask.data();
    for (int w = 0; w < words_; ++w) m[w] = anchorRow[w] | refused[w];
  }
  void refuseBelow(Mask&, int y) const {
    Word* m = buffers_.mask.data();
    for (int w = 0; w < words_ && w * 64 < y; ++w)
      m[w] |= y >= (w + 1) * 64 ? ~Word{0} : (Word{1} << (y - w * 64)) - 1;
  }
  bool full(const Mask&) const { return allSet(buffers_.mask.data(), words_); }
  void addRun(Mask&, const Word* grid, int start, int length) const {
    Word* spread = buffers_.spread.data();
    std::memcpy(spread, grid, static_cast<std::size_t>(words_) * sizeof(Word));
    int covered = 1;
    while (covered * 2 <= length) {
      spreadDown(spread, words_, covered);
      covered *= 2;
    }
    if (covered < length) spreadDown(spread, words_, length - covered);
    orShifted(buffers_.mask.data(), spread, words_, start);
  }
  template <typename Visit>
  bool forEachFree(const Mask&, Visit&& visit) const {
    const Word* m = buffers_.mask.data();
    for (int w = 0; w < words_; ++w) {
      Word free = ~m[w];
      while (free != 0) {
        const int y = w * 64 + __builtin_ctzll(free);
        free &= free - 1;
        if (visit(y)) return true;
      }
    }
    return false;
  }

 private:
  int words_;
  RowBuffers& buffers_;
};

}  // namespace tessera
