#pragma once

#include <cstdint>
#include <vector>

#include "geometry/point.h"
#include "model/polyhedron.h"
#include "model/project.h"

// The container's occupancy grid: cubic cells of edge PBSL, one byte each, 0 free, 1 occupied.
// A cell is decided by its minimum corner, never by its centre.
namespace tessera {

/// Largest number of cells allowed for the grid or for one part bitmap (2 GiB of bytes).
inline constexpr std::int64_t kMaxCells = std::int64_t{1} << 31;

/// The container sampled in cubic cells of edge PBSL from its box minimum: one byte per cell,
/// 0 free, 1 occupied. Cell (x, y, z) is byte y + gridY * (x + gridX * z), the layout of a
/// part bitmap.
struct OccupancyGrid {
  int gridX = 0;
  int gridY = 0;
  int gridZ = 0;
  std::vector<std::uint8_t> cells;
  Point origin;       // the container's box minimum
  double pbsl = 0.0;  // the cell edge

  bool exists() const { return gridX > 0 && gridY > 0 && gridZ > 0; }
  std::size_t index(int x, int y, int z) const {
    return static_cast<std::size_t>(y) +
           static_cast<std::size_t>(gridY) *
               (static_cast<std::size_t>(x) +
                static_cast<std::size_t>(gridX) * static_cast<std::size_t>(z));
  }
};

/// origin + PBSL * (x, y, z), coordinate by coordinate.
Point cellCorner(const OccupancyGrid& grid, int x, int y, int z);

/// The grid of the project's container, trunc(side / PBSL + 1.5) cells per axis, all free.
/// Throws InputError, before allocating, for a PBSL that is not positive or for extents
/// beyond int range or kMaxCells in all.
OccupancyGrid buildGrid(const Project& project);

struct GridExtents {
  int x = 0, y = 0, z = 0;
};

/// The checks of buildGrid without allocating: throws InputError when the grid would be
/// absurd, else returns the extents buildGrid gives the grid.
GridExtents checkGridSize(const Project& project);

/// Sets every cell free; extents and storage stay.
void clearGrid(OccupancyGrid& grid);

/// The part's occupied bitmap cells, laid with the anchor cell on grid cell (x, y, z), all fall
/// inside the grid on free cells. Empty bitmap cells are not looked at.
bool bitmapFits(const OccupancyGrid& grid, const Polyhedron& part, int x, int y, int z);

/// Occupies every free cell whose corner lies inside the part, visiting only cells within half
/// a cell of the part's box. Never clears a cell; marking twice changes nothing.
void markPart(OccupancyGrid& grid, const Polyhedron& part);

}  // namespace tessera
