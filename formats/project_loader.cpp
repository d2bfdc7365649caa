#include "formats/project_loader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "formats/polyhedron_reader.h"
#include "formats/text_lines.h"
#include "geometry/orientations.h"
#include "model/solid_checks.h"
#include "platform/encoding.h"
#include "platform/memory.h"

namespace tessera {

namespace {

const char* const kEndFile = "#EndFile";

// A path line holds the path between two quotation marks, which are dropped. A line without
// them would lose its first and last characters, so it is refused.
std::string pathOf(const std::string& line, const TextLines& lines) {
  const bool quoted = line.size() >= 2 && line.front() == line.back() &&
                      (line.front() == '"' || line.front() == '\'');
  if (!quoted) throw lines.error("路径两端缺少双引号: " + platform::messageText(line));
  return line.substr(1, line.size() - 2);
}

// A declared volume this far from the enclosed one (as a fraction of the larger) is worth a
// warning; a packing shape may carry its part's true volume on purpose.
constexpr double kVolumeMismatch = 0.01;

InputError solidError(const std::string& path, const std::string& detail) {
  return InputError("文件\"" + platform::messageText(path) + "\": " + detail);
}

// What both the container and a part must be: a solid with faces around some volume.
void checkSolid(const Polyhedron& poly, const std::string& path) {
  if (poly.faces.empty()) throw solidError(path, "多面体没有面, 不是实体");
  if (!enclosesVolume(poly)) throw solidError(path, "多面体的面围不出体积 (面都退化了), 不是实体");
}

void checkContainer(const Polyhedron& container, const std::string& path) {
  const Point size = minus(container.boxMax, container.boxMin);
  const double extents[] = {size.x, size.y, size.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (!(extents[axis] > 0.0)) {
      throw solidError(
          path, std::string("容器在 ") + "xyz"[axis] + " 方向的尺寸为 0: 容器必须有长、宽、高");
    }
  }
  checkSolid(container, path);
}

std::optional<std::string> volumeWarning(const Polyhedron& part, const std::string& path) {
  const double enclosed = std::fabs(enclosedVolume(part));
  if (std::fabs(part.volume - enclosed) <= kVolumeMismatch * std::max(part.volume, enclosed))
    return std::nullopt;
  std::ostringstream text;
  text << "警告: 文件\"" << platform::messageText(path) << "\"中写明的体积 " << part.volume
       << " 与其面围成的体积 " << enclosed << " 相差甚远; 排样效率按写明的体积计算。";
  return text.str();
}

bool pointLess(const Point& a, const Point& b) {
  return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
}

bool ringLess(const std::vector<Point>& a, const std::vector<Point>& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), pointLess);
}

// One solid in two files: the same volume, reference point, vertices and face rings, where
// the vertices and the faces may be listed in another order (each ring as written). Copies
// of the two are then placed alike, which is what one type needs.
bool sameSolid(const Polyhedron& a, const Polyhedron& b) {
  if (a.volume != b.volume || !(a.referencePoint == b.referencePoint) ||
      a.vertices.size() != b.vertices.size() || a.faces.size() != b.faces.size())
    return false;
  std::vector<Point> va = a.vertices, vb = b.vertices;
  std::sort(va.begin(), va.end(), pointLess);
  std::sort(vb.begin(), vb.end(), pointLess);
  if (va != vb) return false;
  const auto rings = [](const Polyhedron& p) {
    std::vector<std::vector<Point>> out;
    for (const Face& face : p.faces) out.push_back(face.points);
    std::sort(out.begin(), out.end(), ringLess);
    return out;
  };
  return rings(a) == rings(b);
}

// Bytes one copy of poly holds: the record and every array it owns, each array with the few
// words an allocator keeps beside it.
std::int64_t copyBytes(const Polyhedron& poly) {
  constexpr std::int64_t kBesideEachAllocation = 16;
  const auto array = [](std::size_t count, std::size_t size) -> std::int64_t {
    return count == 0 ? 0 : static_cast<std::int64_t>(count * size) + kBesideEachAllocation;
  };
  std::int64_t bytes = static_cast<std::int64_t>(sizeof(Polyhedron)) + array(poly.name.size(), 1) +
                       array(poly.vertices.size(), sizeof(Point)) +
                       array(poly.edges.size(), sizeof(Edge)) +
                       array(poly.faces.size(), sizeof(Face)) + array(poly.bitmap.size(), 1);
  for (const Face& face : poly.faces) bytes += array(face.points.size(), sizeof(Point));
  return bytes;
}

