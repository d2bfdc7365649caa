#include "formats/polyhedron_reader.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <utility>
#include <vector>

#include "formats/text_lines.h"
#include "platform/encoding.h"

namespace tessera {

namespace {

const char* const kEndVertexList = "EndVertexList";
const char* const kEndEdgeList = "EndEdgeList";
const char* const kEndFaceList = "EndFaceList";
const char* const kVolumeForm = "体积行应为一个数";
const char* const kReferenceForm = "参考点行应为三个数 x,y,z";
const char* const kVertexForm = "顶点行应为 序号,x,y,z (一个整数和三个数)";
const char* const kEdgeForm = "棱行应为 序号,起点,终点 (三个整数)";
const char* const kFaceForm = "面行应为 序号,顶点数, 和各顶点序号 (都是整数)";

double finite(double value, const TextLines& lines, const char* what) {
  if (!std::isfinite(value)) throw lines.error(std::string(what) + "不是有限数");
  return value;
}

// Reads the next line of a section; false at the section's end marker.
bool nextInSection(TextLines& lines, std::string& line, const char* marker) {
  line = lines.require(marker);
  return line != marker;
}

const Point& vertexAt(const std::vector<Point>& vertices, long index, const TextLines& lines) {
  if (index < 0 || static_cast<unsigned long>(index) >= vertices.size()) {
    throw lines.error("顶点序号 " + std::to_string(index) + " 超出范围 (0.." +
                      std::to_string(static_cast<long>(vertices.size()) - 1) + ")");
  }
  return vertices[static_cast<std::size_t>(index)];
}

Point readPoint(NumberCursor& cursor, const TextLines& lines, const char* what) {
  Point p;
  p.x = finite(cursor.decimal(), lines, what);
  cursor.skip();
  p.y = finite(cursor.decimal(), lines, what);
  cursor.skip();
  p.z = finite(cursor.decimal(), lines, what);
  return p;
}

}  // namespace

Polyhedron readPolyhedron(const std::string& path, PolyhedronRole role,
                          std::vector<std::string>* warnings) {
  std::ifstream in = openInputFile(path);
  return parsePolyhedron(in, path, role, warnings);
}

Polyhedron parsePolyhedron(std::istream& in, const std::string& path, PolyhedronRole role,
                           std::vector<std::string>* warnings) {
  TextLines lines(in, path);
  Polyhedron poly;
  const bool part = role == PolyhedronRole::part;

  lines.require("名称行");
  lines.require("名称行");
  poly.name = lines.require("名称行");
  if (poly.name.size() > kMaxNameLineLength) {
    throw lines.error("名称过长 (最多 " + std::to_string(kMaxNameLineLength) + " 个字符)");
  }

  lines.require("体积行");
  {
    const std::string line = lines.require("体积行");
    NumberCursor cursor(lines, line, kVolumeForm);
    if (part) {
      poly.volume = finite(cursor.decimal(), lines, "体积");
      cursor.finishSingle();
      // Efficiencies divide by the parts' volumes: one that is not positive makes a packing
      // that fills nothing look best.
      if (!(poly.volume > 0.0))
        throw lines.error("体积必须是正数, 读到 \"" + platform::messageText(line) + "\"");
    } else {
      poly.volume = cursor.decimalOrZero();
    }
  }
  lines.require("参考点行");
  {
    const std::string line = lines.require("参考点行");
    NumberCursor cursor(lines, line, kReferenceForm);
    if (part) {
      poly.referencePoint = readPoint(cursor, lines, "参考点坐标");
      cursor.finish();
    } else {
      poly.referencePoint.x = cursor.decimalOrZero();
      cursor.skip();
      poly.referencePoint.y = cursor.decimalOrZero();
      cursor.skip();
      poly.referencePoint.z = cursor.decimalOrZero();
    }
  }
  lines.require(kEndVertexList);

  std::string line;
  while (nextInSection(lines, line, kEndVertexList)) {
    NumberCursor cursor(lines, line, kVertexForm);
    cursor.integer();  // the id: vertices are addressed by position
    cursor.skip();
    poly.vertices.push_back(readPoint(cursor, lines, "顶点坐标"));
    cursor.finish();
  }
  if (poly.vertices.empty()) throw lines.error("多面体没有顶点");

  lines.require(kEndEdgeList);
  while (nextInSection(lines, line, kEndEdgeList)) {
    NumberCursor cursor(lines, line, kEdgeForm);
    cursor.integer();
    cursor.skip();
    const long a = cursor.integer();
    cursor.skip();
    const long b = cursor.lastInteger();
    cursor.finish();
    poly.edges.push_back(
        Edge::between(vertexAt(poly.vertices, a, lines), vertexAt(poly.vertices, b, lines)));
  }

  lines.require(kEndFaceList);
  while (nextInSection(lines, line, kEndFaceList)) {
    NumberCursor cursor(lines, line, kFaceForm);
    cursor.integer();
    cursor.skip();
    const long n = cursor.integer();
    if (n < 3) throw lines.error("面的顶点数 " + std::to_string(n) + " 少于 3");
    cursor.skip(2);
    // n comes from the file: the ring grows with the indices actually present.
    std::vector<Point> ring;
    for (long i = 0; i < n; ++i) {
      if (i > 0) cursor.skip();
      if (cursor.atEnd()) {
        std::string detail =
            "面只有 " + std::to_string(i) + " 个顶点序号, 应有 " + std::to_string(n) + " 个";
        // "0,4, 0,3,2," ends in a separator with no index after it.
        const auto last = static_cast<unsigned char>(line.back());
        if (i > 0 && last < 0x80 && std::ispunct(last))
          detail += "; 行末的 \"" + line.substr(line.size() - 1) + "\" 之后没有序号";
        throw lines.error(detail);
      }
      const long index = i + 1 < n ? cursor.integer() : cursor.lastInteger();
      ring.push_back(vertexAt(poly.vertices, index, lines));
    }
    cursor.finish();
    Face face;
    face.setPoints(std::move(ring));
    poly.faces.push_back(std::move(face));
  }

  poly.computeBoundingBox();
  if (const std::string warning = lines.ignoredNumbersWarning(); warnings && !warning.empty())
    warnings->push_back(warning);
  return poly;
}

}  // namespace tessera
