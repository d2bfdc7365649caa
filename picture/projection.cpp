#include "picture/projection.h"

#include <algorithm>
#include <cmath>

#include "picture/vectors.h"

namespace tessera {
namespace {

// A container's height up to this many times its packing height is drawn as it is; the rest, when
// longer than kWorthShortening times that, is drawn kShortenedPart times that long.
constexpr double kKeptAbovePacking = 1.25;
constexpr double kShortenedPart = 0.25;
constexpr double kWorthShortening = 0.5;

// Screen axes of the isometric view: right, up and into the picture.
struct IsometricAxes {
  Point right = unit({1.0, -1.0, 0.0});
  Point up = unit({1.0, 1.0, 2.0});
  Point into = unit({1.0, 1.0, -1.0});
};

const IsometricAxes& isometricAxes() {
  static const IsometricAxes axes;
  return axes;
}

}  // namespace

HeightBreak heightBreakOf(const LayoutScene& scene) {
  HeightBreak cut;
  const double kept = scene.packingHeight * kKeptAbovePacking;
  const double from = scene.containerBottom + kept;
  const double to = scene.containerMax.z;
  if (!(scene.packingHeight > 0.0) || !(to - from > kept * kWorthShortening)) return cut;
  cut = {from, to, kept * kShortenedPart, true};
  return cut;
}

double drawnHeight(const HeightBreak& cut, double z) {
  if (!cut.active || z <= cut.from) return z;
  if (z >= cut.to) return z - (cut.to - cut.from) + cut.shown;
  return cut.from + (z - cut.from) * (cut.shown / (cut.to - cut.from));
}

Point drawnPoint(const HeightBreak& cut, const Point& p) {
  return {p.x, p.y, drawnHeight(cut, p.z)};
}

Point viewDirection(ViewKind kind) {
  return kind == ViewKind::front ? Point{0.0, 1.0, 0.0} : isometricAxes().into;
}

Point viewCoordinates(ViewKind kind, const Point& p) {
  if (kind == ViewKind::front) return {p.x, p.z, p.y};
  const IsometricAxes& axes = isometricAxes();
  return {dot(p, axes.right), dot(p, axes.up), dot(p, axes.into)};
}

ScreenPoint project(const ViewMapping& view, const Point& p) {
  const Point q = viewCoordinates(view.kind, drawnPoint(view.heightBreak, p));
  return {view.offsetX + view.scale * q.x, view.offsetY - view.scale * q.y, q.z};
}

ViewMapping fitView(const LayoutScene& scene, ViewKind kind, PixelArea area) {
  const HeightBreak cut = heightBreakOf(scene);
  double uMin = 0.0, uMax = 0.0, vMin = 0.0, vMax = 0.0;
  bool any = false;
  auto include = [&](const Point& world) {
    const Point p = viewCoordinates(kind, drawnPoint(cut, world));
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    uMin = any ? std::min(uMin, p.x) : p.x;
    uMax = any ? std::max(uMax, p.x) : p.x;
    vMin = any ? std::min(vMin, p.y) : p.y;
    vMax = any ? std::max(vMax, p.y) : p.y;
    any = true;
  };
  const Point& lo = scene.containerMin;
  const Point& hi = scene.containerMax;
  for (int corner = 0; corner < 8; ++corner) {
    include({(corner & 1) != 0 ? hi.x : lo.x, (corner & 2) != 0 ? hi.y : lo.y,
             (corner & 4) != 0 ? hi.z : lo.z});
  }
  for (const LayoutEdge& edge : scene.containerEdges) {
    include(edge.start);
    include(edge.end);
  }
  for (const LayoutSolid& solid : scene.solids) {
    for (const auto& face : solid.faces) {
      for (const Point& p : face) include(p);
    }
  }
  if (kind == ViewKind::front) include({lo.x, lo.y, scene.containerBottom + scene.packingHeight});

  const double width = area.right - area.left;
  const double height = area.bottom - area.top;
  const double du = uMax - uMin;
  const double dv = vMax - vMin;
  double scale = 1.0;
  if (du > 0.0 && dv > 0.0) {
    scale = std::min(width / du, height / dv);
  } else if (du > 0.0) {
    scale = width / du;
  } else if (dv > 0.0) {
    scale = height / dv;
  }
  if (!std::isfinite(scale) || !(scale > 0.0)) scale = 1.0;
  ViewMapping view;
  view.kind = kind;
  view.scale = scale;
  view.offsetX = area.left + (width - scale * du) / 2.0 - scale * uMin;
  view.offsetY = area.top + (height - scale * dv) / 2.0 + scale * vMax;
  view.heightBreak = cut;
  return view;
}

}  // namespace tessera
