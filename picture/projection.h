#pragma once

#include "geometry/point.h"
#include "picture/scene.h"

// How the picture's two views map the world onto pixels.
namespace tessera {

enum class ViewKind { isometric, front };

/// A vertex on the screen: pixel (i, j) covers [i, i+1) x [j, j+1), rows grow downwards; depth
/// grows away from the viewer.
struct ScreenPoint {
  double x = 0.0;
  double y = 0.0;
  double depth = 0.0;
};

/// Pixels left..right-1 by top..bottom-1.
struct PixelArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
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
/// p with its height as drawn.
Point drawnPoint(const HeightBreak& cut, const Point& p);

/// How one view maps the world onto the picture. The front view looks along +y with x to the
/// right and z up, depth = y; the isometric view looks from front-left-top along (1, 1, -1).
struct ViewMapping {
  ViewKind kind = ViewKind::front;
  double scale = 1.0;    // pixels per length unit
  double offsetX = 0.0;  // picture position of the view-plane origin
  double offsetY = 0.0;
  HeightBreak heightBreak;
};

/// The unit vector a view looks along, away from the viewer.
Point viewDirection(ViewKind kind);
/// View-plane coordinates of a world point: x right, y up, z the depth.
Point viewCoordinates(ViewKind kind, const Point& p);
ScreenPoint project(const ViewMapping& view, const Point& p);

/// The largest view that shows the container's box, its edges, every solid and, in the front
/// view, the height line inside area, centred, with the scene's height break.
ViewMapping fitView(const LayoutScene& scene, ViewKind kind, PixelArea area);

}  // namespace tessera
