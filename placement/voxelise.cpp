#include "placement/voxelise.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "geometry/box.h"
#include "geometry/orientations.h"
#include "geometry/predicates.h"
#include "geometry/transform.h"
#include "model/input_error.h"
#include "placement/occupancy_grid.h"

namespace tessera {

namespace {
constexpr double kMaxExtent = static_cast<double>(std::numeric_limits<int>::max());
constexpr long long kMaxCheckedOrientations = 1'000'000;
}  // namespace

bool saneCellCount(double cx, double cy, double cz) {
  if (!(cx >= 1.0 && cx <= kMaxExtent && cy >= 1.0 && cy <= kMaxExtent && cz >= 1.0 &&
        cz <= kMaxExtent))
    return false;
  return cx * cy * cz <= static_cast<double>(kMaxCells);
}

namespace {

[[noreturn]] void refuse(const Polyhedron& part, const char* what) {
  std::ostringstream message;
  message << "零件\"" << part.name << "\"" << what << " (单元边长 " << part.cellSide
          << "); 请选用更大的 PBSL。";
  throw InputError(message.str());
}

}  // namespace

void voxelise(Polyhedron& part) {
  const double c = part.cellSide;
  const double ex = std::trunc((part.boxMax.x - part.boxMin.x) / c) + 1;
  const double ey = std::trunc((part.boxMax.y - part.boxMin.y) / c) + 1;
  const double ez = std::trunc((part.boxMax.z - part.boxMin.z) / c) + 1;
  if (!saneCellCount(ex, ey, ez)) refuse(part, "无法采样为位图");

  part.dropBitmap();
  part.cellsX = static_cast<int>(ex);
  part.cellsY = static_cast<int>(ey);
  part.cellsZ = static_cast<int>(ez);
  const std::size_t nx = static_cast<std::size_t>(part.cellsX);
  const std::size_t ny = static_cast<std::size_t>(part.cellsY);
  const std::size_t nz = static_cast<std::size_t>(part.cellsZ);
  part.bitmap.assign(nx * ny * nz, 0);

  double x = part.boxMin.x;
  for (std::size_t i = 0; i < nx; ++i, x += c) {
    double y = part.boxMin.y;
    for (std::size_t j = 0; j < ny; ++j, y += c) {
      double z = part.boxMin.z;
      for (std::size_t k = 0; k < nz; ++k, z += c)
        part.bitmap[j + ny * (i + nx * k)] = pointInPolyhedron({x, y, z}, part) ? 1 : 0;
    }
  }

  placeAnchor(part);
}

void placeAnchor(Polyhedron& part) {
  const std::size_t nx = static_cast<std::size_t>(part.cellsX);
  const std::size_t ny = static_cast<std::size_t>(part.cellsY);
  const std::size_t nz = static_cast<std::size_t>(part.cellsZ);
  [&] {
    for (std::size_t i = 0; i < nx; ++i)
      for (std::size_t j = 0; j < ny; ++j)
        for (std::size_t k = 0; k < nz; ++k)
          if (part.bitmap[j + ny * (i + nx * k)] != 0) {
            part.anchorI = static_cast<int>(i);
            part.anchorJ = static_cast<int>(j);
            part.anchorK = static_cast<int>(k);
            return;
          }
  }();
  const double c = part.cellSide;
  part.anchorPoint = {part.boxMin.x + c * part.anchorI, part.boxMin.y + c * part.anchorJ,
                      part.boxMin.z + c * part.anchorK};
}

bool bitmapsFitInEveryOrientation(const Polyhedron& part, const std::vector<Orientation>& table) {
  std::vector<Point> turned(part.vertices.size());
  for (const Orientation& orientation : table) {
    // The box transform leaves, from the same doubles in the same order.
    for (std::size_t i = 0; i < part.vertices.size(); ++i)
      turned[i] = apply(orientation, part.vertices[i]);
    const auto [lo, hi] = boxOf(turned);
    const double c = part.cellSide;
    if (!saneCellCount(std::trunc((hi.x - lo.x) / c) + 1, std::trunc((hi.y - lo.y) / c) + 1,
                       std::trunc((hi.z - lo.z) / c) + 1))
      return false;
  }
  return true;
}

void checkCellBudget(const Project& project) {
  std::vector<Orientation> table;
  bool tableMade = false;
  for (const Part& part : project.parts) {
    const Point span = minus(part.boxMax, part.boxMin);
    const double diagonal = std::sqrt(span.x * span.x + span.y * span.y + span.z * span.z);
    if (!(part.cellSide > 0.0) || !std::isfinite(part.cellSide)) refuse(part, "没有正的单元边长");
    // A turned box is never longer than the diagonal along any axis; +2 absorbs rounding.
    // Within that bound every bitmap is accepted; beyond it, the part's own turned boxes
    // decide, as voxelise will see them.
    const double perAxis = std::trunc(diagonal / part.cellSide) + 2;
    if (saneCellCount(perAxis, perAxis, perAxis)) continue;
    if (!tableMade) {
      // A table too long to make is not made: such a part is refused as before.
      if (project.RN > 0 && orientationCountFor(project.RN) <= kMaxCheckedOrientations)
        table = buildOrientations(project.RN);
      tableMade = true;
    }
    if (table.empty() || part.vertices.empty() || !bitmapsFitInEveryOrientation(part, table))
      refuse(part, "太大, 无法在每个方向上采样为位图");
  }
}

}  // namespace tessera
