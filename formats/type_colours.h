#pragma once

#include <array>
#include <cstdint>

namespace tessera {

/// The colour of each part type, the same in every view of a layout (picture and page), as
/// 8-bit red, green, blue; types beyond the palette reuse it in order.
inline constexpr std::array<std::array<std::uint8_t, 3>, 12> kTypePalette = {{
    {66, 133, 244},
    {52, 168, 83},
    {251, 188, 5},
    {0, 172, 193},
    {171, 71, 188},
    {255, 112, 67},
    {124, 179, 66},
    {92, 107, 192},
    {141, 110, 99},
    {38, 130, 120},
    {158, 157, 36},
    {120, 144, 156},
}};

inline const std::array<std::uint8_t, 3>& typePaletteColour(int typeIndex) {
  const int size = static_cast<int>(kTypePalette.size());
  return kTypePalette[static_cast<std::size_t>(((typeIndex % size) + size) % size)];
}

}  // namespace tessera
