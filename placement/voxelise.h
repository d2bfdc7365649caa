#pragma once

#include "model/polyhedron.h"
#include "model/project.h"

namespace tessera {

/// Samples the part at the corners boxMin + cellSide * (i, j, k), trunc(extent / cellSide) + 1
/// per axis, coordinates accumulated by repeated addition; a byte is 1 when its corner is
/// inside. The anchor is the first occupied cell with i outermost, then j, then k; with no
/// occupied cell the old anchor cell is kept. anchorPoint = boxMin + cellSide * anchor.
/// Throws InputError when the extents would exceed int range or kMaxCells.
void voxelise(Polyhedron& part);

/// The anchor cell of the part's bitmap, as voxelise picks it: the first occupied cell with i
/// outermost, then j, then k (none occupied: the old anchor cell stays); and anchorPoint.
void placeAnchor(Polyhedron& part);

/// Whether a bitmap of cx x cy x cz cells (counts as doubles, before conversion) is one that
/// voxelise accepts: every extent from 1 to INT_MAX and at most kMaxCells cells in all.
bool saneCellCount(double cx, double cy, double cz);

/// Refuses, with InputError and before any search, parts whose bitmap in some orientation of
/// the project's RN would exceed int extents or kMaxCells, that is parts voxelise would refuse
/// during the search. A part whose box diagonal over its cellSide (plus margin) bounds every
/// axis within the budget passes at once; another is turned into each orientation of the
/// table and its bitmap extents computed as voxelise computes them. Parts without positive
/// finite cellSide are refused.
void checkCellBudget(const Project& project);

}  // namespace tessera
