#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/number_format.h"
#include "geometry/point.h"
#include "picture/rgb_image.h"

namespace tessera {

struct LayoutEdge {
  Point start;
  Point end;
};

/// One part as it stands in the layout.
struct LayoutSolid {
  /// Planar rings, possibly non-convex; the right-hand rule on a ring gives its outward normal.
  std::vector<std::vector<Point>> faces;
  int typeIndex = 0;   // into LayoutScene::types; also picks the colour
  bool placed = true;  // false: no place was found and the part waits parked outside
};

struct LayoutType {
  std::string name;
  int count = 0;  // copies in the project
};

/// Everything a picture of a layout shows.
struct LayoutScene {
  std::string title;   // first words of the title line; may be empty
  Point containerMin;  // the container's bounding box
  Point containerMax;
  std::vector<LayoutEdge> containerEdges;  // drawn as a wire frame
  std::vector<LayoutSolid> solids;
  std::vector<LayoutType> types;  // legend order
  double packingHeight = 0.0;
  double containerBottom = 0.0;  // z the packing height is measured from
};

inline constexpr int kPictureWidth = 1200;
inline constexpr int kPictureHeight = 720;
inline constexpr Rgb kPictureBackground{255, 255, 255};
inline constexpr Rgb kHeightLineColour{200, 0, 200};
inline constexpr Rgb kUnplacedOutlineColour{220, 0, 0};

enum class ViewKind { isometric, front };

/// A vertex on the screen: pixel (i, j) covers [i, i+1) x [j, j+1), rows grow downwards; depth
/// grows away from the viewer.
struct ScreenPoint {
  double x = 0.0;
  double y = 0.0;
  double depth = 0.0;
};

/// The empty upper part of a container much taller than its packing, drawn shortened: heights
/// from..to are drawn as from..from + shown, everything above moves down with them.
struct HeightBreak {
  double from = 0.0;
  double to = 0.0;
  double shown = 0.0;
  bool active = false;
};

/// The break a scene's views share; inactive unless the container is far taller than its packing.
HeightBreak heightBreakOf(const LayoutScene& scene);
/// The height z is drawn at.
double drawnHeight(const HeightBreak& cut, double z);

/// How one view maps the world onto the picture. The front view looks along +y with x to the
/// right and z up, depth = y; the isometric view looks from front-left-top along (1, 1, -1).
struct ViewMapping {
  ViewKind kind = ViewKind::front;
  double scale = 1.0;    // pixels per length unit
  double offsetX = 0.0;  // picture position of the view-plane origin
  double offsetY = 0.0;
  HeightBreak heightBreak;
};

ScreenPoint project(const ViewMapping& view, const Point& p);
/// Each view frames the container (shortened by the scene's height break), every solid and, in the
/// front view, the height line.
ViewMapping isometricViewMapping(const LayoutScene& scene);
ViewMapping frontViewMapping(const LayoutScene& scene);

/// The palette colour of a part type; types beyond the palette reuse it in order.
Rgb typeColour(int typeIndex);
/// The washed-out colour of a part of this type that found no place.
Rgb unplacedColour(int typeIndex);
/// A face of the given colour under the fixed light; normal is any non-zero vector that points
/// from the face towards the viewer.
Rgb shadeFace(Rgb colour, const Point& normal);

/// The picture: title, isometric view left, front view right, legend below, drawn anti-aliased.
/// Faces are painted back to front (see the drawing for the order and its limits).
RgbImage renderLayout(const LayoutScene& scene);
/// The same picture as PNG bytes; the same scene always gives the same bytes.
std::vector<std::uint8_t> renderLayoutPng(const LayoutScene& scene);
/// Writes the PNG picture to path, replacing any file there.
/// Throws std::runtime_error naming the path if the file cannot be written.
void writeLayoutPicture(const std::string& path, const LayoutScene& scene);

}  // namespace tessera
