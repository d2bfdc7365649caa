#include "placement/occupancy_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "geometry/predicates.h"
#include "model/input_error.h"
#include "placement/mark.h"

namespace tessera {

namespace {

// Cells along one side, refused (not truncated) when the count is not a sane int.
int gridExtent(double side, double pbsl, const char* axis) {
  const double cells = side / pbsl + 1.5;
  if (!(cells >= 1.0 && cells <= static_cast<double>(std::numeric_limits<int>::max()))) {
    std::ostringstream message;
    message << "容器无法以 PBSL=" << pbsl << " 采样: 其 " << axis << " 方向边长 " << side
            << " 需要 " << cells << " 个单元。";
    throw InputError(message.str());
  }
  return static_cast<int>(cells);
}

}  // namespace

Point cellCorner(const OccupancyGrid& grid, int x, int y, int z) {
  const Point& o = grid.origin;
  return {o.x + grid.pbsl * x, o.y + grid.pbsl * y, o.z + grid.pbsl * z};
}

GridExtents checkGridSize(const Project& project) {
  const double pbsl = project.PBSL;
  if (!(pbsl > 0.0) || !std::isfinite(pbsl)) {
    std::ostringstream message;
    message << "PBSL 必须是正数, 项目给出的是 " << pbsl << "。";
    throw InputError(message.str());
  }
  const Point& lo = project.container.boxMin;
  const Point& hi = project.container.boxMax;
  const int gx = gridExtent(hi.x - lo.x, pbsl, "x");
  const int gy = gridExtent(hi.y - lo.y, pbsl, "y");
  const int gz = gridExtent(hi.z - lo.z, pbsl, "z");
  const double total = static_cast<double>(gx) * gy * gz;
  if (total > static_cast<double>(kMaxCells)) {
    std::ostringstream message;
    message << "容器以 PBSL=" << pbsl << " 采样需要 " << gx << " x " << gy << " x " << gz
            << " 个单元, 超过上限 " << kMaxCells << "; 请选用更大的 PBSL。";
    throw InputError(message.str());
  }
  return {gx, gy, gz};
}

OccupancyGrid buildGrid(const Project& project) {
  const auto [gx, gy, gz] = checkGridSize(project);
  OccupancyGrid grid;
  grid.origin = project.container.boxMin;
  grid.pbsl = project.PBSL;
  grid.gridX = gx;
  grid.gridY = gy;
  grid.gridZ = gz;
  grid.cells.assign(
      static_cast<std::size_t>(gx) * static_cast<std::size_t>(gy) * static_cast<std::size_t>(gz),
      0);
  return grid;
}

void clearGrid(OccupancyGrid& grid) {
  std::fill(grid.cells.begin(), grid.cells.end(), std::uint8_t{0});
}

bool bitmapFits(const OccupancyGrid& grid, const Polyhedron& part, int x, int y, int z) {
  const std::int64_t cx = part.cellsX;
  const std::int64_t cy = part.cellsY;
  for (std::int64_t i = 0; i < part.cellsX; ++i) {
    for (std::int64_t j = 0; j < part.cellsY; ++j) {
      for (std::int64_t k = 0; k < part.cellsZ; ++k) {
        if (part.bitmap[static_cast<std::size_t>(j + cy * (i + cx * k))] == 0) continue;
        const std::int64_t gx = x + i - part.anchorI;
        const std::int64_t gy = y + j - part.anchorJ;
        const std::int64_t gz = z + k - part.anchorK;
        if (gx < 0 || gx >= grid.gridX || gy < 0 || gy >= grid.gridY || gz < 0 || gz >= grid.gridZ)
          return false;
        if (grid.cells[grid.index(static_cast<int>(gx), static_cast<int>(gy),
                                  static_cast<int>(gz))] != 0)
          return false;
      }
    }
  }
  return true;
}

void cellsNear(int cells, double origin, double pbsl, double lo, double hi, std::vector<int>& index,
               std::vector<double>& corner) {
  index.clear();
  corner.clear();
  double p = origin;
  for (int c = 0; c < cells; ++c, p += pbsl) {
    if (origin + (c + 0.5) * pbsl < lo) continue;
    if (origin + (c - 0.5) * pbsl > hi) break;
    index.push_back(c);
    corner.push_back(p);
  }
}

void markPart(OccupancyGrid& grid, const Polyhedron& part) {
  MarkScratch scratch;
  auto insideRow = [&](double y, double z, std::span<const double> xs,
                       std::span<const std::uint8_t> free, std::span<std::uint8_t> inside) {
    for (std::size_t a = 0; a < xs.size(); ++a)
      if (free[a] != 0) inside[a] = pointInPolyhedron({xs[a], y, z}, part) ? 1 : 0;
  };
  markCells(grid, part.boxMin, part.boxMax, scratch, insideRow, [](int, int, int, bool) {});
}

}  // namespace tessera
