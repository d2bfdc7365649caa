#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessera {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// An 8-bit RGB picture, rows top to bottom, three bytes per pixel.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

/// A width x height picture filled with one colour.
inline RgbImage makeImage(int width, int height, Rgb fill) {
  RgbImage image{width, height, {}};
  image.rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (int i = 0; i < width * height; ++i) {
    image.rgb.push_back(fill.r);
    image.rgb.push_back(fill.g);
    image.rgb.push_back(fill.b);
  }
  return image;
}

inline std::size_t pixelOffset(const RgbImage& image, int x, int y) {
  return (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
          static_cast<std::size_t>(x)) *
         3;
}

/// The pixel in column x, row y; both must lie inside the picture.
inline Rgb pixelAt(const RgbImage& image, int x, int y) {
  const std::size_t at = pixelOffset(image, x, y);
  return {image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
}

inline void setPixel(RgbImage& image, int x, int y, Rgb colour) {
  const std::size_t at = pixelOffset(image, x, y);
  image.rgb[at] = colour.r;
  image.rgb[at + 1] = colour.g;
  image.rgb[at + 2] = colour.b;
}

}  // namespace tessera
