#include "picture/layout_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "picture/bitmap_font.h"
#include "geometry/face_triangulation.h"
#include "picture/png_writer.h"
#include "formats/type_colours.h"

namespace tessera {
namespace {

constexpr int kTextScale = 2;
constexpr int kCapHeight = kGlyphCapHeight * kTextScale;
constexpr int kTitleBand = 32;
constexpr int kLegendTop = 604;
constexpr int kLegendRow = 18;
constexpr int kLegendColumn = 236;
constexpr int kLegendLeft = 12;
constexpr int kSwatch = 12;
constexpr int kViewMargin = 20;
constexpr int kCaptionBand = 30;

constexpr Rgb kTextColour{30, 30, 30};
constexpr Rgb kContainerColour{70, 70, 90};
constexpr Rgb kRuleColour{200, 200, 200};
constexpr Rgb kWashColour{215, 215, 215};

const PixelRect kIsometricPanel{0, kTitleBand, kPictureWidth / 2, kLegendTop - 4};
const PixelRect kFrontPanel{kPictureWidth / 2, kTitleBand, kPictureWidth, kLegendTop - 4};

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point scaled(const Point& p, double f) { return {p.x * f, p.y * f, p.z * f}; }

Point unit(const Point& p) { return scaled(p, 1.0 / std::sqrt(dot(p, p))); }

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

Rgb mix(Rgb a, Rgb b, double weightOfB) {
  auto channel = [&](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::floor(x + (y - x) * weightOfB + 0.5));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

std::string heightLabel(const LayoutScene& scene) {
  return "H = " + formatNumber(scene.packingHeight);
}

// Keeps text within maxWidth pixels, marking a cut with "..".
std::string fitText(const std::string& text, int maxWidth) {
  if (textWidth(text, kTextScale) <= maxWidth) return text;
  std::string cut = text;
  while (!cut.empty() && textWidth(cut + "..", kTextScale) > maxWidth) cut.pop_back();
  return cut + "..";
}

// Legend text: the name shortened in its middle, where names of one project differ least, so
// that the count always shows.
std::string legendText(const std::string& name, const std::string& suffix, int maxWidth) {
  const std::size_t room = static_cast<std::size_t>(
      (maxWidth + (kGlyphAdvance - kGlyphWidth) * kTextScale) / (kGlyphAdvance * kTextScale));
  if (name.size() + suffix.size() <= room) return name + suffix;
  if (room < suffix.size() + 4) return fitText(name + suffix, maxWidth);
  const std::size_t keep = room - suffix.size() - 2;
  return name.substr(0, (keep + 1) / 2) + ".." + name.substr(name.size() - keep / 2) + suffix;
}

ViewMapping frame(const LayoutScene& scene, ViewKind kind, PixelRect area) {
  double uMin = 0.0, uMax = 0.0, vMin = 0.0, vMax = 0.0;
  bool any = false;
  auto include = [&](const Point& world) {
    const Point p = viewCoordinates(kind, world);
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
  return view;
}

PixelRect isometricArea() {
  return {kIsometricPanel.left + kViewMargin, kIsometricPanel.top + kCaptionBand,
          kIsometricPanel.right - kViewMargin, kIsometricPanel.bottom - kViewMargin};
}

// The front view leaves room on its right for the height label.
PixelRect frontArea(const LayoutScene& scene) {
  const int label = textWidth(heightLabel(scene), kTextScale) + 16;
  return {kFrontPanel.left + kViewMargin, kFrontPanel.top + kCaptionBand,
          kFrontPanel.right - kViewMargin - label, kFrontPanel.bottom - kViewMargin};
}

void drawSolids(Canvas& canvas, const LayoutScene& scene, const ViewMapping& view) {
  const Point towardsViewer = scaled(viewDirection(view.kind), -1.0);
  for (const LayoutSolid& solid : scene.solids) {
    const Rgb base = solid.placed ? typeColour(solid.typeIndex) : unplacedColour(solid.typeIndex);
    for (const auto& face : solid.faces) {
      Point normal = ringNormal(face);
      if (!(dot(normal, normal) > 0.0)) continue;
      if (dot(normal, towardsViewer) < 0.0) normal = scaled(normal, -1.0);
      const Rgb colour = shadeFace(base, normal);
      for (const auto& triangle : triangulateRing(face)) {
        fillTriangle(canvas, project(view, face[triangle[0]]), project(view, face[triangle[1]]),
                     project(view, face[triangle[2]]), colour);
      }
    }
  }
}

void drawEdges(Canvas& canvas, const LayoutScene& scene, const ViewMapping& view) {
  // Lines may sit this far behind the surface drawn at their pixel: enough for the edges of that
  // very surface, too little for edges hidden behind another part.
  const double slack = 2.0 / view.scale;
  for (const LayoutEdge& edge : scene.containerEdges) {
    drawDepthLine(canvas, project(view, edge.start), project(view, edge.end), kContainerColour,
                  slack);
  }
  // Parts left unplaced go last so that their red outline is never painted over.
  for (const bool placed : {true, false}) {
    for (const LayoutSolid& solid : scene.solids) {
      if (solid.placed != placed) continue;
      const Rgb colour =
          placed ? mix(typeColour(solid.typeIndex), Rgb{0, 0, 0}, 0.5) : kUnplacedOutlineColour;
      for (const auto& face : solid.faces) {
        for (std::size_t i = 0; i < face.size(); ++i) {
          drawDepthLine(canvas, project(view, face[i]), project(view, face[(i + 1) % face.size()]),
                        colour, slack);
        }
      }
    }
  }
}

void drawHeightLine(Canvas& canvas, const LayoutScene& scene, const ViewMapping& view) {
  const double z = scene.containerBottom + scene.packingHeight;
  const ScreenPoint left = project(view, {scene.containerMin.x, 0.0, z});
  const ScreenPoint right = project(view, {scene.containerMax.x, 0.0, z});
  const double row = std::floor(left.y);
  const double overhang = 8.0;
  drawLine(canvas, left.x - overhang, row, right.x + overhang, row, kHeightLineColour);
  const int labelX = static_cast<int>(std::floor(right.x + overhang)) + 6;
  const int labelY = static_cast<int>(row) - kCapHeight / 2;
  drawText(canvas, labelX, labelY, heightLabel(scene), kHeightLineColour, kTextScale);
}

void drawView(Canvas& canvas, const LayoutScene& scene, const ViewMapping& view, PixelRect panel,
              const std::string& caption) {
  canvas.clip = panel;
  drawText(canvas, panel.left + kViewMargin, panel.top + 6,
           fitText(caption, panel.right - panel.left - 2 * kViewMargin), kTextColour, kTextScale);
  drawSolids(canvas, scene, view);
  drawEdges(canvas, scene, view);
  if (view.kind == ViewKind::front) drawHeightLine(canvas, scene, view);
  canvas.clip = {0, 0, canvas.image.width, canvas.image.height};
}

void drawSwatch(Canvas& canvas, int x, int y, Rgb fill, Rgb outline) {
  const PixelRect box{x, y, x + kSwatch, y + kSwatch};
  fillRect(canvas, box, fill);
  outlineRect(canvas, box, outline);
}

void drawLegend(Canvas& canvas, const LayoutScene& scene) {
  struct Entry {
    std::string text;
    Rgb fill;
    Rgb outline;
  };
  const int textRoom = kLegendColumn - kSwatch - 14;
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < scene.types.size(); ++i) {
    const int type = static_cast<int>(i);
    entries.push_back({legendText(scene.types[i].name, " x" + std::to_string(scene.types[i].count),
                                  textRoom),
                       typeColour(type), mix(typeColour(type), Rgb{0, 0, 0}, 0.5)});
  }
  const auto unplaced = std::count_if(scene.solids.begin(), scene.solids.end(),
                                      [](const LayoutSolid& s) { return !s.placed; });
  if (unplaced > 0) {
    entries.push_back({"unplaced x" + std::to_string(unplaced), kWashColour,
                       kUnplacedOutlineColour});
  }

  const int rows = (kPictureHeight - kLegendTop) / kLegendRow;
  const int columns = (kPictureWidth - kLegendLeft) / kLegendColumn;
  const std::size_t slots = static_cast<std::size_t>(rows * columns);
  for (std::size_t i = 0; i < entries.size() && i < slots; ++i) {
    const int x = kLegendLeft + static_cast<int>(i) / rows * kLegendColumn;
    const int y = kLegendTop + static_cast<int>(i) % rows * kLegendRow;
    if (i + 1 == slots && entries.size() > slots) {
      std::string more = std::to_string(entries.size() - slots + 1);
      more.insert(more.begin(), '+');
      more += " more";
      drawText(canvas, x + kSwatch + 6, y, more, kTextColour, kTextScale);
      break;
    }
    drawSwatch(canvas, x, y + 1, entries[i].fill, entries[i].outline);
    drawText(canvas, x + kSwatch + 6, y, entries[i].text, kTextColour, kTextScale);
  }
}

std::string titleLine(const LayoutScene& scene) {
  const auto placed = std::count_if(scene.solids.begin(), scene.solids.end(),
                                    [](const LayoutSolid& s) { return s.placed; });
  std::string line = scene.title.empty() ? "Layout" : scene.title;
  line += "   parts placed: " + std::to_string(placed) + " of " +
          std::to_string(scene.solids.size()) + "   packing height " + heightLabel(scene);
  return fitText(line, kPictureWidth - 24);
}

}  // namespace

ScreenPoint project(const ViewMapping& view, const Point& p) {
  const Point q = viewCoordinates(view.kind, p);
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
  Canvas canvas = makeCanvas(kPictureWidth, kPictureHeight, kPictureBackground);
  drawText(canvas, 12, 9, titleLine(scene), kTextColour, kTextScale);
  fillRect(canvas, {0, kTitleBand - 2, kPictureWidth, kTitleBand - 1}, kRuleColour);
  drawView(canvas, scene, isometricViewMapping(scene), kIsometricPanel,
           "Isometric view from front-left-top");
  fillRect(canvas,
           {kFrontPanel.left, kFrontPanel.top + 6, kFrontPanel.left + 1, kFrontPanel.bottom - 6},
           kRuleColour);
  drawView(canvas, scene, frontViewMapping(scene), kFrontPanel,
           "Front view (x right, z up)");
  fillRect(canvas, {0, kLegendTop - 4, kPictureWidth, kLegendTop - 3}, kRuleColour);
  drawLegend(canvas, scene);
  return std::move(canvas.image);
}

std::vector<std::uint8_t> renderLayoutPng(const LayoutScene& scene) {
  return encodePng(renderLayout(scene));
}

void writeLayoutPicture(const std::string& path, const LayoutScene& scene) {
  const std::vector<std::uint8_t> bytes = renderLayoutPng(scene);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot open " + path + " for writing");
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace tessera
