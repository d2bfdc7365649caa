#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/point.h"
#include "placement/occupancy_grid.h"

// The marking of a placed part on the grid, written once for the reference path and the fast
// path: they differ only in how the corners of one row of cells along x are tested.
namespace tessera {

/// Storage of markCells, reused from one part to the next.
struct MarkScratch {
  std::vector<int> xIndex, yIndex, zIndex;
  std::vector<double> xCorner, yCorner, zCorner;
  std::vector<std::uint8_t> free, inside;
};

/// The cells along one axis within half a cell of [lo, hi], and their corners. Window tests use
/// products; the sampled corner is accumulated by repeated addition from the origin.
void cellsNear(int cells, double origin, double pbsl, double lo, double hi, std::vector<int>& index,
               std::vector<double>& corner);

/// Occupies every free cell whose corner lies inside the part, visiting only cells within half
/// a cell of the part's box [boxMin, boxMax]; never clears a cell. The cells an axis visits,
/// and their corners, do not depend on the other axes, so the cells are tested a row along x
/// at a time: insideRow(y, z, xs, free, inside) sets inside[i] to whether corner (xs[i], y, z)
/// lies inside the part, for every i with free[i] (the others are not read). marked(x, y, z,
/// inside) is called for every free cell tested, after the cell is set when inside.
template <typename InsideRow, typename Marked>
void markCells(OccupancyGrid& grid, const Point& boxMin, const Point& boxMax, MarkScratch& m,
               InsideRow&& insideRow, Marked&& marked) {
  const Point& o = grid.origin;
  cellsNear(grid.gridX, o.x, grid.pbsl, boxMin.x, boxMax.x, m.xIndex, m.xCorner);
  cellsNear(grid.gridY, o.y, grid.pbsl, boxMin.y, boxMax.y, m.yIndex, m.yCorner);
  cellsNear(grid.gridZ, o.z, grid.pbsl, boxMin.z, boxMax.z, m.zIndex, m.zCorner);
  m.free.resize(m.xIndex.size());
  m.inside.resize(m.xIndex.size());
  for (std::size_t b = 0; b < m.yIndex.size(); ++b) {
    for (std::size_t c = 0; c < m.zIndex.size(); ++c) {
      const int y = m.yIndex[b];
      const int z = m.zIndex[c];
      bool anyFree = false;
      for (std::size_t a = 0; a < m.xIndex.size(); ++a) {
        m.free[a] = grid.cells[grid.index(m.xIndex[a], y, z)] == 0 ? 1 : 0;
        anyFree = anyFree || m.free[a] != 0;
      }
      if (!anyFree) continue;
      insideRow(m.yCorner[b], m.zCorner[c], std::span<const double>(m.xCorner),
                std::span<const std::uint8_t>(m.free), std::span<std::uint8_t>(m.inside));
      for (std::size_t a = 0; a < m.xIndex.size(); ++a) {
        if (m.free[a] == 0) continue;
        const bool inside = m.inside[a] != 0;
        if (inside) grid.cells[grid.index(m.xIndex[a], y, z)] = 1;
        marked(m.xIndex[a], y, z, inside);
      }
    }
  }
}

}  // namespace tessera
