#include "picture/layout_picture.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <queue>
#include <stdexcept>
#include <utility>

#include "formats/atomic_file.h"
#include "formats/part_name.h"
#include "formats/type_colours.h"
#include "geometry/face_triangulation.h"
#include "picture/picture_text.h"
#include "picture/png_writer.h"

namespace tessera {
namespace {

constexpr double kTextSize = 15.0;
constexpr int kTitleBand = 32;
constexpr int kLegendTop = 604;
constexpr int kLegendRow = 18;
constexpr int kLegendColumn = 236;
constexpr int kLegendLeft = 12;
constexpr int kSwatch = 12;
constexpr int kViewMargin = 20;
constexpr int kCaptionBand = 30;

// A container's height up to this many times its packing height is drawn as it is; the rest, when
// longer than kWorthShortening times that, is drawn kShortenedPart times that long.
constexpr double kKeptAbovePacking = 1.25;
constexpr double kShortenedPart = 0.25;
constexpr double kWorthShortening = 0.5;

constexpr Rgb kTextColour{30, 30, 30};
constexpr Rgb kContainerColour{70, 70, 90};
constexpr Rgb kRuleColour{200, 200, 200};
constexpr Rgb kWashColour{215, 215, 215};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

const Rect kIsometricPanel{0, kTitleBand, kPictureWidth / 2, kLegendTop - 4};
const Rect kFrontPanel{kPictureWidth / 2, kTitleBand, kPictureWidth, kLegendTop - 4};

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point scaled(const Point& p, double f) { return {p.x * f, p.y * f, p.z * f}; }

Point unit(const Point& p) { return scaled(p, 1.0 / std::sqrt(dot(p, p))); }

double coordinate(const Point& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

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

// From the surfaces towards the light: front-left-top, so the three faces an isometric view shows
// of a box get three different shades.
Point lightDirection() { return unit({-0.5, -0.8, 1.0}); }

Point viewDirection(ViewKind kind) {
  return kind == ViewKind::front ? Point{0.0, 1.0, 0.0} : isometricAxes().into;
}

// View-plane coordinates (u right, v up) and depth of a world point.
Point viewCoordinates(ViewKind kind, const Point& p) {
  if (kind == ViewKind::front) return {p.x, p.z, p.y};
  const IsometricAxes& axes = isometricAxes();
  return {dot(p, axes.right), dot(p, axes.up), dot(p, axes.into)};
}

Point shortened(const HeightBreak& cut, const Point& p) {
  return {p.x, p.y, drawnHeight(cut, p.z)};
}

Rgb mix(Rgb a, Rgb b, double weightOfB) {
  auto channel = [&](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::floor(x + (y - x) * weightOfB + 0.5));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

std::string heightLabel(const LayoutScene& scene) {
  return "H = " + formatNumber(scene.packingHeight);
}

ViewMapping frame(const LayoutScene& scene, ViewKind kind, Rect area) {
  const HeightBreak cut = heightBreakOf(scene);
  double uMin = 0.0, uMax = 0.0, vMin = 0.0, vMax = 0.0;
  bool any = false;
  auto include = [&](const Point& world) {
    const Point p = viewCoordinates(kind, shortened(cut, world));
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

Rect isometricArea() {
  return {kIsometricPanel.left + kViewMargin, kIsometricPanel.top + kCaptionBand,
          kIsometricPanel.right - kViewMargin, kIsometricPanel.bottom - kViewMargin};
}

// The front view leaves room on its right for the height label.
Rect frontArea(const LayoutScene& scene) {
  const int label = static_cast<int>(std::ceil(textWidth(heightLabel(scene), kTextSize))) + 16;
  return {kFrontPanel.left + kViewMargin, kFrontPanel.top + kCaptionBand,
          kFrontPanel.right - kViewMargin - label, kFrontPanel.bottom - kViewMargin};
}

// Cairo objects released with their scope.
struct CairoDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

void setColour(cairo_t* cairo, Rgb colour) {
  cairo_set_source_rgb(cairo, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

// A line through pixel centres, so that a one-pixel horizontal or vertical rule covers whole
// pixels in its colour.
void drawRule(cairo_t* cairo, double x0, double y0, double x1, double y1, Rgb colour) {
  setColour(cairo, colour);
  cairo_set_line_width(cairo, 1.0);
  cairo_move_to(cairo, x0 + 0.5, y0 + 0.5);
  cairo_line_to(cairo, x1 + 0.5, y1 + 0.5);
  cairo_stroke(cairo);
}

void fillRect(cairo_t* cairo, Rect rect, Rgb colour) {
  setColour(cairo, colour);
  cairo_rectangle(cairo, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  cairo_fill(cairo);
}

struct ScreenBox {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

// A solid as the painter sees it: its box in the world (heights as drawn), on the screen, and the
// depth of its nearest point.
struct PaintedSolid {
  Point lo;
  Point hi;
  ScreenBox screen;
  double nearest = 0.0;
};

PaintedSolid paintedSolid(const LayoutSolid& solid, const ViewMapping& view) {
  PaintedSolid painted;
  bool any = false;
  for (const auto& face : solid.faces) {
    for (const Point& world : face) {
      const Point p = shortened(view.heightBreak, world);
      const ScreenPoint s = project(view, world);
      if (!any) {
        painted = {p, p, {s.x, s.y, s.x, s.y}, s.depth};
        any = true;
        continue;
      }
      painted.lo = {std::min(painted.lo.x, p.x), std::min(painted.lo.y, p.y),
                    std::min(painted.lo.z, p.z)};
      painted.hi = {std::max(painted.hi.x, p.x), std::max(painted.hi.y, p.y),
                    std::max(painted.hi.z, p.z)};
      painted.screen = {std::min(painted.screen.left, s.x), std::min(painted.screen.top, s.y),
                        std::max(painted.screen.right, s.x), std::max(painted.screen.bottom, s.y)};
      painted.nearest = std::min(painted.nearest, s.depth);
    }
  }
  return painted;
}

// Whether a lies wholly behind b: their boxes are apart along an axis and a is on the far side.
// A plane between two solids keeps the nearer one in front wherever the two overlap on the
// screen, so this is exact for solids in separate boxes.
bool behind(const PaintedSolid& a, const PaintedSolid& b, const Point& into) {
  for (int axis = 0; axis < 3; ++axis) {
    const double direction = coordinate(into, axis);
    if (direction > 0.0 && coordinate(a.lo, axis) >= coordinate(b.hi, axis)) return true;
    if (direction < 0.0 && coordinate(a.hi, axis) <= coordinate(b.lo, axis)) return true;
  }
  return false;
}

bool overlapOnScreen(const ScreenBox& a, const ScreenBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Painter's order of the solids, farthest first. Of two solids whose screen boxes overlap and
// whose boxes are apart along an axis, the one behind goes first; otherwise (and to break the
// cycles that interleaved solids can form) the solid whose nearest point is farther goes first,
// then the lower index. Solids with interlocking boxes may still be painted in a wrong order.
std::vector<std::size_t> paintingOrder(const LayoutScene& scene, const ViewMapping& view) {
  const std::size_t n = scene.solids.size();
  std::vector<PaintedSolid> painted;
  painted.reserve(n);
  for (const LayoutSolid& solid : scene.solids) painted.push_back(paintedSolid(solid, view));
  const Point into = viewDirection(view.kind);
  std::vector<std::vector<std::size_t>> after(n);
  std::vector<std::size_t> waitingFor(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (!overlapOnScreen(painted[i].screen, painted[j].screen)) continue;
      if (behind(painted[i], painted[j], into)) {
        after[i].push_back(j);
        ++waitingFor[j];
      } else if (behind(painted[j], painted[i], into)) {
        after[j].push_back(i);
        ++waitingFor[i];
      }
    }
  }
  auto paintsLater = [&](std::size_t a, std::size_t b) {
    if (painted[a].nearest != painted[b].nearest) return painted[a].nearest < painted[b].nearest;
    return a > b;
  };
  std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(paintsLater)> ready(
      paintsLater);
  for (std::size_t i = 0; i < n; ++i) {
    if (waitingFor[i] == 0) ready.push(i);
  }
  std::vector<bool> done(n, false);
  std::vector<std::size_t> order;
  order.reserve(n);
  while (order.size() < n) {
    std::size_t next = n;
    if (!ready.empty()) {
      next = ready.top();
      ready.pop();
      if (done[next]) continue;
    } else {  // a cycle: the farthest solid left goes first
      for (std::size_t i = 0; i < n; ++i) {
        if (!done[i] && (next == n || paintsLater(next, i))) next = i;
      }
    }
    done[next] = true;
    order.push_back(next);
    for (const std::size_t later : after[next]) {
      if (!done[later] && --waitingFor[later] == 0) ready.push(later);
    }
  }
  return order;
}

void ringPath(cairo_t* cairo, const ViewMapping& view, const std::vector<Point>& ring) {
  cairo_new_path(cairo);
  for (const Point& p : ring) {
    const ScreenPoint s = project(view, p);
    cairo_line_to(cairo, s.x, s.y);
  }
  cairo_close_path(cairo);
}

// Each solid's faces farthest centroid first, filled and then outlined, so a nearer face covers
// the outline of a face behind it. That is right for convex solids; faces of one non-convex solid
// that overlap on the screen can come out in a wrong order.
void drawSolid(cairo_t* cairo, const LayoutSolid& solid, const ViewMapping& view) {
  const Point towardsViewer = scaled(viewDirection(view.kind), -1.0);
  const Rgb base = solid.placed ? typeColour(solid.typeIndex) : unplacedColour(solid.typeIndex);
  const Rgb outline =
      solid.placed ? mix(typeColour(solid.typeIndex), Rgb{0, 0, 0}, 0.5) : kUnplacedOutlineColour;
  std::vector<std::pair<double, std::size_t>> faces;
  for (std::size_t f = 0; f < solid.faces.size(); ++f) {
    const auto& ring = solid.faces[f];
    if (ring.empty()) continue;
    double depth = 0.0;
    for (const Point& p : ring) depth += project(view, p).depth;
    faces.push_back({depth / static_cast<double>(ring.size()), f});
  }
  std::sort(faces.begin(), faces.end(), [](const auto& a, const auto& b) {
    return a.first > b.first || (a.first == b.first && a.second < b.second);
  });
  for (const auto& [depth, f] : faces) {
    const auto& ring = solid.faces[f];
    Point normal = ringNormal(ring);
    if (dot(normal, normal) > 0.0) {
      if (dot(normal, towardsViewer) < 0.0) normal = scaled(normal, -1.0);
      setColour(cairo, shadeFace(base, normal));
      ringPath(cairo, view, ring);
      cairo_fill(cairo);
    }
    setColour(cairo, outline);
    cairo_set_line_width(cairo, solid.placed ? 1.0 : 2.0);
    ringPath(cairo, view, ring);
    cairo_stroke(cairo);
  }
}

// A container edge as drawn: cut where the height break begins and ends; inside the break the
// middle third is left out and both ends get a slanted tick, the usual mark of a shortened view.
void drawContainerEdge(cairo_t* cairo, const ViewMapping& view, const LayoutEdge& edge) {
  const HeightBreak& cut = view.heightBreak;
  std::vector<double> at = {0.0, 1.0};
  const double dz = edge.end.z - edge.start.z;
  if (cut.active && dz != 0.0) {
    for (const double z : {cut.from, cut.to}) {
      const double t = (z - edge.start.z) / dz;
      if (t > 0.0 && t < 1.0) at.push_back(t);
    }
    std::sort(at.begin(), at.end());
  }
  auto pointAt = [&](double t) {
    return Point{edge.start.x + (edge.end.x - edge.start.x) * t,
                 edge.start.y + (edge.end.y - edge.start.y) * t, edge.start.z + dz * t};
  };
  setColour(cairo, kContainerColour);
  cairo_set_line_width(cairo, 1.0);
  for (std::size_t i = 0; i + 1 < at.size(); ++i) {
    const ScreenPoint a = project(view, pointAt(at[i]));
    const ScreenPoint b = project(view, pointAt(at[i + 1]));
    const double midZ = pointAt((at[i] + at[i + 1]) / 2.0).z;
    const bool broken = cut.active && dz != 0.0 && midZ > cut.from && midZ < cut.to;
    if (!broken) {
      cairo_move_to(cairo, a.x, a.y);
      cairo_line_to(cairo, b.x, b.y);
      cairo_stroke(cairo);
      continue;
    }
    const double gx = (b.x - a.x) / 3.0;
    const double gy = (b.y - a.y) / 3.0;
    cairo_move_to(cairo, a.x, a.y);
    cairo_line_to(cairo, a.x + gx, a.y + gy);
    cairo_move_to(cairo, b.x - gx, b.y - gy);
    cairo_line_to(cairo, b.x, b.y);
    for (const double k : {1.0, 2.0}) {
      const double x = a.x + gx * k;
      const double y = a.y + gy * k;
      cairo_move_to(cairo, x - 5.0, y + 2.5);
      cairo_line_to(cairo, x + 5.0, y - 2.5);
    }
    cairo_stroke(cairo);
  }
}

void drawHeightLine(cairo_t* cairo, const LayoutScene& scene, const ViewMapping& view) {
  const double z = scene.containerBottom + scene.packingHeight;
  const ScreenPoint left = project(view, {scene.containerMin.x, 0.0, z});
  const ScreenPoint right = project(view, {scene.containerMax.x, 0.0, z});
  const double row = std::floor(left.y);
  const double overhang = 8.0;
  drawRule(cairo, std::floor(left.x - overhang), row, std::floor(right.x + overhang), row,
           kHeightLineColour);
  const double labelX = std::floor(right.x + overhang) + 6.0;
  drawText(cairo, labelX, row - kTextSize * 0.7, heightLabel(scene), kHeightLineColour, kTextSize);
}

void drawView(cairo_t* cairo, const LayoutScene& scene, const ViewMapping& view, Rect panel,
              const std::string& caption) {
  cairo_save(cairo);
  cairo_rectangle(cairo, panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top);
  cairo_clip(cairo);
  drawText(cairo, panel.left + kViewMargin, panel.top + 4, caption, kTextColour, kTextSize,
           panel.right - panel.left - 2 * kViewMargin);

  // Container edges behind its middle go under the parts, the others over them: exact for a
  // convex container and the parts inside it.
  const Point centre =
      shortened(view.heightBreak, scaled({scene.containerMin.x + scene.containerMax.x,
                                          scene.containerMin.y + scene.containerMax.y,
                                          scene.containerMin.z + scene.containerMax.z},
                                         0.5));
  const double middle = viewCoordinates(view.kind, centre).z;
  auto isBack = [&](const LayoutEdge& e) {
    return project(view, e.start).depth + project(view, e.end).depth >= 2.0 * middle;
  };
  for (const LayoutEdge& edge : scene.containerEdges) {
    if (isBack(edge)) drawContainerEdge(cairo, view, edge);
  }
  for (const std::size_t i : paintingOrder(scene, view)) drawSolid(cairo, scene.solids[i], view);
  for (const LayoutEdge& edge : scene.containerEdges) {
    if (!isBack(edge)) drawContainerEdge(cairo, view, edge);
  }
  if (view.kind == ViewKind::front) drawHeightLine(cairo, scene, view);
  cairo_restore(cairo);
}

void drawSwatch(cairo_t* cairo, int x, int y, Rgb fill, Rgb outline) {
  fillRect(cairo, {x, y, x + kSwatch, y + kSwatch}, fill);
  setColour(cairo, outline);
  cairo_set_line_width(cairo, 1.0);
  cairo_rectangle(cairo, x + 0.5, y + 0.5, kSwatch - 1, kSwatch - 1);
  cairo_stroke(cairo);
}

void drawLegend(cairo_t* cairo, const LayoutScene& scene) {
  struct Entry {
    std::string name;
    std::string count;
    Rgb fill;
    Rgb outline;
  };
  const double textRoom = kLegendColumn - kSwatch - 14;
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < scene.types.size(); ++i) {
    const int type = static_cast<int>(i);
    entries.push_back({partNameAsUtf8(scene.types[i].name),
                       " x" + std::to_string(scene.types[i].count), typeColour(type),
                       mix(typeColour(type), Rgb{0, 0, 0}, 0.5)});
  }
  const auto unplaced = std::count_if(scene.solids.begin(), scene.solids.end(),
                                      [](const LayoutSolid& s) { return !s.placed; });
  if (unplaced > 0) {
    entries.push_back(
        {"unplaced", " x" + std::to_string(unplaced), kWashColour, kUnplacedOutlineColour});
  }

  const int rows = (kPictureHeight - kLegendTop) / kLegendRow;
  const int columns = (kPictureWidth - kLegendLeft) / kLegendColumn;
  const std::size_t slots = static_cast<std::size_t>(rows * columns);
  for (std::size_t i = 0; i < entries.size() && i < slots; ++i) {
    const int x = kLegendLeft + static_cast<int>(i) / rows * kLegendColumn;
    const int y = kLegendTop + static_cast<int>(i) % rows * kLegendRow;
    const double textX = x + kSwatch + 6;
    const double textY = y - 2;
    if (i + 1 == slots && entries.size() > slots) {
      drawText(cairo, textX, textY, "+" + std::to_string(entries.size() - slots + 1) + " more",
               kTextColour, kTextSize);
      break;
    }
    drawSwatch(cairo, x, y + 1, entries[i].fill, entries[i].outline);
    // The name is shortened in its middle, where names of one project differ least, so that the
    // count always shows.
    const double countWidth = textWidth(entries[i].count, kTextSize);
    const double nameRoom = std::max(0.0, textRoom - countWidth);
    const double nameWidth = std::min(textWidth(entries[i].name, kTextSize), nameRoom);
    drawText(cairo, textX, textY, entries[i].name, kTextColour, kTextSize, nameRoom,
             TextCut::middle);
    drawText(cairo, textX + nameWidth, textY, entries[i].count, kTextColour, kTextSize);
  }
}

std::string titleLine(const LayoutScene& scene) {
  const auto placed = std::count_if(scene.solids.begin(), scene.solids.end(),
                                    [](const LayoutSolid& s) { return s.placed; });
  std::string line = scene.title.empty() ? "Layout" : partNameAsUtf8(scene.title);
  line += "   parts placed: " + std::to_string(placed) + " of " +
          std::to_string(scene.solids.size()) + "   packing height " + heightLabel(scene);
  return line;
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

ScreenPoint project(const ViewMapping& view, const Point& p) {
  const Point q = viewCoordinates(view.kind, shortened(view.heightBreak, p));
  return {view.offsetX + view.scale * q.x, view.offsetY - view.scale * q.y, q.z};
}

ViewMapping isometricViewMapping(const LayoutScene& scene) {
  return frame(scene, ViewKind::isometric, isometricArea());
}

ViewMapping frontViewMapping(const LayoutScene& scene) {
  return frame(scene, ViewKind::front, frontArea(scene));
}

Rgb typeColour(int typeIndex) {
  const std::array<std::uint8_t, 3>& c = typePaletteColour(typeIndex);
  return {c[0], c[1], c[2]};
}

Rgb unplacedColour(int typeIndex) { return mix(typeColour(typeIndex), kWashColour, 0.7); }

Rgb shadeFace(Rgb colour, const Point& normal) {
  const double lit = std::max(0.0, dot(unit(normal), lightDirection()));
  const double intensity = 0.35 + 0.65 * lit;
  auto channel = [&](std::uint8_t c) {
    return static_cast<std::uint8_t>(std::min(255.0, std::floor(c * intensity + 0.5)));
  };
  return {channel(colour.r), channel(colour.g), channel(colour.b)};
}

RgbImage renderLayout(const LayoutScene& scene) {
  const std::unique_ptr<cairo_surface_t, CairoDeleter> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPictureWidth, kPictureHeight));
  const std::unique_ptr<cairo_t, CairoDeleter> owner(cairo_create(surface.get()));
  cairo_t* cairo = owner.get();
  if (cairo_status(cairo) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("内存不足, 无法绘制图片");
  }
  cairo_set_antialias(cairo, CAIRO_ANTIALIAS_GRAY);
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  fillRect(cairo, {0, 0, kPictureWidth, kPictureHeight}, kPictureBackground);

  drawText(cairo, 12, 6, titleLine(scene), kTextColour, kTextSize, kPictureWidth - 24);
  drawRule(cairo, 0, kTitleBand - 2, kPictureWidth - 1, kTitleBand - 2, kRuleColour);
  drawView(cairo, scene, isometricViewMapping(scene), kIsometricPanel,
           "Isometric view from front-left-top");
  drawRule(cairo, kFrontPanel.left, kFrontPanel.top + 6, kFrontPanel.left, kFrontPanel.bottom - 7,
           kRuleColour);
  drawView(cairo, scene, frontViewMapping(scene), kFrontPanel, "Front view (x right, z up)");
  drawRule(cairo, 0, kLegendTop - 4, kPictureWidth - 1, kLegendTop - 4, kRuleColour);
  drawLegend(cairo, scene);

  cairo_surface_flush(surface.get());
  RgbImage image = makeImage(kPictureWidth, kPictureHeight, kPictureBackground);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < kPictureHeight; ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < kPictureWidth; ++x) {
      const std::uint32_t pixel = row[x];
      setPixel(image, x, y,
               {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
                static_cast<std::uint8_t>(pixel)});
    }
  }
  return image;
}

std::vector<std::uint8_t> renderLayoutPng(const LayoutScene& scene) {
  return encodePng(renderLayout(scene));
}

void writeLayoutPicture(const std::string& path, const LayoutScene& scene) {
  const std::vector<std::uint8_t> bytes = renderLayoutPng(scene);
  // Replaced all at once, like the drawing: a failed write keeps the picture already there.
  if (!whyNotReplaceable(path).empty())
    throw std::runtime_error("\"" + messageText(path) + "\" 无法创建");
  AtomicFile file(path);
  file.stream().write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
  if (!file.commit()) {
    throw std::runtime_error("\"" + messageText(path) + "\" 无法写入 (" + file.failure() + ")");
  }
}

}  // namespace tessera
