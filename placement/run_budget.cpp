#include "placement/run_budget.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/input_error.h"
#include "model/solid_checks.h"
#include "placement/box_tree.h"
#include "placement/occupancy_grid.h"
#include "placement/oriented_shape.h"

namespace tessera {

namespace {

// Rough costs, for the time estimate only, each with its share of the work around it: one
// bitmap cell and one face of a part turned into one orientation (turning, the hierarchies,
// sampling a row at a time), one word of a grid row while searching, and the exact tests of
// placing one part, which grow as its face count to the power 1.4 (a face plane is tried
// against a curve of the other part's edges). Fitted to first evaluations of the bundled
// examples and of lathe meshes of 1,000 to 100,000 faces on one thread (Release build), which
// they predict within a factor of two.
constexpr double kSecondsPerCell = 5e-8;
constexpr double kSecondsPerTurnedFace = 1e-6;
constexpr double kSecondsPerRowWord = 2.5e-8;
constexpr double kSecondsPerPlacedFacePower = 3e-6;
constexpr double kPlacedFaceExponent = 1.4;
// Allocation headers and the fixed members of a kept shape beyond its arrays.
constexpr std::int64_t kShapeOverhead = 512;

std::int64_t mebibytes(std::int64_t bytes) { return (bytes + (1 << 20) - 1) >> 20; }

// Bitmap cells per axis of the part as loaded: trunc(extent / cellSide) + 1, as voxelise.
double cellsAlong(double extent, double cellSide) { return std::trunc(extent / cellSide) + 1; }

double boxCells(const Part& part) {
  const double c = part.cellSide;
  return cellsAlong(part.boxMax.x - part.boxMin.x, c) *
         cellsAlong(part.boxMax.y - part.boxMin.y, c) *
         cellsAlong(part.boxMax.z - part.boxMin.z, c);
}

std::int64_t geometryBytes(const Polyhedron& part) {
  std::int64_t ringPoints = 0;
  for (const Face& face : part.faces) ringPoints += static_cast<std::int64_t>(face.points.size());
  const auto v = static_cast<std::int64_t>(part.vertices.size());
  const auto e = static_cast<std::int64_t>(part.edges.size());
  const auto f = static_cast<std::int64_t>(part.faces.size());
  const std::int64_t asPolyhedron =
      static_cast<std::int64_t>(sizeof(Polyhedron)) + v * static_cast<std::int64_t>(sizeof(Point)) +
      e * static_cast<std::int64_t>(sizeof(Edge)) + f * static_cast<std::int64_t>(sizeof(Face)) +
      ringPoints * static_cast<std::int64_t>(sizeof(Point));
  const std::int64_t asSolid = static_cast<std::int64_t>(sizeof(PreparedSolid)) +
                               v * static_cast<std::int64_t>(sizeof(Point)) +
                               e * static_cast<std::int64_t>(sizeof(Edge)) +
                               ringPoints * static_cast<std::int64_t>(sizeof(Point)) +
                               f * static_cast<std::int64_t>(sizeof(PreparedFace));
  // The solid's hierarchies: a box and an index per face, edge and vertex, about two nodes per
  // leaf (leaves of 4 faces, 16 edges, 8 vertices), the edges again as columns with their
  // counting planes, and the fixed parts of the many arrays.
  const auto node = static_cast<std::int64_t>(sizeof(BoxTree::Node));
  const auto item = static_cast<std::int64_t>(2 * sizeof(Point) + sizeof(std::uint32_t));
  const std::int64_t hierarchy = (f + e + v) * item + (f / 2 + e / 8 + v / 4 + 3) * node +
                                 e * 10 * static_cast<std::int64_t>(sizeof(double)) + 1024;
  return asPolyhedron + asSolid + hierarchy + v * static_cast<std::int64_t>(sizeof(int));
}

// One kept shape of this part: its geometry twice (record and prepared solid), its bitmap as
// bit rows with their runs, and the per-axis candidate tables of the grid.
std::int64_t shapeBytes(const Part& part, const GridExtents& grid) {
  const double c = part.cellSide;
  const double rows =
      cellsAlong(part.boxMax.x - part.boxMin.x, c) * cellsAlong(part.boxMax.z - part.boxMin.z, c);
  const double rowWords = std::ceil(cellsAlong(part.boxMax.y - part.boxMin.y, c) / 64);
  const double bits = rows * (rowWords * 8 + static_cast<double>(sizeof(ShapeRow)) + 12);
  const std::int64_t words = (grid.y + 63) / 64;
  const std::int64_t bytes = geometryBytes(part) + static_cast<std::int64_t>(bits) + grid.x +
                             grid.z + words * 8 + kShapeOverhead;
  // A turned part's box, and so its bitmap, is larger than its own: a third more, as measured
  // on the bundled examples at RN 12.
  return bytes + bytes / 3;
}

// The parts of distinct geometry, one representative each, in list order.
std::vector<const Part*> distinctGeometries(const Project& project) {
  std::vector<const Part*> kinds;
  std::unordered_map<std::uint64_t, std::vector<const Part*>> byHash;
  for (const Part& part : project.parts) {
    std::vector<const Part*>& same = byHash[shapeInputHash(part)];
    const bool known = std::any_of(same.begin(), same.end(),
                                   [&](const Part* p) { return sameShapeInput(*p, part); });
    if (known) continue;
    same.push_back(&part);
    kinds.push_back(&part);
  }
  return kinds;
}

double saturatingProduct(double a, double b) {
  const double p = a * b;
  return std::isfinite(p) ? p : HUGE_VAL;
}

std::int64_t toBytes(double bytes) {
  return bytes >= 9.0e18 ? std::int64_t{9'000'000'000'000'000'000}
                         : static_cast<std::int64_t>(bytes);
}

// Several copies, as the figures count them.
std::string copiesText(const RunFigures& f) {
  return "每条链一份, 另加搜索本身一份, 共 " + std::to_string(f.copies) + " 份";
}

}  // namespace

EndlessSlide findEndlessSlide(const Project& project) {
  for (const Part* part : distinctGeometries(project)) {
    const double least = leastExtentInAnyTurn(*part);
    const double strides = project.PBSL / (0.25 * std::min(least, project.PBSL));
    if (!(strides <= kMaxSlideStridesPerCell)) return {part, least, strides};
  }
  return {};
}

std::int64_t RunFigures::totalGridBytes() const {
  return toBytes(static_cast<double>(gridBytes + bitmapBytes) * copies);
}

std::int64_t RunFigures::totalShapeBytes() const {
  return toBytes(static_cast<double>(shapeBytes) * copies);
}

RunFigures runFigures(const Project& project, int threads, int copies) {
  RunFigures f;
  f.copies = std::max(copies, 1);
  const GridExtents grid = checkGridSize(project);
  f.gridX = grid.x;
  f.gridY = grid.y;
  f.gridZ = grid.z;
  f.gridCells = static_cast<std::int64_t>(grid.x) * grid.y * grid.z;
  const std::int64_t words = (grid.y + 63) / 64;
  f.gridBytes = f.gridCells + static_cast<std::int64_t>(grid.x) * grid.z * words * 8;
  // orientationCountFor in doubles: an absurd RN must give a figure, not an overflow.
  const double n = std::max(project.RN, 0);
  const double orientations = 4.0 * n * (n * (n - 1.0) + 1.0);
  f.orientations = static_cast<long long>(std::min(orientations, 9.0e18));

  const std::vector<const Part*> kinds = distinctGeometries(project);
  f.geometries = static_cast<int>(kinds.size());
  double largestBitmap = 0.0;
  double shapes = orientations * static_cast<double>(sizeof(Orientation));
  double turning = 0.0;
  for (const Part* part : kinds) {
    const double cells = boxCells(*part);
    largestBitmap = std::max(largestBitmap, cells);
    shapes += saturatingProduct(orientations, static_cast<double>(shapeBytes(*part, grid)));
    turning += saturatingProduct(
        orientations,
        cells * kSecondsPerCell + static_cast<double>(part->faces.size()) * kSecondsPerTurnedFace);
  }
  const int workers = std::max(threads, 1);
  f.bitmapBytes = toBytes(largestBitmap * workers);
  f.shapeBytes = toBytes(shapes);

  const double rowWords = static_cast<double>(grid.x) * grid.z * static_cast<double>(words);
  const double searching =
      saturatingProduct(orientations * project.parts.count(), rowWords) * kSecondsPerRowWord;
  // The slides after each placement, where most exact tests are made, run on one thread.
  double placing = 0.0;
  for (const Part& part : project.parts)
    placing += std::pow(static_cast<double>(part.faces.size()), kPlacedFaceExponent) *
               kSecondsPerPlacedFacePower;
  f.evaluationSeconds = (turning + searching) / workers + placing;
  return f;
}

std::string describeRunFigures(const RunFigures& f, std::int64_t availableBytes) {
  std::ostringstream line;
  line << "网格 " << f.gridX << " x " << f.gridY << " x " << f.gridZ << " = " << f.gridCells
       << " 个单元; 网格与位图需要 " << mebibytes(f.totalGridBytes()) << " MiB 内存, "
       << f.orientations << " 个方向上的 " << f.geometries << " 种零件形状约需 "
       << mebibytes(f.totalShapeBytes()) << " MiB";
  if (f.copies > 1) line << " (" << copiesText(f) << ")";
  if (availableBytes >= 0) line << "; 本进程可用 " << mebibytes(availableBytes) << " MiB";
  line << "; 第一次排样评估估计约需 " << std::fixed << std::setprecision(1) << f.evaluationSeconds
       << " 秒。";
  return line.str();
}

bool largeRun(const RunFigures& f) {
  return f.totalGridBytes() + f.totalShapeBytes() > kLargeRunBytes ||
         f.evaluationSeconds > kLargeRunSeconds;
}

void checkRunMemory(const RunFigures& f, std::int64_t availableBytes) {
  if (availableBytes < 0) return;
  const std::int64_t grid = f.totalGridBytes();
  // With several chains, fewer of them is the other way out.
  const std::string copies = f.copies > 1 ? " (" + copiesText(f) + ")" : "";
  const std::string orFewerChains = f.copies > 1 ? "或更少的链" : "";
  if (grid > availableBytes) {
    std::ostringstream message;
    message << "网格 " << f.gridX << " x " << f.gridY << " x " << f.gridZ << " (" << f.gridCells
            << " 个单元) 与零件位图需要 " << mebibytes(grid) << " MiB 内存" << copies
            << ", 而本进程只有 " << mebibytes(availableBytes) << " MiB 可用; 请选用更大的 PBSL"
            << orFewerChains << "。";
    throw InputError(message.str());
  }
  const std::int64_t shapes = f.totalShapeBytes();
  if (shapes > availableBytes - grid) {
    std::ostringstream message;
    message << "方向表有 " << f.orientations << " 个方向, " << f.geometries
            << " 种零件在每个方向上保留的形状约需 " << mebibytes(shapes) << " MiB 内存" << copies
            << ", 加上网格的 " << mebibytes(grid) << " MiB, 超过本进程可用的 "
            << mebibytes(availableBytes) << " MiB; 请选用更小的 RN" << orFewerChains << "。";
    throw InputError(message.str());
  }
}

}  // namespace tessera
