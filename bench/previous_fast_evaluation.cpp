#include "bench/previous_fast_evaluation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "geometry/assert.h"
#include "model/layout.h"
#include "placement/bit_grid.h"
#include "placement/evaluation.h"
#include "placement/occupancy_grid.h"
#include "placement/oriented_shape.h"
#include "placement/prepared_solid.h"

// Why the shortcuts here change no result:
// - A turned and voxelised working copy depends only on the part's geometry fields that
//   transform and voxelise read, so it is kept per bitwise-equal geometry and orientation.
// - A candidate cell is skipped only when placePart's own tests would refuse it: an occupied
//   anchor cell, a bitmap cell outside the grid or on an occupied cell, or a box-extreme
//   vertex outside the container's box (that vertex then fails containsAllVertices).
// - Once all vertices of the moved part are inside the container, its box is at most the
//   container's boxMax, so a part whose boxMin is at or beyond boxMax on some axis passes the
//   box test of polyhedraDisjoint; only the other parts ("in reach") are tested.
// - The score of an orientation never decreases from one layer to the next, and the winner is
//   the least (score, orientation index) among fitting orientations scoring below the start
//   value. An orientation stops once its layer's pair cannot be less than the least pair
//   already found; that found pair is real, so the winner is never cut short.
namespace tessera {

namespace {

using Word = std::uint64_t;

bool sameDoubles(const double* a, const double* b, std::size_t n) {
  return n == 0 || std::memcmp(a, b, n * sizeof(double)) == 0;
}

bool samePoint(const Point& a, const Point& b) { return sameDoubles(&a.x, &b.x, 3); }

// The part's box begins at or beyond the container's box maximum on some axis.
bool outOfReach(const Point& partMin, const Point& containerMax) {
  return partMin.x >= containerMax.x || partMin.y >= containerMax.y ||
         partMin.z >= containerMax.z;
}

bool withinMax(const Point& boxMax, const Point& containerMax) {
  return boxMax.x <= containerMax.x && boxMax.y <= containerMax.y && boxMax.z <= containerMax.z;
}

// m[y] |= g[y + shift] for every word of the row; cells beyond the row read as free.
void orShifted(Word* m, const Word* g, int words, int shift) {
  if (shift >= 0) {
    const int q = shift >> 6;
    const int r = shift & 63;
    for (int w = 0; w + q < words; ++w) {
      Word v = g[w + q] >> r;
      if (r != 0 && w + q + 1 < words) v |= g[w + q + 1] << (64 - r);
      m[w] |= v;
    }
  } else {
    const int t = -shift;
    const int q = t >> 6;
    const int r = t & 63;
    for (int w = q; w < words; ++w) {
      Word v = g[w - q] << r;
      if (r != 0 && w - q - 1 >= 0) v |= g[w - q - 1] >> (64 - r);
      m[w] |= v;
    }
  }
}

bool allSet(const Word* m, int words) {
  for (int w = 0; w < words; ++w)
    if (m[w] != ~Word{0}) return false;
  return true;
}

// A turned shape with the candidate cells the grid and the container's box leave it.
struct FittedShape {
  OrientedShape shape;
  bool possible = false;  // some cell survives the range tests
  int xLo = 0, xHi = -1, zLo = 0, zHi = -1;
  std::vector<char> okX, okZ;
  std::vector<Word> refusedY;  // y cells (and bits past the grid) that cannot take the anchor
  // One-word rows: runs of occupied cells per row, as (first j - anchorJ, length).
  std::vector<std::pair<int, int>> runs;
  std::vector<std::uint32_t> runStart;  // per row, into runs; one more entry at the end
  double anchorZ = 0.0;
};

struct ShapesOfGeometry {
  Polyhedron key;
  std::uint64_t hash = 0;
  std::vector<std::unique_ptr<FittedShape>> byOrientation;
  int lastWinner = -1;
};

struct Best {
  std::mutex mutex;
  double score = 0.0;
  int orientation = -1;
  int x = 0, y = 0, z = 0;

  // (score, k) is less than the least pair found so far.
  bool beatable(double s, int k) {
    std::lock_guard<std::mutex> lock(mutex);
    return s < score || (s == score && k < orientation);
  }
  void offer(double s, int k, int cx, int cy, int cz) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!(s < score || (s == score && k < orientation))) return;
    score = s;
    orientation = k;
    x = cx;
    y = cy;
    z = cz;
  }
};

struct Scratch {
  PreparedSolid moved;
  std::vector<Word> mask;
};

}  // namespace