// Every copy is held twice: in the project and, as the parts of a layout being made, by the
// evaluation.
std::int64_t loadedCopyBytes(const Polyhedron& part) { return 2 * copyBytes(part); }

// Refuses, before any copy is made, copies that would not fit in availableBytes (< 0: unknown).
void checkCopiesFit(const ProjectFile& project, const std::vector<Polyhedron>& blockParts,
                    const std::string& projectPath, std::int64_t availableBytes) {
  if (availableBytes < 0) return;
  std::int64_t bytes = 0;
  long copies = 0;
  for (std::size_t b = 0; b < project.blocks.size(); ++b) {
    const long count = std::max(project.blocks[b].copyCount, 0L);
    bytes += count * loadedCopyBytes(blockParts[b]);
    copies += count;
  }
  if (bytes <= availableBytes) return;
  const auto mebibytes = [](std::int64_t n) { return (n + (1 << 20) - 1) >> 20; };
  throw InputError("文件\"" + platform::messageText(projectPath) + "\": " + std::to_string(copies) +
                   " 个零件副本约需 " + std::to_string(mebibytes(bytes)) +
                   " MiB 内存, 而本进程只有 " + std::to_string(mebibytes(availableBytes)) +
                   " MiB 可用; 请减少份数。");
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The optional lines after a block's copy count, in either order, then the line that closes
// the block. The rule is the first word of its line: a note after it is passed over.
void readBlockOptions(TextLines& lines, int RN, ProjectBlock& block) {
  bool turnsRead = false;
  bool fillerRead = false;
  for (std::string line = lines.require(kEndFile);; line = lines.require(kEndFile)) {
    const std::string word = trimmed(line);
    if (word == kTurnsLine && !turnsRead) {
      const std::string rest = trimmed(lines.require("转动规则"));
      const std::string text = rest.substr(0, rest.find_first_of(" \t"));
      const std::optional<TurnRule> rule = parseTurnRule(text);
      if (!rule) {
        throw lines.error("转动规则 \"" + platform::messageText(text) +
                          "\" 不存在; 可写的规则: " + kTurnRuleForms);
      }
      if (!ruleLeavesATurn(*rule, RN)) {
        throw lines.error("转动规则 \"" + platform::messageText(text) +
                          "\" 在 RN=" + std::to_string(RN) +
                          " 的方向中一个也不允许: 零件无法放置; 请改用别的规则或更大的 RN");
      }
      block.turns = *rule;
      turnsRead = true;
    } else if (word == kFillerLine && !fillerRead) {
      block.filler = true;
      fillerRead = true;
    } else {
      return;  // the closing line
    }
    block.ruleLine = lines.lineNumber();
  }
}

}  // namespace

ProjectFile parseProjectFile(std::istream& in, const std::string& path,
                             std::vector<std::string>* warnings) {
  TextLines lines(in, path);
  ProjectFile project;

  {
    const std::string line = lines.require("PBSL 行");
    NumberCursor cursor(lines, line, "PBSL 行应为 \"PBSL=\" 后跟一个数 (单元边长)", 5);
    project.PBSL = cursor.decimal();
    cursor.finishSingle();
    if (!(project.PBSL > 0.0) || !std::isfinite(project.PBSL)) {
      throw lines.error("PBSL 必须是正的有限数");
    }
  }
  {
    const std::string line = lines.require("RN 行");
    NumberCursor cursor(lines, line, "RN 行应为 \"RN=\" 后跟一个数", 3);
    const double rn = std::trunc(cursor.decimal());
    cursor.finishSingle();
    if (!(rn >= 1.0)) {
      throw lines.error("RN 必须至少为 1: RN 是零件每半圈转动的步数, 零件的方向由它生成; 读到 \"" +
                        platform::messageText(line) + "\", 零件没有方向, 一个也放不下");
    }
    // The orientation table holds 4*RN*(RN*(RN-1)+1) entries, counted in a 32-bit integer.
    if (rn > 1000.0 || orientationCountFor(static_cast<int>(rn)) > INT_MAX) {
      throw lines.error("RN 过大");
    }
    project.RN = static_cast<int>(rn);
  }
  lines.require("容器文件行");
  project.containerPath = pathOf(lines.require("容器文件行"), lines);

  long totalParts = 0;
  while (lines.require(kEndFile) != kEndFile) {
    ProjectBlock block;
    block.partPath = pathOf(lines.require(kEndFile), lines);
    block.pathLine = lines.lineNumber();
    lines.require(kEndFile);
    {
      const std::string line = lines.require(kEndFile);
      NumberCursor cursor(lines, line, "份数行应为一个整数");
      block.copyCount = cursor.lastInteger();
      cursor.finishSingle();
      block.countLine = lines.lineNumber();
    }
    // Like a count of 0, a count below 0 lists the type and makes no part.
    if (block.copyCount < 0 && warnings) {
      warnings->push_back(lines.warning("份数 " + std::to_string(block.copyCount) +
                                        " 小于 0, 按 0 计: 零件类型照列, 但不生成零件"));
    }
    if (block.copyCount > 0) {
      if (block.copyCount > kMaxProjectParts - totalParts) {
        throw lines.error("零件总数超过 " + std::to_string(kMaxProjectParts));
      }
      totalParts += block.copyCount;
    }
    readBlockOptions(lines, project.RN, block);
    project.blocks.push_back(std::move(block));
  }
  if (const std::string warning = lines.ignoredNumbersWarning(); warnings && !warning.empty())
    warnings->push_back(warning);
  return project;
}

