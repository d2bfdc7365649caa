#pragma once

#include <array>
#include <cstdint>

namespace tessera {

/// A 5x7 bitmap font for printable ASCII with one more row below the baseline for descenders.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 8;
inline constexpr int kGlyphCapHeight = 7;
inline constexpr int kGlyphAdvance = 6;

/// Rows top first; bit 4 of a row is the leftmost column.
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

/// The glyph of byte c; every byte outside 32..126 is drawn as '?'.
const Glyph& glyphFor(unsigned char c);

}  // namespace tessera
