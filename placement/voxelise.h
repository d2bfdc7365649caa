#pragma once

#include "model/packing_system.h"
#include "model/polyhedron.h"

namespace tessera {

/// Samples the part at the corners boxMin + cellSide * (i, j, k), trunc(extent / cellSide) + 1
/// per axis, coordinates accumulated by repeated addition; a byte is 1 when its corner is
/// inside. The anchor is the first occupied cell with i outermost, then j, then k; with no
/// occupied cell the old anchor cell is kept. anchorPoint = boxMin + cellSide * anchor.
/// Throws InputError when the extents would exceed int range or kMaxCells.
void voxelise(Polyhedron& part);

/// Whether a bitmap of cx x cy x cz cells (counts as doubles, before conversion) is one that
/// voxelise accepts: every extent from 1 to INT_MAX and at most kMaxCells cells in all.
bool saneCellCount(double cx, double cy, double cz);

/// Refuses, with InputError and before any search, parts whose bitmap in some orientation
/// could exceed int extents or kMaxCells: each axis is bounded by the part's box diagonal
/// over its cellSide, plus margin.
void checkCellBudget(const PackingSystem& system);

}  // namespace tessera
