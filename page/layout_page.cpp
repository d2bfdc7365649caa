#include "page/layout_page.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "formats/atomic_file.h"
#include "formats/number_format.h"
#include "formats/part_name.h"
#include "formats/report_writer.h"
#include "formats/type_colours.h"
#include "geometry/face_triangulation.h"
#include "model/input_error.h"

namespace tessera {

// The page template with the viewer script inlined, generated at build time from web/.
extern const unsigned char kLayoutPageTemplate[];
extern const std::size_t kLayoutPageTemplateSize;

namespace {

constexpr std::string_view kDataMark = "/*TESSERA-LAYOUT-DATA*/";

/// A JSON string of text that is UTF-8 or GBK (names from polyhedron files). "<" is escaped so
/// that no "</script" can end the data element early.
void jsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : partNameAsUtf8(std::string(text))) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20 || c == '<' || byte == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

/// A JSON number with 17 significant digits; JSON has no infinity or NaN, so those are null.
void jsonNumber(std::string& out, double value) {
  out += std::isfinite(value) ? formatExactNumber(value) : std::string("null");
}

void jsonPoint(std::string& out, const Point& p) {
  out.push_back('[');
  jsonNumber(out, p.x);
  out.push_back(',');
  jsonNumber(out, p.y);
  out.push_back(',');
  jsonNumber(out, p.z);
  out.push_back(']');
}

void jsonNumbers(std::string& out, const std::vector<double>& values) {
  out.push_back('[');
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.push_back(',');
    jsonNumber(out, values[i]);
  }
  out.push_back(']');
}

std::string colourText(int typeIndex) {
  const std::array<std::uint8_t, 3>& c = typePaletteColour(typeIndex);
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c[0], c[1], c[2]);
  return buffer;
}

/// A part's faces as one triangle list; each face has its own corners so that faces stay flat.
void jsonPartMesh(std::string& out, const Part& part) {
  std::string vertices;
  std::string triangles;
  int base = 0;
  for (const Face& face : part.faces) {
    for (const Point& p : face.points) {
      for (double v : {p.x, p.y, p.z}) {
        if (!vertices.empty()) vertices.push_back(',');
        jsonNumber(vertices, v);
      }
    }
    for (const std::array<int, 3>& t : triangulateRing(face.points)) {
      for (int corner : t) {
        if (!triangles.empty()) triangles.push_back(',');
        triangles += std::to_string(base + corner);
      }
    }
    base += static_cast<int>(face.points.size());
  }
  out += "\"vertices\":[" + vertices + "],\"triangles\":[" + triangles + "]";
}

std::string layoutJson(const Project& project, const Layout& layout, const std::string& title,
                       const SearchProgress& progress) {
  const Polyhedron& container = project.container;
  const LayoutMeasure& measure = layout.measure;
  std::string out = "{\"title\":";
  jsonString(out, title);
  out += ",\"container\":{\"min\":";
  jsonPoint(out, container.boxMin);
  out += ",\"max\":";
  jsonPoint(out, container.boxMax);
  out += ",\"edges\":[";
  for (std::size_t i = 0; i < container.edges.size(); ++i) {
    if (i > 0) out.push_back(',');
    out.push_back('[');
    jsonPoint(out, container.edges[i].start);
    out.push_back(',');
    jsonPoint(out, container.edges[i].end);
    out.push_back(']');
  }
  out += "]},\"types\":[";
  for (std::size_t i = 0; i < project.partTypes.size(); ++i) {
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    jsonString(out, project.partTypes[i].name);
    out += ",\"colour\":\"" + colourText(static_cast<int>(i)) +
           "\",\"count\":" + std::to_string(measure.copiesPerType[i]) + "}";
  }
  out += "],\"parts\":[";
  for (int i = 0; i < static_cast<int>(layout.parts.size()); ++i) {
    const PartPlacement& placement = layout.parts[static_cast<std::size_t>(i)];
    const Polyhedron part = placedSolid(project, layout, i);
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    jsonString(out, part.name);
    out += ",\"id\":" + std::to_string(part.id) + ",\"type\":" + std::to_string(placement.type) +
           ",\"placed\":" + (placement.placed ? "true" : "false") + ",\"position\":";
    jsonPoint(out, placement.boxMin);
    out += ",\"volume\":";
    jsonNumber(out, part.volume);
    out.push_back(',');
    jsonPartMesh(out, part);
    out.push_back('}');
  }
  out += "],\"containerBottom\":";
  jsonNumber(out, measure.bottom);
  out += ",\"packingHeight\":";
  jsonNumber(out, measure.height());
  out += ",\"packingHeightText\":";
  jsonString(out, reportedHeight(measure));
  out += ",\"packingDensityText\":";
  jsonString(out, reportedDensity(measure));
  // A long search would make the page large and its chart slow: a thinned series.
  const ProgressChart chart = chartOf(progress);
  out += ",\"progress\":{\"iterations\":[";
  for (std::size_t i = 0; i < chart.iterations.size(); ++i)
    out += (i > 0 ? "," : "") + std::to_string(chart.iterations[i]);
  out += "],\"best\":";
  jsonNumbers(out, chart.best);
  out += ",\"current\":";
  jsonNumbers(out, chart.current);
  out += "}}";
  return out;
}

}  // namespace

std::string layoutPageHtml(const Project& project, const Layout& layout, const std::string& title,
                           const SearchProgress& progress) {
  const std::string_view page(reinterpret_cast<const char*>(kLayoutPageTemplate),
                              kLayoutPageTemplateSize);
  const std::size_t mark = page.find(kDataMark);
  std::string html(page.substr(0, mark));
  html += layoutJson(project, layout, title, progress);
  html += page.substr(mark + kDataMark.size());
  return html;
}

void writeLayoutPageFile(const Project& project, const Layout& layout, const std::string& path,
                         const SearchProgress& progress) {
  const std::string title = std::filesystem::path(path).stem().string();
  AtomicFile file(path);
  file.stream() << layoutPageHtml(project, layout, title, progress);
  if (!file.commit()) {
    throw InputError("布局网页输出失败: \"" + messageText(path) + "\" 无法写入",
                     InputError::Channel::StandardError);
  }
}

}  // namespace tessera