std::vector<std::string> loadProject(Project& loaded, const std::string& projectPath) {
  std::vector<std::string> warnings;
  ProjectFile file;
  {
    std::ifstream in = openInputFile(projectPath);
    file = parseProjectFile(in, projectPath, &warnings);
  }

  Project project;
  project.PBSL = file.PBSL;
  project.RN = file.RN;
  project.container = readPolyhedron(file.containerPath, PolyhedronRole::container, &warnings);
  checkContainer(project.container, file.containerPath);
  // The first file read under each name, with its path: parts are told apart by name, so
  // two shapes under one name would be searched as one type.
  std::unordered_map<std::string, std::pair<Polyhedron, std::string>> firstByName;
  for (const ProjectBlock& block : file.blocks) {
    Polyhedron scratch = readPolyhedron(block.partPath, PolyhedronRole::part, &warnings);
    checkSolid(scratch, block.partPath);
    if (auto warning = volumeWarning(scratch, block.partPath)) warnings.push_back(*warning);
    const auto [first, isNew] = firstByName.try_emplace(scratch.name, scratch, block.partPath);
    if (!isNew && !sameSolid(first->second.first, scratch)) {
      throw solidError(block.partPath, "与文件\"" + platform::messageText(first->second.second) +
                                           "\"的名称行相同 (\"" +
                                           platform::messageText(scratch.name) +
                                           "\"), 形状却不同; 不同的零件须有不同的名称");
    }
    const int typeIndex = static_cast<int>(project.partTypes.size());
    project.partTypes.push_back({scratch.name, typeIndex, block.filler, block.turns});
    // Parts are told apart by name: one name must turn and fill alike in every block.
    const PartType& named =
        project.partTypes[static_cast<std::size_t>(typeIndexOf(project.partTypes, scratch.name))];
    if (!(named.turns == block.turns) || named.filler != block.filler) {
      throw lineError(projectPath, block.ruleLine != 0 ? block.ruleLine : block.countLine,
                      "零件文件\"" + platform::messageText(block.partPath) + "\"与文件\"" +
                          platform::messageText(first->second.second) + "\"的名称行相同 (\"" +
                          platform::messageText(scratch.name) +
                          "\"), 转动规则或填充标记却不同; 同名零件须一致");
    }
    scratch.cellSide = project.PBSL;
    project.sources.push_back(std::move(scratch));
  }
  checkCopiesFit(file, project.sources, projectPath, platform::availableMemoryBytes().value_or(-1));

  // The copies go to the front block by block, then are sorted by volume; the sort sees only
  // volumes, so stand-ins that carry each copy's part file settle the order.
  PartList order;
  for (std::size_t b = 0; b < file.blocks.size(); ++b) {
    Part standIn;
    standIn.volume = project.sources[b].volume;
    standIn.id = static_cast<int>(b);
    for (long i = 0; i < file.blocks[b].copyCount; ++i) order.pushFront(standIn);
  }
  order.sortByVolumeDescending();
  std::vector<int> sources;
  for (const Part& standIn : order) sources.push_back(standIn.id);
  parkParts(project, sources);

  loaded = std::move(project);
  return warnings;
}

}  // namespace tessera
