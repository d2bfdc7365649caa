#pragma once

#include <cairo.h>

#include <string>

#include "picture/rgb_image.h"

namespace tessera {

/// How text too wide for its room is shortened; the cut is marked with an ellipsis.
enum class TextCut { end, middle };

/// Text of the picture, drawn through Pango in one font file found once through the system's
/// font configuration and then used alone, unhinted, so that the same text always gives the same
/// pixels. The font is a CJK font when one is installed, so names in any script show as their
/// characters. Strings are UTF-8. Safe to call from any thread.

/// Width in pixels of text at the given pixel size.
double textWidth(const std::string& text, double size);

/// Draws text with its top-left at (x, y), cut to at most maxWidth pixels.
void drawText(cairo_t* cairo, double x, double y, const std::string& text, Rgb colour, double size,
              double maxWidth = -1.0, TextCut cut = TextCut::end);

}  // namespace tessera
