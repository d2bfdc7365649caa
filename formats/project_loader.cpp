#include "formats/project_loader.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <utility>

#include "geometry/orientations.h"
#include "formats/polyhedron_reader.h"
#include "formats/text_lines.h"

namespace tessera {

namespace {

const char* const kEndFile = "#EndFile";

// A path line holds the path between two quotation marks, which are dropped unexamined.
std::string pathOf(const std::string& line) {
  return line.size() < 2 ? std::string() : line.substr(1, line.size() - 2);
}

}  // namespace

ProjectFile parseProjectFile(std::istream& in, const std::string& path) {
  TextLines lines(in, path);
  ProjectFile project;

  {
    const std::string line = lines.require("PBSL 行");
    NumberCursor cursor(line, 5);
    project.PBSL = cursor.decimal();
    if (!(project.PBSL > 0.0) || !std::isfinite(project.PBSL)) {
      throw lines.error("PBSL 必须是正的有限数");
    }
  }
  {
    const std::string line = lines.require("RN 行");
    NumberCursor cursor(line, 3);
    const double rn = std::trunc(cursor.decimal());
    if (std::isnan(rn) || rn < 0.0) throw lines.error("RN 必须是非负数");
    // The orientation table holds 4*RN*(RN*(RN-1)+1) entries, counted in a 32-bit integer.
    if (rn > 1000.0 || orientationCountFor(static_cast<int>(rn)) > INT_MAX) {
      throw lines.error("RN 过大");
    }
    project.RN = static_cast<int>(rn);
  }
  lines.require("容器文件行");
  project.containerPath = pathOf(lines.require("容器文件行"));

  long totalParts = 0;
  while (lines.require(kEndFile) != kEndFile) {
    ProjectBlock block;
    block.partPath = pathOf(lines.require(kEndFile));
    block.pathLine = lines.lineNumber();
    lines.require(kEndFile);
    {
      const std::string line = lines.require(kEndFile);
      NumberCursor cursor(line);
      block.copyCount = cursor.integer();
      block.countLine = lines.lineNumber();
    }
    if (block.copyCount > 0) {
      if (block.copyCount > kMaxProjectParts - totalParts) {
        throw lines.error("零件总数超过 " + std::to_string(kMaxProjectParts));
      }
      totalParts += block.copyCount;
    }
    lines.require(kEndFile);
    project.blocks.push_back(std::move(block));
  }
  return project;
}

void loadProject(PackingSystem& system, const std::string& projectPath) {
  ProjectFile project;
  {
    std::ifstream in = openInputFile(projectPath);
    project = parseProjectFile(in, projectPath);
  }

  Polyhedron container = readPolyhedron(project.containerPath);
  std::vector<PartType> partTypes;
  PartList parts;
  for (const ProjectBlock& block : project.blocks) {
    const Polyhedron scratch = readPolyhedron(block.partPath);
    partTypes.push_back({scratch.name, static_cast<int>(partTypes.size())});
    for (long i = 0; i < block.copyCount; ++i) parts.pushFront(scratch);
  }

  for (Part& part : parts) part.cellSide = project.PBSL;
  parts.sortByVolumeDescending();
  int id = 0;
  for (Part& part : parts) {
    part.move({container.boxMax.x - part.boxMin.x, container.boxMax.y - part.boxMin.y,
                    container.boxMax.z - part.boxMin.z});
    part.id = id++;
  }

  system.PBSL = project.PBSL;
  system.RN = project.RN;
  system.container = std::move(container);
  system.partTypes = std::move(partTypes);
  system.sequenceLength = parts.count();
  system.parts = std::move(parts);
  system.parts.copyInto(system.masterParts);
}

}  // namespace tessera
