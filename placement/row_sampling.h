#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "placement/prepared_solid.h"

// Point-in-solid answers for a whole row of sample points at once: the points (x, y, z) of one
// (y, z) with x not decreasing, as the voxel bitmap and the grid marking sample them.
namespace tessera {

/// Scratch space reused from row to row.
struct RowScratch {
  std::vector<std::uint32_t> faces;
  std::vector<int> changes;
};

/// inside[i] = insideSolid((xs[i], y, z), solid) ? 1 : 0 for every i, bit for bit. With a
/// hierarchy, one crossing computation serves the whole row wherever that is proven to give
/// the same answers; elsewhere, and without a hierarchy, each point is tested on its own.
void insideAlongRow(const PreparedSolid& solid, double y, double z, std::span<const double> xs,
                    std::span<std::uint8_t> inside, RowScratch& scratch);

}  // namespace tessera
