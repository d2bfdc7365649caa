#pragma once

#include <string_view>
#include <vector>

#include "picture/rgb_image.h"

namespace tessera {

/// A vertex on the screen. Pixel (i, j) covers [i, i+1) x [j, j+1), rows grow downwards;
/// depth grows away from the viewer.
struct ScreenPoint {
  double x = 0.0;
  double y = 0.0;
  double depth = 0.0;
};

/// Pixels left <= x < right, top <= y < bottom.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

/// A picture with a depth buffer; nothing is drawn outside clip.
struct Canvas {
  RgbImage image;
  std::vector<double> depth;  // +infinity where no triangle has been drawn
  PixelRect clip;
};

Canvas makeCanvas(int width, int height, Rgb background);

/// Fills the pixels whose centres lie in the triangle, edges included, where the interpolated
/// depth is strictly nearer than the buffer; of two equal depths the first drawn stays.
void fillTriangle(Canvas& canvas, ScreenPoint a, ScreenPoint b, ScreenPoint c, Rgb colour);

/// A one-pixel line drawn where it lies at most depthSlack behind the buffer; depth unchanged.
void drawDepthLine(Canvas& canvas, ScreenPoint a, ScreenPoint b, Rgb colour, double depthSlack);

/// A one-pixel line over everything; depth unchanged.
void drawLine(Canvas& canvas, double x0, double y0, double x1, double y1, Rgb colour);

void fillRect(Canvas& canvas, PixelRect rect, Rgb colour);
void outlineRect(Canvas& canvas, PixelRect rect, Rgb colour);

/// Width in pixels of text drawn at the given scale.
int textWidth(std::string_view text, int scale);
/// Draws text with the top-left of its first cell at (x, y), each font pixel as scale x scale.
void drawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, int scale);

}  // namespace tessera
