#pragma once

#include <cstdint>
#include <vector>

#include "picture/projection.h"
#include "picture/rgb_image.h"
#include "picture/scene.h"

// The picture of a layout, drawn through Cairo.
namespace tessera {

inline constexpr int kPictureWidth = 1200;
inline constexpr int kPictureHeight = 720;

/// Each view frames the container (shortened by the scene's height break), every solid and, in the
/// front view, the height line, in its half of the picture.
ViewMapping isometricViewMapping(const LayoutScene& scene);
ViewMapping frontViewMapping(const LayoutScene& scene);

/// The picture: title, isometric view left, front view right, legend below, drawn anti-aliased,
/// solids and faces in painter's order.
RgbImage renderLayout(const LayoutScene& scene);
/// The same picture as PNG bytes; the same scene always gives the same bytes.
std::vector<std::uint8_t> renderLayoutPng(const LayoutScene& scene);

}  // namespace tessera