struct PreviousFastEvaluator::State {
  explicit State(int threads) : pool(threads), scratchOf(static_cast<std::size_t>(threads)) {}

  WorkerPool pool;
  std::vector<Scratch> scratchOf;  // one per thread

  // What the kept shapes were made for.
  bool known = false;
  Polyhedron container;
  double pbsl = 0.0;
  int gridX = 0, gridY = 0, gridZ = 0;
  std::vector<Orientation> table;

  PreparedSolid containerSolid;
  BitGrid bits;
  std::vector<std::unique_ptr<ShapesOfGeometry>> shapes;

  // Per evaluation.
  OccupancyGrid occupancy;
  PartList parts;                         // the project's, moved by placement
  std::vector<PreparedSolid> partSolids;  // by position in parts
  std::vector<int> inReach;               // positions of parts a contained candidate can touch

  bool sameContext(const Project& s) const;
  void adopt(const Project& s);
  ShapesOfGeometry& shapesFor(const Part& part);
  void makeShapes(ShapesOfGeometry& entry, const Part& part);
  void fitToGrid(FittedShape& fitted) const;
  void search(const ShapesOfGeometry& entry, int k, Best& best, Scratch& scratch);
  bool exactFitAt(const FittedShape& fitted, int x, int y, int z, Scratch& scratch);
  bool clearOfEverything(PreparedSolid& part, const OrientedShape& shape, int self);
  void slide(PreparedSolid& part, const OrientedShape& shape, int self, const Point& direction);
  void mark(const PreparedSolid& part);
  void place(int position);

  Point corner(int x, int y, int z) const {
    const Point& o = container.boxMin;
    return {o.x + pbsl * x, o.y + pbsl * y, o.z + pbsl * z};
  }
};

bool PreviousFastEvaluator::State::sameContext(const Project& s) const {
  if (!known) return false;
  if (!sameShapeInput(container, s.container) || !samePoint(container.boxMin, s.container.boxMin) ||
      !samePoint(container.boxMax, s.container.boxMax))
    return false;
  if (!sameDoubles(&pbsl, &s.PBSL, 1)) return false;
  if (table.size() != s.orientationTable.size()) return false;
  return table.empty() ||
         std::memcmp(table.data(), s.orientationTable.data(), table.size() * sizeof(Orientation)) ==
             0;
}

void PreviousFastEvaluator::State::adopt(const Project& s) {
  container = s.container;
  pbsl = s.PBSL;
  occupancy = buildGrid(s);
  gridX = occupancy.gridX;
  gridY = occupancy.gridY;
  gridZ = occupancy.gridZ;
  table = s.orientationTable;
  prepareSolid(container, containerSolid);
  bits.resize(std::max(gridX, 0), std::max(gridY, 0), std::max(gridZ, 0));
  shapes.clear();
  known = true;
}

ShapesOfGeometry& PreviousFastEvaluator::State::shapesFor(const Part& part) {
  const std::uint64_t hash = shapeInputHash(part);
  for (auto& entry : shapes)
    if (entry->hash == hash && sameShapeInput(entry->key, part)) return *entry;
  // Parts that keep changing their geometry would grow this without bound.
  if (shapes.size() >= 4096) shapes.clear();
  auto entry = std::make_unique<ShapesOfGeometry>();
  entry->key = part;
  entry->key.dropBitmap();
  entry->hash = hash;
  entry->byOrientation.resize(table.size());
  shapes.push_back(std::move(entry));
  return *shapes.back();
}

