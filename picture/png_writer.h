#pragma once

#include <cstdint>
#include <vector>

#include "picture/rgb_image.h"

namespace tessera {

/// The picture as PNG bytes: 8-bit RGB, no interlace, no text or time chunks, fixed compression,
/// so one picture always gives the same bytes with one libpng and zlib.
/// Throws std::runtime_error if libpng fails (only on exhausted memory or an empty picture).
std::vector<std::uint8_t> encodePng(const RgbImage& image);

}  // namespace tessera
