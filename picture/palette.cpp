#include "picture/palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "formats/type_colours.h"
#include "picture/vectors.h"

namespace tessera {
namespace {

// From the surfaces towards the light: front-left-top, so the three faces an isometric view shows
// of a box get three different shades.
Point lightDirection() { return unit({-0.5, -0.8, 1.0}); }

}  // namespace

Rgb mix(Rgb a, Rgb b, double weightOfB) {
  auto channel = [&](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::floor(x + (y - x) * weightOfB + 0.5));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

Rgb typeColour(int typeIndex) {
  const std::array<std::uint8_t, 3>& c = typePaletteColour(typeIndex);
  return {c[0], c[1], c[2]};
}

Rgb typeOutlineColour(int typeIndex) { return mix(typeColour(typeIndex), Rgb{0, 0, 0}, 0.5); }

Rgb unplacedColour(int typeIndex) { return mix(typeColour(typeIndex), kWashColour, 0.7); }

Rgb shadeFace(Rgb colour, const Point& normal) {
  const double lit = std::max(0.0, dot(unit(normal), lightDirection()));
  const double intensity = 0.35 + 0.65 * lit;
  auto channel = [&](std::uint8_t c) {
    return static_cast<std::uint8_t>(std::min(255.0, std::floor(c * intensity + 0.5)));
  };
  return {channel(colour.r), channel(colour.g), channel(colour.b)};
}

}  // namespace tessera