void PreviousFastEvaluator::State::fitToGrid(FittedShape& fitted) const {
  const Polyhedron& g = fitted.shape.geometry;
  const OrientedShape& shape = fitted.shape;
  const Point& ap = g.anchorPoint;
  const Point& cMin = container.boxMin;
  const Point& cMax = container.boxMax;
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

  fitted.okX.assign(static_cast<std::size_t>(std::max(gridX, 0)), 0);
  fitted.okZ.assign(static_cast<std::size_t>(std::max(gridZ, 0)), 0);
  bool anyX = false, anyY = false, anyZ = false;
  fitted.xLo = gridX;
  fitted.xHi = -1;
  for (int x = xFrom; x <= xTo; ++x) {
    const double offset = (cMin.x + pbsl * x) - ap.x;
    if (!boxFits(g.boxMin.x, g.boxMax.x, offset, cMin.x, cMax.x)) continue;
    fitted.okX[static_cast<std::size_t>(x)] = 1;
    fitted.xLo = std::min(fitted.xLo, x);
    fitted.xHi = x;
    anyX = true;
  }
  fitted.zLo = gridZ;
  fitted.zHi = -1;
  for (int z = zFrom; z <= zTo; ++z) {
    const double offset = (cMin.z + pbsl * z) - ap.z;
    if (!boxFits(g.boxMin.z, g.boxMax.z, offset, cMin.z, cMax.z)) continue;
    fitted.okZ[static_cast<std::size_t>(z)] = 1;
    fitted.zLo = std::min(fitted.zLo, z);
    fitted.zHi = z;
    anyZ = true;
  }
  const int words = bits.words();
  fitted.refusedY.assign(static_cast<std::size_t>(words), ~Word{0});
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

void PreviousFastEvaluator::State::makeShapes(ShapesOfGeometry& entry, const Part& part) {
  std::vector<int> missing;
  for (std::size_t k = 0; k < entry.byOrientation.size(); ++k)
    if (!entry.byOrientation[k]) missing.push_back(static_cast<int>(k));
  if (missing.empty()) return;
  std::vector<std::exception_ptr> errors(missing.size());
  std::atomic<std::size_t> next{0};
  pool.runOnAll([&](int) {
    for (std::size_t i = next++; i < missing.size(); i = next++) {
      const int k = missing[i];
      try {
        auto fitted = std::make_unique<FittedShape>();
        fitted->shape = orientShape(part, table[static_cast<std::size_t>(k)]);
        fitToGrid(*fitted);
        entry.byOrientation[static_cast<std::size_t>(k)] = std::move(fitted);
      } catch (...) {
        errors[i] = std::current_exception();
      }
    }
  });
  // placePart would have failed at the first orientation in table order that fails.
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
}

bool PreviousFastEvaluator::State::exactFitAt(const FittedShape& fitted, int x, int y, int z,
                                      Scratch& scratch) {
  const OrientedShape& shape = fitted.shape;
  const Point offset = minus(corner(x, y, z), shape.geometry.anchorPoint);
  for (int v : shape.vertexOrder)
    if (!insideSolid(plus(shape.solid.vertices[static_cast<std::size_t>(v)], offset),
                     containerSolid))
      return false;
  const Point boxMin = plus(shape.solid.boxMin, offset);
  const Point boxMax = plus(shape.solid.boxMax, offset);
  bool moved = false;
  auto disjointFrom = [&](const PreparedSolid& other) {
    if (!boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return true;
    if (!moved) {
      scratch.moved = shape.solid;
      translateSolid(scratch.moved, offset);
      refreshPlanes(scratch.moved);
      moved = true;
    }
    return solidsDisjoint(scratch.moved, other);
  };
  if (withinMax(boxMax, container.boxMax)) {
    for (int p : inReach)
      if (!disjointFrom(partSolids[static_cast<std::size_t>(p)])) return false;
  } else {
    for (const PreparedSolid& other : partSolids)
      if (!disjointFrom(other)) return false;
  }
  return true;
}

void PreviousFastEvaluator::State::search(const ShapesOfGeometry& entry, int k, Best& best,
                                  Scratch& scratch) {
  const FittedShape& fitted = *entry.byOrientation[static_cast<std::size_t>(k)];
  if (!fitted.possible) return;
  const OrientedShape& shape = fitted.shape;
  const Polyhedron& g = shape.geometry;
  const int words = bits.words();
  const int aI = g.anchorI;
  const int aK = g.anchorK;
  scratch.mask.resize(static_cast<std::size_t>(words));
  Word* mask = scratch.mask.data();
  const Word* refused = fitted.refusedY.data();
  const bool oneWord = words == 1;

  for (int z = fitted.zLo; z <= fitted.zHi; ++z) {
    if (!fitted.okZ[static_cast<std::size_t>(z)]) continue;
    const double score = g.referencePoint.z + (corner(0, 0, z).z - fitted.anchorZ);
    if (!best.beatable(score, k)) return;
    for (int x = fitted.xLo; x <= fitted.xHi; ++x) {
      if (!fitted.okX[static_cast<std::size_t>(x)]) continue;
      const Word* anchorRow = bits.row(x, z);
      for (int w = 0; w < words; ++w) mask[w] = anchorRow[w] | refused[w];
      if (allSet(mask, words)) continue;
      for (std::size_t r = 0; r < shape.rows.size(); ++r) {
        const ShapeRow& row = shape.rows[r];
        const Word* grid = bits.row(x + row.i - aI, z + row.k - aK);
        if (oneWord) {
          // A run of n cells starting s after the anchor's y conflicts at y when any grid
          // cell y + s .. y + s + n - 1 is taken: dilate the row, then shift it.
          Word m = mask[0];
          const Word gridRow = grid[0];
          if (gridRow == 0) continue;
          for (std::uint32_t q = fitted.runStart[r]; q < fitted.runStart[r + 1]; ++q) {
            const auto [start, length] = fitted.runs[q];
            Word spread = gridRow;
            int covered = 1;
            while (covered * 2 <= length) {
              spread |= spread >> covered;
              covered *= 2;
            }
            if (covered < length) spread |= spread >> (length - covered);
            m |= start >= 0 ? spread >> start : spread << -start;
          }
          mask[0] = m;
        } else {
          const Word* partRow = shape.bits.data() + row.offset;
          for (int j = 0; j < shape.cellsY; ++j)
            if ((partRow[j / 64] >> (j % 64)) & 1) orShifted(mask, grid, words, j - g.anchorJ);
        }
        if (allSet(mask, words)) break;
      }
      for (int w = 0; w < words; ++w) {
        Word free = ~mask[w];
        while (free != 0) {
          const int y = w * 64 + __builtin_ctzll(free);
          free &= free - 1;
          if (exactFitAt(fitted, x, y, z, scratch)) {
            best.offer(score, k, x, y, z);
            return;
          }
        }
      }
    }
  }
}

bool PreviousFastEvaluator::State::clearOfEverything(PreparedSolid& part, const OrientedShape& shape,
                                             int self) {
  for (int v : shape.vertexOrder)
    if (!insideSolid(part.vertices[static_cast<std::size_t>(v)], containerSolid)) return false;
  auto disjointFrom = [&](const PreparedSolid& other) {
    if (!boxesOverlap(part.boxMin, part.boxMax, other.boxMin, other.boxMax)) return true;
    refreshPlanes(part);
    return solidsDisjoint(part, other);
  };
  if (withinMax(part.boxMax, container.boxMax)) {
    for (int p : inReach)
      if (p != self && !disjointFrom(partSolids[static_cast<std::size_t>(p)])) return false;
  } else {
    for (std::size_t p = 0; p < partSolids.size(); ++p)
      if (static_cast<int>(p) != self && !disjointFrom(partSolids[p])) return false;
  }
  return true;
}

void PreviousFastEvaluator::State::slide(PreparedSolid& part, const OrientedShape& shape, int self,
                                 const Point& direction) {
  double e = part.boxMax.x - part.boxMin.x;
  const double ey = part.boxMax.y - part.boxMin.y;
  const double ez = part.boxMax.z - part.boxMin.z;
  if (ey < e) e = ey;
  if (ez < e) e = ez;
  if (pbsl < e) e = pbsl;
  double step = 0.25 * e;
  if (!(step > 0.0)) return;
  const double length =
      std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  const Point u{direction.x / length, direction.y / length, direction.z / length};
  while (true) {
    const Point m{step * u.x, step * u.y, step * u.z};
    while (true) {
      translateSolid(part, m);
      if (!clearOfEverything(part, shape, self)) break;
    }
    translateSolid(part, {-m.x, -m.y, -m.z});
    if (step < 0.01) return;
    step = 0.5 * step;
  }
}

void PreviousFastEvaluator::State::mark(const PreparedSolid& part) {
  const Point& o = container.boxMin;
  double px = o.x;
  for (int x = 0; x < occupancy.gridX; ++x, px += pbsl) {
    if (o.x + (x + 0.5) * pbsl < part.boxMin.x) continue;
    if (o.x + (x - 0.5) * pbsl > part.boxMax.x) return;
    double py = o.y;
    for (int y = 0; y < occupancy.gridY; ++y, py += pbsl) {
      if (o.y + (y + 0.5) * pbsl < part.boxMin.y) continue;
      if (o.y + (y - 0.5) * pbsl > part.boxMax.y) break;
      double pz = o.z;
      for (int z = 0; z < occupancy.gridZ; ++z, pz += pbsl) {
        if (o.z + (z + 0.5) * pbsl < part.boxMin.z) continue;
        if (o.z + (z - 0.5) * pbsl > part.boxMax.z) break;
        std::uint8_t& cell = occupancy.cells[occupancy.index(x, y, z)];
        if (cell != 0) continue;
        if (insideSolid({px, py, pz}, part)) {
          cell = 1;
          bits.set(x, y, z);
        }
      }
    }
  }
}

void PreviousFastEvaluator::State::place(int position) {
  Part& part = parts[position];
  if (table.empty()) return;
  ShapesOfGeometry& entry = shapesFor(part);
  makeShapes(entry, part);

  // Orientations likelier to score low go first so that the others stop early; the order
  // changes how much is searched, never the winner.
  std::vector<std::pair<double, int>> order;
  std::vector<int> hopeless;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const FittedShape& f = *entry.byOrientation[k];
    if (!f.possible) continue;
    const Polyhedron& g = f.shape.geometry;
    const double lowest = g.referencePoint.z + (corner(0, 0, f.zLo).z - f.anchorZ);
    if (std::isnan(lowest)) {
      hopeless.push_back(static_cast<int>(k));
    } else {
      order.push_back({lowest, static_cast<int>(k)});
    }
  }
  std::sort(order.begin(), order.end());
  std::vector<int> sequence;
  if (entry.lastWinner >= 0) sequence.push_back(entry.lastWinner);
  for (const auto& [lowest, k] : order)
    if (k != entry.lastWinner) sequence.push_back(k);
  for (int k : hopeless)
    if (k != entry.lastWinner) sequence.push_back(k);

  Best best;
  best.score = 2 * container.boxMax.z;
  std::atomic<std::size_t> next{0};
  pool.runOnAll([&](int thread) {
    Scratch& mine = scratchOf[static_cast<std::size_t>(thread)];
    for (std::size_t i = next++; i < sequence.size(); i = next++)
      search(entry, sequence[i], best, mine);
  });
  if (best.orientation < 0) return;
  entry.lastWinner = best.orientation;

  const OrientedShape& shape = entry.byOrientation[static_cast<std::size_t>(best.orientation)]->shape;
  const Polyhedron& g = shape.geometry;
  PreparedSolid& moving = partSolids[static_cast<std::size_t>(position)];
  moving = shape.solid;
  const Point anchorCorner{g.boxMin.x + g.cellSide * g.anchorI, g.boxMin.y + g.cellSide * g.anchorJ,
                           g.boxMin.z + g.cellSide * g.anchorK};
  translateSolid(moving, minus(corner(best.x, best.y, best.z), anchorCorner));
  slide(moving, shape, position, {0, 0, -1});
  slide(moving, shape, position, {-1, 0, 0});
  slide(moving, shape, position, {0, -1, 0});
  refreshPlanes(moving);
  mark(moving);

  writeGeometry(moving, part);
  part.anchorI = g.anchorI;
  part.anchorJ = g.anchorJ;
  part.anchorK = g.anchorK;
  part.dropBitmap();
  if (!outOfReach(moving.boxMin, container.boxMax) &&
      std::find(inReach.begin(), inReach.end(), position) == inReach.end())
    inReach.push_back(position);
}

PreviousFastEvaluator::PreviousFastEvaluator(int threads)
    : state_(std::make_unique<State>(std::max(threads, 1))) {}

PreviousFastEvaluator::~PreviousFastEvaluator() = default;

int PreviousFastEvaluator::threads() const { return state_->pool.size(); }

const std::vector<Polyhedron>& PreviousFastEvaluator::solids() const { return solids_; }

double PreviousFastEvaluator::evaluate(const Project& project, const PackingSequence& idSequence) {
  State& s = *state_;
  if (!s.sameContext(project)) s.adopt(project);
  s.parts = project.parts;
  clearGrid(s.occupancy);
  s.bits.clear();

  const int n = s.parts.count();
  s.partSolids.resize(static_cast<std::size_t>(n));
  s.inReach.clear();
  for (int p = 0; p < n; ++p) {
    prepareSolid(s.parts[p], s.partSolids[static_cast<std::size_t>(p)]);
    if (!outOfReach(s.parts[p].boxMin, s.container.boxMax)) s.inReach.push_back(p);
  }

  TESSERA_ASSERT(idSequence.count() >= project.sequenceLength);
  for (int i = 0; i < project.sequenceLength && i < idSequence.count(); ++i) {
    const int id = idSequence.items[static_cast<std::size_t>(i)];
    int position = -1;
    for (int p = 0; p < n && position < 0; ++p)
      if (s.parts[p].id == id) position = p;
    TESSERA_ASSERT(position >= 0);
    if (position < 0) continue;
    s.place(position);
  }
  // Parts are numbered by their place in the list: the solids and their boxes are by id.
  solids_.assign(s.parts.begin(), s.parts.end());
  std::vector<PartPlacement> boxes;
  for (int id = 0; id < n; ++id) {
    PartPlacement p = parkedPlacement(project, id);
    p.boxMin = solids_[static_cast<std::size_t>(id)].boxMin;
    p.boxMax = solids_[static_cast<std::size_t>(id)].boxMax;
    boxes.push_back(p);
  }
  return measureLayout(project, boxes).efficiency();
}

}  // namespace tessera
