#include "placement/grid_scan.h"

#include "placement/placement.h"
#include "placement/prepared_solid.h"

namespace tessera {

namespace {

template <typename Rows>
void scanRows(const ScanContext& context, const FittedShape& fitted, ScanCursor& cursor, int k,
              Best& best, ScanScratch& scratch) {
  if (!fitted.possible) return;
  const BitGrid& bits = *context.bits;
  const std::vector<int>& inReach = *context.inReach;
  const std::vector<PreparedSolid>& partSolids = *context.placed->parts;
  auto corner = [&](int x, int y, int z) { return context.corner(x, y, z); };
  const OrientedShape& shape = fitted.shape;
  const Polyhedron& g = shape.geometry;
  const double height = scoreHeight(context.rule, g);
  const int aI = g.anchorI;
  const int aK = g.anchorK;
  Rows rows(bits.words(), scratch.rows);
  typename Rows::Mask mask{};

  const bool resumed = context.resumable && cursor.set;
  const int firstZ = resumed ? cursor.z : fitted.zLo;
  const int firstX = resumed ? cursor.x : -1;
  const int firstY = resumed ? cursor.y : 0;
  const int confirmedReach = resumed ? cursor.confirmedReach : -1;
  auto stopAt = [&](int z, int x, int y, int confirmed) { cursor = {true, z, x, y, confirmed}; };
  // The resume cell passed exactFitAt when confirmedReach parts were in reach. Since then
  // parts were only added (none moved), so it passes again unless the box of one added
  // since overlaps the candidate's; the bitmap test has been made afresh by the scan.
  auto stillFits = [&](int x, int y, int z) {
    const Point offset = minus(corner(x, y, z), g.anchorPoint);
    const Point boxMin = plus(shape.solid.boxMin, offset);
    const Point boxMax = plus(shape.solid.boxMax, offset);
    for (std::size_t i = static_cast<std::size_t>(confirmedReach); i < inReach.size(); ++i) {
      const PreparedSolid& other = partSolids[static_cast<std::size_t>(inReach[i])];
      if (boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return false;
    }
    return true;
  };

  for (int z = firstZ; z <= fitted.zHi; ++z) {
    if (!fitted.okZ[static_cast<std::size_t>(z)]) continue;
    const double score = height + (corner(0, 0, z).z - fitted.anchorZ);
    if (!best.beatable(score, k)) {
      stopAt(z, -1, 0, -1);
      return;
    }
    const bool resumeRow = z == firstZ && firstX >= 0;
    for (int x = resumeRow ? firstX : fitted.xLo; x <= fitted.xHi; ++x) {
      if (!fitted.okX[static_cast<std::size_t>(x)]) continue;
      rows.start(mask, bits.row(x, z), fitted.refusedY.data());
      // Cells before the resumed one were refused by an earlier scan.
      if (resumeRow && x == firstX) rows.refuseBelow(mask, firstY);
      if (rows.full(mask)) continue;
      for (std::size_t r = 0; r < shape.rows.size(); ++r) {
        const ShapeRow& row = shape.rows[r];
        const Word* grid = bits.row(x + row.i - aI, z + row.k - aK);
        if (Rows::empty(grid, bits.words())) continue;
        // A run of n cells starting s after the anchor's y conflicts at y when any grid cell
        // y + s .. y + s + n - 1 is taken: dilate the row, then shift it.
        for (std::uint32_t q = fitted.runStart[r]; q < fitted.runStart[r + 1]; ++q) {
          const auto [runStart, length] = fitted.runs[q];
          rows.addRun(mask, grid, runStart, length);
        }
        if (rows.full(mask)) break;
      }
      const bool found = rows.forEachFree(mask, [&](int y) {
        const bool confirmed =
            confirmedReach >= 0 && resumeRow && x == firstX && y == firstY && stillFits(x, y, z);
        if (!confirmed && !exactFitAt(*context.placed, shape, corner(x, y, z), scratch.fit))
          return false;
        stopAt(z, x, y, static_cast<int>(inReach.size()));
        best.offer(score, k, x, y, z);
        return true;
      });
      if (found) return;
    }
  }
  stopAt(fitted.zHi + 1, -1, 0, -1);
}

}  // namespace

int firstLayer(const ScanContext& context, const FittedShape& fitted, const ScanCursor& cursor) {
  return context.resumable && cursor.set ? cursor.z : fitted.zLo;
}

void scanOrientation(const ScanContext& context, const FittedShape& fitted, ScanCursor& cursor,
                     int k, Best& best, ScanScratch& scratch) {
  const int words = context.bits->words();
  if (words == 1) {
    scanRows<OneWord>(context, fitted, cursor, k, best, scratch);
  } else if (words == 2) {
    scanRows<TwoWords>(context, fitted, cursor, k, best, scratch);
  } else {
    scanRows<ManyWords>(context, fitted, cursor, k, best, scratch);
  }
}

}  // namespace tessera
