#pragma once

#include <cstdint>
#include <vector>

#include "geometry/orientations.h"
#include "model/polyhedron.h"
#include "placement/prepared_solid.h"

// A part turned into one orientation and voxelised. It depends only on the part's geometry
// and the orientation, so it is made once and reused by every placement of a part with the
// same geometry.
namespace tessera {

/// One bitmap row along y at (i, k) with an occupied cell; its bits start at `offset`.
struct ShapeRow {
  int i = 0;
  int k = 0;
  std::uint32_t offset = 0;
};

struct OrientedShape {
  Polyhedron geometry;  // placePart's working copy after transform and voxelise, minus bitmap
  PreparedSolid solid;  // the same geometry, prepared
  int cellsX = 0;
  int cellsY = 0;
  int cellsZ = 0;
  bool occupied = false;  // some bitmap cell is occupied; the ranges below only then
  int iMin = 0, iMax = 0, jMin = 0, jMax = 0, kMin = 0, kMax = 0;
  int rowWords = 0;            // 64-bit words per row
  std::vector<ShapeRow> rows;  // the rows with an occupied cell, lowest k first
  std::vector<std::uint64_t> bits;
  std::vector<int> vertexOrder;  // box-extreme vertices first: the likeliest to leave a box
};

/// voxelise with prepared predicates: the same extents, bytes, anchor cell and anchorPoint,
/// and the same refusal.
void voxeliseFast(Polyhedron& part);

/// The working copy placePart makes for this orientation, with its bitmap as rows.
OrientedShape orientShape(const Polyhedron& part, const Orientation& orientation);

/// Exact bitwise equality of everything transform and voxelise read from a part.
bool sameShapeInput(const Polyhedron& a, const Polyhedron& b);

/// A hash of the same fields.
std::uint64_t shapeInputHash(const Polyhedron& part);

}  // namespace tessera
