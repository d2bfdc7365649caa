#include "placement/shape_cache.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>

namespace tessera {

void fitToGrid(FittedShape& fitted, const GridFrame& frame) {
  const Polyhedron& g = fitted.shape.geometry;
  const OrientedShape& shape = fitted.shape;
  const Point& ap = g.anchorPoint;
  const Point& cMin = frame.containerMin;
  const Point& cMax = frame.containerMax;
  const double pbsl = frame.pbsl;
  const int gridX = frame.gridX;
  const int gridY = frame.gridY;
  const int gridZ = frame.gridZ;
  fitted.anchorZ = g.boxMin.z + g.cellSide * g.anchorK;

  // Anchor cells whose bitmap stays inside the grid along one axis.
  auto bitmapRange = [&](int lo, int hi, int anchor, int cells, int& from, int& to) {
    from = shape.occupied ? anchor - lo : 0;
    to = shape.occupied ? cells - 1 - (hi - anchor) : cells - 1;
    from = std::max(from, 0);
    to = std::min(to, cells - 1);
  };
  // The box-extreme vertices stay inside the container's box along one axis.
  auto boxFits = [](double boxLo, double boxHi, double offset, double cLo, double cHi) {
    return !(boxLo + offset < cLo) && !(boxHi + offset > cHi);
  };

  int xFrom, xTo, yFrom, yTo, zFrom, zTo;
  bitmapRange(shape.iMin, shape.iMax, g.anchorI, gridX, xFrom, xTo);
  bitmapRange(shape.jMin, shape.jMax, g.anchorJ, gridY, yFrom, yTo);
  bitmapRange(shape.kMin, shape.kMax, g.anchorK, gridZ, zFrom, zTo);

  // Marks the anchor cells from..to whose box stays inside the container along one axis, and
  // their range; false when none does.
  auto fitAxis = [&](int from, int to, double boxLo, double boxHi, double cLo, double cHi,
                     double anchor, std::vector<char>& ok, int& lo, int& hi) {
    bool any = false;
    for (int c = from; c <= to; ++c) {
      const double offset = (cLo + pbsl * c) - anchor;
      if (!boxFits(boxLo, boxHi, offset, cLo, cHi)) continue;
      ok[static_cast<std::size_t>(c)] = 1;
      lo = std::min(lo, c);
      hi = c;
      any = true;
    }
    return any;
  };
  fitted.okX.assign(static_cast<std::size_t>(std::max(gridX, 0)), 0);
  fitted.okZ.assign(static_cast<std::size_t>(std::max(gridZ, 0)), 0);
  fitted.xLo = gridX;
  fitted.xHi = -1;
  const bool anyX = fitAxis(xFrom, xTo, g.boxMin.x, g.boxMax.x, cMin.x, cMax.x, ap.x, fitted.okX,
                            fitted.xLo, fitted.xHi);
  fitted.zLo = gridZ;
  fitted.zHi = -1;
  const bool anyZ = fitAxis(zFrom, zTo, g.boxMin.z, g.boxMax.z, cMin.z, cMax.z, ap.z, fitted.okZ,
                            fitted.zLo, fitted.zHi);
  bool anyY = false;
  fitted.refusedY.assign(static_cast<std::size_t>(frame.words), ~Word{0});
  for (int y = yFrom; y <= yTo; ++y) {
    const double offset = (cMin.y + pbsl * y) - ap.y;
    if (!boxFits(g.boxMin.y, g.boxMax.y, offset, cMin.y, cMax.y)) continue;
    fitted.refusedY[static_cast<std::size_t>(y / 64)] &= ~(Word{1} << (y % 64));
    anyY = true;
  }
  fitted.possible = anyX && anyY && anyZ;

  fitted.runs.clear();
  fitted.runStart.clear();
  for (const ShapeRow& row : shape.rows) {
    fitted.runStart.push_back(static_cast<std::uint32_t>(fitted.runs.size()));
    int j = 0;
    while (j < shape.cellsY) {
      auto bit = [&](int jj) {
        return (shape.bits[row.offset + static_cast<std::size_t>(jj / 64)] >> (jj % 64)) & 1;
      };
      if (!bit(j)) {
        ++j;
        continue;
      }
      const int first = j;
      while (j < shape.cellsY && bit(j)) ++j;
      fitted.runs.push_back({first - g.anchorJ, j - first});
    }
  }
  fitted.runStart.push_back(static_cast<std::uint32_t>(fitted.runs.size()));
}

ShapesOfGeometry& ShapeCache::shapesFor(const Polyhedron& part, std::size_t orientations) {
  const std::uint64_t hash = shapeInputHash(part);
  for (auto& entry : entries_)
    if (entry->hash == hash && sameShapeInput(entry->key, part)) return *entry;
  // Parts that keep changing their geometry would grow this without bound.
  if (entries_.size() >= 4096) entries_.clear();
  auto entry = std::make_unique<ShapesOfGeometry>();
  entry->key = part;
  entry->key.dropBitmap();
  entry->hash = hash;
  entry->serial = ++serials_;
  entry->byOrientation.resize(orientations);
  entries_.push_back(std::move(entry));
  return *entries_.back();
}

void ShapeCache::makeShapes(ShapesOfGeometry& entry, const Polyhedron& part,
                            const std::vector<Orientation>& table, const GridFrame& frame,
                            WorkerPool& pool, const std::vector<char>* allowed) {
  std::vector<int> missing;
  for (std::size_t k = 0; k < entry.byOrientation.size(); ++k)
    if (!entry.byOrientation[k] && (allowed == nullptr || (*allowed)[k] != 0))
      missing.push_back(static_cast<int>(k));
  if (missing.empty()) return;
  // placePart would have failed at the first orientation in table order that fails, so only
  // that failure is kept and later orientations are not tried. Keeping every failure would
  // also exhaust the runtime's reserve for exceptions when memory runs out, which aborts.
  std::mutex failureMutex;
  std::exception_ptr firstFailure;
  std::atomic<std::size_t> failedAt{missing.size()};
  std::atomic<std::size_t> next{0};
  pool.runOnAll([&](int) {
    for (std::size_t i = next++; i < failedAt; i = next++) {
      const int k = missing[i];
      try {
        auto fitted = std::make_unique<FittedShape>();
        fitted->shape = orientShape(part, table[static_cast<std::size_t>(k)]);
        fitToGrid(*fitted, frame);
        entry.byOrientation[static_cast<std::size_t>(k)] = std::move(fitted);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(failureMutex);
        if (i < failedAt) {
          failedAt = i;
          firstFailure = std::current_exception();
        }
      }
    }
  });
  if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace tessera
