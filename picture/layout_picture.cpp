#include "picture/layout_picture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "formats/number_format.h"
#include "formats/part_name.h"
#include "geometry/face_triangulation.h"
#include "picture/painter_order.h"
#include "picture/palette.h"
#include "picture/picture_text.h"
#include "picture/png_writer.h"
#include "picture/vectors.h"

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

const PixelArea kIsometricPanel{0, kTitleBand, kPictureWidth / 2, kLegendTop - 4};
const PixelArea kFrontPanel{kPictureWidth / 2, kTitleBand, kPictureWidth, kLegendTop - 4};

std::string heightLabel(const LayoutScene& scene) {
  return "H = " + formatNumber(scene.packingHeight);
}

PixelArea isometricArea() {
  return {kIsometricPanel.left + kViewMargin, kIsometricPanel.top + kCaptionBand,
          kIsometricPanel.right - kViewMargin, kIsometricPanel.bottom - kViewMargin};
}

// The front view leaves room on its right for the height label.
PixelArea frontArea(const LayoutScene& scene) {
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

void fillRect(cairo_t* cairo, PixelArea rect, Rgb colour) {
  setColour(cairo, colour);
  cairo_rectangle(cairo, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  cairo_fill(cairo);
}

void ringPath(cairo_t* cairo, const ViewMapping& view, const std::vector<Point>& ring) {
  cairo_new_path(cairo);
  for (const Point& p : ring) {
    const ScreenPoint s = project(view, p);
    cairo_line_to(cairo, s.x, s.y);
  }
  cairo_close_path(cairo);
}

// Each face filled and then outlined, so a nearer face covers the outline of a face behind it.
void drawSolid(cairo_t* cairo, const LayoutSolid& solid, const ViewMapping& view) {
  const Point towardsViewer = scaled(viewDirection(view.kind), -1.0);
  const Rgb base = solid.placed ? typeColour(solid.typeIndex) : unplacedColour(solid.typeIndex);
  const Rgb outline = solid.placed ? typeOutlineColour(solid.typeIndex) : kUnplacedOutlineColour;
  for (const std::size_t f : faceOrder(solid, view)) {
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

void drawView(cairo_t* cairo, const LayoutScene& scene, const ViewMapping& view, PixelArea panel,
              const std::string& caption) {
  cairo_save(cairo);
  cairo_rectangle(cairo, panel.left, panel.top, panel.right - panel.left, panel.bottom - panel.top);
  cairo_clip(cairo);
  drawText(cairo, panel.left + kViewMargin, panel.top + 4, caption, kTextColour, kTextSize,
           panel.right - panel.left - 2 * kViewMargin);

  // Container edges behind its middle go under the parts, the others over them: exact for a
  // convex container and the parts inside it.
  const Point centre =
      drawnPoint(view.heightBreak, scaled({scene.containerMin.x + scene.containerMax.x,
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
  for (const std::size_t i : paintingOrder(scene.solids, view))
    drawSolid(cairo, scene.solids[i], view);
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
                       typeOutlineColour(type)});
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

ViewMapping isometricViewMapping(const LayoutScene& scene) {
  return fitView(scene, ViewKind::isometric, isometricArea());
}

ViewMapping frontViewMapping(const LayoutScene& scene) {
  return fitView(scene, ViewKind::front, frontArea(scene));
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

}  // namespace tessera
