#include "picture/raster_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "picture/bitmap_font.h"

namespace tessera {
namespace {

bool insideClip(const Canvas& canvas, int x, int y) {
  return x >= canvas.clip.left && x < canvas.clip.right && y >= canvas.clip.top &&
         y < canvas.clip.bottom;
}

std::size_t depthIndex(const Canvas& canvas, int x, int y) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.image.width) +
         static_cast<std::size_t>(x);
}

// Twice the signed area of (a, b, p); positive when p lies to the left of a->b in screen axes.
double edgeFunction(const ScreenPoint& a, const ScreenPoint& b, double px, double py) {
  return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// Walks a line in equal steps of at most one pixel along its longer axis, calling plot(x, y, t).
template <typename Plot>
void walkLine(double x0, double y0, double x1, double y1, Plot plot) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double length = std::max(std::fabs(dx), std::fabs(dy));
  if (!std::isfinite(length)) return;
  const int steps = std::max(1, static_cast<int>(std::ceil(length)));
  for (int k = 0; k <= steps; ++k) {
    const double t = static_cast<double>(k) / static_cast<double>(steps);
    plot(static_cast<int>(std::floor(x0 + t * dx)), static_cast<int>(std::floor(y0 + t * dy)), t);
  }
}

}  // namespace

Canvas makeCanvas(int width, int height, Rgb background) {
  Canvas canvas;
  canvas.image = makeImage(width, height, background);
  canvas.depth.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                      std::numeric_limits<double>::infinity());
  canvas.clip = {0, 0, width, height};
  return canvas;
}

void fillTriangle(Canvas& canvas, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgb colour) {
  const double area = edgeFunction(a, b, c.x, c.y);
  if (!(area != 0.0) || !std::isfinite(area)) return;  // edge-on, degenerate or not a number
  const double minX = std::min({a.x, b.x, c.x});
  const double maxX = std::max({a.x, b.x, c.x});
  const double minY = std::min({a.y, b.y, c.y});
  const double maxY = std::max({a.y, b.y, c.y});
  // Pixel i has its centre at i + 0.5.
  const int firstX = std::max(canvas.clip.left, static_cast<int>(std::ceil(minX - 0.5)));
  const int lastX = std::min(canvas.clip.right - 1, static_cast<int>(std::floor(maxX - 0.5)));
  const int firstY = std::max(canvas.clip.top, static_cast<int>(std::ceil(minY - 0.5)));
  const int lastY = std::min(canvas.clip.bottom - 1, static_cast<int>(std::floor(maxY - 0.5)));
  for (int y = firstY; y <= lastY; ++y) {
    const double py = y + 0.5;
    for (int x = firstX; x <= lastX; ++x) {
      const double px = x + 0.5;
      const double wa = edgeFunction(b, c, px, py) / area;
      const double wb = edgeFunction(c, a, px, py) / area;
      const double wc = edgeFunction(a, b, px, py) / area;
      if (wa < 0.0 || wb < 0.0 || wc < 0.0) continue;
      const double depth = wa * a.depth + wb * b.depth + wc * c.depth;
      const std::size_t at = depthIndex(canvas, x, y);
      if (!(depth < canvas.depth[at])) continue;
      canvas.depth[at] = depth;
      setPixel(canvas.image, x, y, colour);
    }
  }
}

void drawDepthLine(Canvas& canvas, ScreenPoint a, ScreenPoint b, Rgb colour, double depthSlack) {
  walkLine(a.x, a.y, b.x, b.y, [&](int x, int y, double t) {
    if (!insideClip(canvas, x, y)) return;
    const double depth = a.depth + t * (b.depth - a.depth);
    if (depth <= canvas.depth[depthIndex(canvas, x, y)] + depthSlack) {
      setPixel(canvas.image, x, y, colour);
    }
  });
}

void drawLine(Canvas& canvas, double x0, double y0, double x1, double y1, Rgb colour) {
  walkLine(x0, y0, x1, y1, [&](int x, int y, double) {
    if (insideClip(canvas, x, y)) setPixel(canvas.image, x, y, colour);
  });
}

void fillRect(Canvas& canvas, PixelRect rect, Rgb colour) {
  const int top = std::max(rect.top, canvas.clip.top);
  const int bottom = std::min(rect.bottom, canvas.clip.bottom);
  const int left = std::max(rect.left, canvas.clip.left);
  const int right = std::min(rect.right, canvas.clip.right);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) setPixel(canvas.image, x, y, colour);
  }
}

void outlineRect(Canvas& canvas, PixelRect rect, Rgb colour) {
  fillRect(canvas, {rect.left, rect.top, rect.right, rect.top + 1}, colour);
  fillRect(canvas, {rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
  fillRect(canvas, {rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
  fillRect(canvas, {rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

int textWidth(std::string_view text, int scale) {
  if (text.empty()) return 0;
  return (static_cast<int>(text.size()) * kGlyphAdvance - (kGlyphAdvance - kGlyphWidth)) * scale;
}

void drawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, int scale) {
  for (const char c : text) {
    const Glyph& glyph = glyphFor(static_cast<unsigned char>(c));
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (((glyph[row] >> (kGlyphWidth - 1 - column)) & 1U) == 0U) continue;
        const int left = x + column * scale;
        const int top = y + row * scale;
        fillRect(canvas, {left, top, left + scale, top + scale}, colour);
      }
    }
    x += kGlyphAdvance * scale;
  }
}

}  // namespace tessera
