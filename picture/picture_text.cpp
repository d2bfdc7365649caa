#include "picture/picture_text.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <memory>
#include <mutex>

namespace tessera {
namespace {

// Families asked for in turn: a CJK face covers Latin too, and a name in Chinese then shows.
constexpr const char* kFamilies[] = {"Noto Sans CJK SC", "sans-serif"};

// One font file in a configuration of its own: what the system has installed beside it, and the
// system's substitution and hinting rules, cannot change the picture.
struct PinnedFont {
  PangoFontMap* map = nullptr;
  std::string family = "sans-serif";
};

PinnedFont pinFont() {
  PinnedFont pinned;
  FcConfig* system = FcInitLoadConfigAndFonts();
  FcConfig* own = FcConfigCreate();
  bool found = false;
  for (const char* family : kFamilies) {
    if (found || system == nullptr) break;
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(system, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(system, wanted, &result);
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
        FcConfigAppFontAddFile(own, file) == FcTrue) {
      pinned.family = reinterpret_cast<const char*>(name);
      found = true;
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(wanted);
  }
  if (system != nullptr) FcConfigDestroy(system);
  pinned.map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (pinned.map != nullptr && PANGO_IS_FC_FONT_MAP(pinned.map)) {
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(pinned.map), own);
  }
  FcConfigDestroy(own);  // the font map holds its own reference
  return pinned;
}

// Loaded on first use and kept: reading the font file is the slow part of drawing text.
const PinnedFont& pinnedFont() {
  static const PinnedFont font = pinFont();
  return font;
}

// Pango's font map is not safe to share between threads; text is drawn one piece at a time.
std::mutex& textMutex() {
  static std::mutex mutex;
  return mutex;
}

struct LayoutDeleter {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;

Layout makeLayout(cairo_t* cairo, const std::string& text, double size, double maxWidth,
                  TextCut cut) {
  const PinnedFont& font = pinnedFont();
  PangoContext* context = pango_font_map_create_context(font.map);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 72.0);
  if (cairo != nullptr) pango_cairo_update_context(cairo, context);

  Layout layout(pango_layout_new(context));
  g_object_unref(context);
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), description);
  pango_font_description_free(description);
  pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
  if (maxWidth >= 0.0) {
    pango_layout_set_width(layout.get(), static_cast<int>(maxWidth * PANGO_SCALE));
    pango_layout_set_ellipsize(
        layout.get(), cut == TextCut::middle ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
  }
  // Pango refuses malformed UTF-8 as a whole; a bad byte becomes U+FFFD instead.
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  pango_layout_set_text(layout.get(), valid, -1);
  g_free(valid);
  return layout;
}

}  // namespace

double textWidth(const std::string& text, double size) {
  const std::lock_guard<std::mutex> lock(textMutex());
  const Layout layout = makeLayout(nullptr, text, size, -1.0, TextCut::end);
  PangoRectangle logical{};
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

void drawText(cairo_t* cairo, double x, double y, const std::string& text, Rgb colour, double size,
              double maxWidth, TextCut cut) {
  const std::lock_guard<std::mutex> lock(textMutex());
  const Layout layout = makeLayout(cairo, text, size, maxWidth, cut);
  cairo_save(cairo);
  cairo_set_source_rgb(cairo, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
  cairo_move_to(cairo, x, y);
  pango_cairo_show_layout(cairo, layout.get());
  cairo_restore(cairo);
}

}  // namespace tessera
