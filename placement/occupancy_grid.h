#pragma once

#include <cstdint>

#include "geometry/point.h"
#include "model/packing_system.h"
#include "model/polyhedron.h"

// The container's occupancy grid: cubic cells of edge PBSL, one byte each, 0 free, 1 occupied.
// A cell is decided by its minimum corner, never by its centre.
namespace tessera {

/// Largest number of cells allowed for the grid or for one part bitmap (2 GiB of bytes).
inline constexpr std::int64_t kMaxCells = std::int64_t{1} << 31;

/// container.boxMin + PBSL * (x, y, z), coordinate by coordinate.
Point cellCorner(const PackingSystem& system, int x, int y, int z);

/// Sizes the grid from the container's box, trunc(side / PBSL + 1.5) cells per axis, and
/// clears it. Throws InputError, before allocating, for a PBSL that is not positive or for
/// extents beyond int range or kMaxCells in all.
void buildGrid(PackingSystem& system);

struct GridExtents {
  int x = 0, y = 0, z = 0;
};

/// The checks of buildGrid without allocating: throws InputError when the grid would be
/// absurd, else returns the extents buildGrid gives the grid.
GridExtents checkGridSize(const PackingSystem& system);

/// Sets every cell free; extents and storage stay.
void clearGrid(PackingSystem& system);

/// The part's occupied bitmap cells, laid with the anchor cell on grid cell (x, y, z), all fall
/// inside the grid on free cells. Empty bitmap cells are not looked at.
bool bitmapFits(const PackingSystem& system, const Polyhedron& part, int x, int y, int z);

/// Occupies every free cell whose corner lies inside the part, visiting only cells within half
/// a cell of the part's box. Never clears a cell; marking twice changes nothing.
void markPart(PackingSystem& system, const Polyhedron& part);

}  // namespace tessera
