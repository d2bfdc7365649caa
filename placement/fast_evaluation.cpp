#include "placement/fast_evaluation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "geometry/assert.h"
#include "placement/bit_grid.h"
#include "placement/evaluation.h"
#include "placement/hierarchy_search.h"
#include "placement/occupancy_grid.h"
#include "placement/oriented_shape.h"
#include "placement/placement.h"
#include "placement/prepared_solid.h"
#include "placement/row_sampling.h"

// Why the shortcuts here change no result:
// - A turned and voxelised working copy depends only on the part's geometry fields that
//   transform and voxelise read, so it is kept per bitwise-equal geometry and orientation.
// - A candidate cell is skipped only when placePart's own tests would refuse it: an occupied
//   anchor cell, a bitmap cell outside the grid or on an occupied cell, or a box-extreme
//   vertex outside the container's box (that vertex then fails containsAllVertices).
// - Once all vertices of the moved part are inside the container, its box is at most the
//   container's boxMax, so a part whose boxMin is at or beyond boxMax on some axis passes the
//   box test of polyhedraDisjoint; only the other parts ("in reach") are tested, and of
//   those only the ones ColumnIndex finds under the floor columns the candidate's box covers
//   (every part whose box overlaps it is among them; the others pass the box test).
// - An exact fit is a conjunction of pure tests, so their order cannot change its answer;
//   the cheapest and likeliest refusals run first.
// - The score of an orientation (by either placement rule) never decreases from one layer to the next, and the winner is
//   the least (score, orientation index) among fitting orientations scoring below the start
//   value. An orientation stops once its layer's pair cannot be less than the least pair
//   already found; that found pair is real, so the winner is never cut short.
// - Within one evaluation a cell that an orientation's scan refused stays refused: grid cells
//   are only ever taken, never freed; a placed part never moves again; the container does not
//   change; and a part that has not been placed yet is parked out of reach of every contained
//   candidate. So each orientation's next scan resumes where its last one stopped: at the cell
//   it found (which may have been taken since, so it is tested again), or at the first cell of
//   the layer where it gave up. The cells skipped are exactly cells the reference scan would
//   refuse, and it scans in the same order, so it finds the same first cell. This holds only
//   when every part is parked on entry and no part is placed twice; otherwise every scan
//   starts at the bottom.
namespace tessera {

namespace {

using Word = std::uint64_t;

// Grid cells along each side of a floor column of ColumnIndex: about a part's width.
constexpr int kColumnCells = 8;

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

  // Where the next scan of this evaluation starts (valid while resumeStamp is the
  // evaluation's stamp): layer resumeZ, row resumeX (-1: the layer's first), cell resumeY.
  std::uint64_t resumeStamp = 0;
  int resumeZ = 0, resumeX = -1, resumeY = 0;
  // When the resume cell passed exactFitAt: how many parts were in reach then (-1: not).
  int confirmedReach = -1;
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

// The parts in reach, filed by the columns of the floor their boxes cover, so that a box is
// tested only against parts filed under a column it covers. Column of a coordinate:
// floor((c - origin) / side), clamped to the grid of columns; the map is monotone, so when
// two boxes overlap by boxesOverlap (on x, some c lies in both spans; the same on y) the
// column of that c lies in both boxes' column ranges: no overlapping part is ever missed.
// Boxes with a coordinate that is not a number are filed under every column (or, asked
// about, look at every part).
class ColumnIndex {
 public:
  void reset(const Point& origin, double side, int columnsX, int columnsY) {
    origin_ = origin;
    side_ = side;
    columnsX_ = std::max(columnsX, 1);
    columnsY_ = std::max(columnsY, 1);
    columns_.resize(static_cast<std::size_t>(columnsX_) * static_cast<std::size_t>(columnsY_));
    clear();
  }
  void clear() {
    for (std::vector<int>& column : columns_) column.clear();
    everywhere_.clear();
    filed_.clear();
  }

  void add(int p, const Point& boxMin, const Point& boxMax) {
    filed_.push_back(p);
    int x0, x1, y0, y1;
    if (!span(boxMin, boxMax, x0, x1, y0, y1)) {
      everywhere_.push_back(p);
      return;
    }
    for (int x = x0; x <= x1; ++x)
      for (int y = y0; y <= y1; ++y) columns_[at(x, y)].push_back(p);
  }

  /// Calls test(p) once for every filed part whose box may overlap the given one (and maybe
  /// others), stopping at the first false; returns whether none was false. `seen` is the
  /// caller's scratch, one entry per part position.
  template <typename Test>
  bool allNear(const Point& boxMin, const Point& boxMax, std::vector<std::uint32_t>& seen,
               std::uint32_t& stamp, std::size_t parts, Test&& test) const {
    if (seen.size() < parts) seen.assign(parts, 0);
    if (++stamp == 0) {
      std::fill(seen.begin(), seen.end(), 0);
      stamp = 1;
    }
    auto once = [&](int p) {
      std::uint32_t& mark = seen[static_cast<std::size_t>(p)];
      if (mark == stamp) return true;
      mark = stamp;
      return test(p);
    };
    int x0, x1, y0, y1;
    if (!span(boxMin, boxMax, x0, x1, y0, y1)) {
      for (int p : filed_)
        if (!once(p)) return false;
      return true;
    }
    for (int p : everywhere_)
      if (!once(p)) return false;
    for (int x = x0; x <= x1; ++x)
      for (int y = y0; y <= y1; ++y)
        for (int p : columns_[at(x, y)])
          if (!once(p)) return false;
    return true;
  }

 private:
  std::size_t at(int x, int y) const {
    return static_cast<std::size_t>(x) * static_cast<std::size_t>(columnsY_) +
           static_cast<std::size_t>(y);
  }
  static int column(double c, double origin, double side, int columns) {
    const double v = (c - origin) / side;
    if (!(v >= 1.0)) return 0;  // below the first column's end (NaN is ruled out before)
    if (v >= static_cast<double>(columns - 1)) return columns - 1;
    return static_cast<int>(std::floor(v));
  }
  bool span(const Point& lo, const Point& hi, int& x0, int& x1, int& y0, int& y1) const {
    if (std::isnan(lo.x) || std::isnan(lo.y) || std::isnan(hi.x) || std::isnan(hi.y))
      return false;
    x0 = column(lo.x, origin_.x, side_, columnsX_);
    x1 = column(hi.x, origin_.x, side_, columnsX_);
    y0 = column(lo.y, origin_.y, side_, columnsY_);
    y1 = column(hi.y, origin_.y, side_, columnsY_);
    return true;
  }

  Point origin_;
  double side_ = 1.0;
  int columnsX_ = 1, columnsY_ = 1;
  std::vector<std::vector<int>> columns_;
  std::vector<int> everywhere_;
  std::vector<int> filed_;
};

struct Scratch {
  PreparedSolid moved;
  std::vector<Word> mask;
  std::vector<Word> spread;
  std::uint64_t exactTests = 0;
  int witness = -1;  // the placed part that refused this thread's last refused candidate
  std::vector<std::uint32_t> seen;  // for ColumnIndex::allNear
  std::uint32_t seenStamp = 0;
};

// m[y] |= m[y + shift] for every word of the row, shift >= 0; in place, since word w reads
// only words w and beyond before it is written.
void spreadDown(Word* m, int words, int shift) { orShifted(m, m, words, shift); }

// The candidate mask of one grid row (x, z) along y, set bits refused, held as one integer
// when the grid's rows fit one (OneWord, TwoWords) or as words in the thread's scratch.
// Bits past the grid's y extent are refused from the start (refusedY), so shifts that bring
// in zeros (free cells) there change nothing.
template <typename Integer>
struct IntegerRows {
  using Mask = Integer;
  static constexpr int kBits = static_cast<int>(sizeof(Integer) * 8);
  static constexpr int kWords = kBits / 64;

  IntegerRows(int, Scratch&) {}
  static Integer load(const Word* w) {
    Integer v = 0;
    for (int i = kWords - 1; i >= 0; --i) v = (kWords > 1 ? v << 32 << 32 : 0) | w[i];
    return v;
  }
  static bool empty(const Word* grid, int) {
    for (int i = 0; i < kWords; ++i)
      if (grid[i] != 0) return false;
    return true;
  }
  void start(Mask& m, const Word* anchorRow, const Word* refused) const {
    m = load(anchorRow) | load(refused);
  }
  void refuseBelow(Mask& m, int y) const {
    if (y > 0) m |= y >= kBits ? ~Integer{0} : (Integer{1} << y) - 1;
  }
  bool full(const Mask& m) const { return m == ~Integer{0}; }
  void addRun(Mask& m, const Word* grid, int start, int length) const {
    Integer dilated = load(grid);
    int covered = 1;
    while (covered * 2 <= length) {
      dilated |= dilated >> covered;
      covered *= 2;
    }
    if (covered < length) dilated |= dilated >> (length - covered);
    m |= start >= 0 ? dilated >> start : dilated << -start;
  }
  template <typename Visit>
  bool forEachFree(const Mask& m, Visit&& visit) const {
    Integer free = ~m;
    while (free != 0) {
      const int y = lowestBit(free);
      free &= free - 1;
      if (visit(y)) return true;
    }
    return false;
  }
  static int lowestBit(Integer v) {
    const Word low = static_cast<Word>(v);
    if (low != 0) return __builtin_ctzll(low);
    return 64 + __builtin_ctzll(static_cast<Word>(v >> 32 >> 32));
  }
};
using OneWord = IntegerRows<Word>;
__extension__ typedef unsigned __int128 DoubleWord;
using TwoWords = IntegerRows<DoubleWord>;

struct ManyWords {
  struct Mask {};
  ManyWords(int words, Scratch& scratch) : words_(words), scratch_(scratch) {
    scratch.mask.resize(static_cast<std::size_t>(words));
    scratch.spread.resize(static_cast<std::size_t>(words));
  }
  static bool empty(const Word* grid, int words) {
    for (int w = 0; w < words; ++w)
      if (grid[w] != 0) return false;
    return true;
  }
  void start(Mask&, const Word* anchorRow, const Word* refused) const {
    Word* m = scratch_.mask.data();
    for (int w = 0; w < words_; ++w) m[w] = anchorRow[w] | refused[w];
  }
  void refuseBelow(Mask&, int y) const {
    Word* m = scratch_.mask.data();
    for (int w = 0; w < words_ && w * 64 < y; ++w)
      m[w] |= y >= (w + 1) * 64 ? ~Word{0} : (Word{1} << (y - w * 64)) - 1;
  }
  bool full(const Mask&) const { return allSet(scratch_.mask.data(), words_); }
  void addRun(Mask&, const Word* grid, int start, int length) const {
    Word* spread = scratch_.spread.data();
    std::memcpy(spread, grid, static_cast<std::size_t>(words_) * sizeof(Word));
    int covered = 1;
    while (covered * 2 <= length) {
      spreadDown(spread, words_, covered);
      covered *= 2;
    }
    if (covered < length) spreadDown(spread, words_, length - covered);
    orShifted(scratch_.mask.data(), spread, words_, start);
  }
  template <typename Visit>
  bool forEachFree(const Mask&, Visit&& visit) const {
    const Word* m = scratch_.mask.data();
    for (int w = 0; w < words_; ++w) {
      Word free = ~m[w];
      while (free != 0) {
        const int y = w * 64 + __builtin_ctzll(free);
        free &= free - 1;
        if (visit(y)) return true;
      }
    }
    return false;
  }

 private:
  int words_;
  Scratch& scratch_;
};

}  // namespace

struct FastEvaluator::State {
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
  const Project* project = nullptr;
  PlacementRule rule = PlacementRule::lowestPoint;
  OccupancyGrid occupancy;
  std::vector<PartPlacement> placements;  // by id
  std::vector<PreparedSolid> partSolids;  // by id
  std::vector<int> inReach;               // positions of parts a contained candidate can touch
  ColumnIndex near;                       // the parts of inReach by floor column
  std::vector<std::uint32_t> seen;        // for near, on the calling thread
  std::uint32_t seenStamp = 0;
  std::uint64_t stamp = 0;                // counts evaluations
  bool resumable = false;                 // scans may resume (every part parked, none twice)
  std::uint64_t exactTests = 0;           // of slide and mark, this evaluation

  struct MarkScratch {
    std::vector<int> xIndex, yIndex, zIndex;
    std::vector<double> xCorner, yCorner, zCorner;
    std::vector<std::uint8_t> inside;
    RowScratch row;
  };
  MarkScratch markScratch;  // mark runs on the calling thread only

  bool sameContext(const Project& p) const;
  void adopt(const Project& p);
  ShapesOfGeometry& shapesFor(const Part& part);
  void makeShapes(ShapesOfGeometry& entry, const Part& part);
  void fitToGrid(FittedShape& fitted) const;
  void search(ShapesOfGeometry& entry, int k, Best& best, Scratch& scratch);
  template <typename Rows>
  void searchRows(ShapesOfGeometry& entry, int k, Best& best, Scratch& scratch);
  int firstLayer(const FittedShape& fitted) const;
  bool exactFitAt(const FittedShape& fitted, int x, int y, int z, Scratch& scratch);
  bool clearOfEverything(PreparedSolid& part, const OrientedShape& shape, int self);
  void slide(PreparedSolid& part, const OrientedShape& shape, int self, const Point& direction,
             Motion& motion);
  void mark(const PreparedSolid& part);
  bool place(int position);
  void fileInReach();

  Point corner(int x, int y, int z) const {
    const Point& o = container.boxMin;
    return {o.x + pbsl * x, o.y + pbsl * y, o.z + pbsl * z};
  }
};

bool FastEvaluator::State::sameContext(const Project& p) const {
  if (!known) return false;
  if (!sameShapeInput(container, p.container) || !samePoint(container.boxMin, p.container.boxMin) ||
      !samePoint(container.boxMax, p.container.boxMax))
    return false;
  if (!sameDoubles(&pbsl, &p.PBSL, 1)) return false;
  if (table.size() != p.orientationTable.size()) return false;
  return table.empty() || std::memcmp(table.data(), p.orientationTable.data(),
                                      table.size() * sizeof(Orientation)) == 0;
}

void FastEvaluator::State::adopt(const Project& p) {
  container = p.container;
  pbsl = p.PBSL;
  occupancy = buildGrid(p);
  gridX = occupancy.gridX;
  gridY = occupancy.gridY;
  gridZ = occupancy.gridZ;
  table = p.orientationTable;
  prepareSolid(container, containerSolid);
  buildHierarchy(containerSolid);
  bits.resize(std::max(gridX, 0), std::max(gridY, 0), std::max(gridZ, 0));
  near.reset(container.boxMin, kColumnCells * pbsl, gridX / kColumnCells + 1,
             gridY / kColumnCells + 1);
  shapes.clear();
  known = true;
}

ShapesOfGeometry& FastEvaluator::State::shapesFor(const Part& part) {
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

void FastEvaluator::State::fitToGrid(FittedShape& fitted) const {
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

void FastEvaluator::State::makeShapes(ShapesOfGeometry& entry, const Part& part) {
  std::vector<int> missing;
  for (std::size_t k = 0; k < entry.byOrientation.size(); ++k)
    if (!entry.byOrientation[k]) missing.push_back(static_cast<int>(k));
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
        fitToGrid(*fitted);
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

bool FastEvaluator::State::exactFitAt(const FittedShape& fitted, int x, int y, int z,
                                      Scratch& scratch) {
  const OrientedShape& shape = fitted.shape;
  const Point offset = minus(corner(x, y, z), shape.geometry.anchorPoint);
  const Point boxMin = plus(shape.solid.boxMin, offset);
  const Point boxMax = plus(shape.solid.boxMax, offset);
  auto insideContainer = [&] {
    for (int v : shape.vertexOrder) {
      ++scratch.exactTests;
      if (!insideSolid(plus(shape.solid.vertices[static_cast<std::size_t>(v)], offset),
                       containerSolid))
        return false;
    }
    return true;
  };
  bool moved = false;
  auto disjointFrom = [&](const PreparedSolid& other, bool verticesChecked) {
    if (!boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return true;
    if (!moved) {
      scratch.moved = shape.solid;
      translateSolid(scratch.moved, offset);
      refreshPlanes(scratch.moved);
      moved = true;
    }
    ++scratch.exactTests;
    return solidsDisjoint(scratch.moved, other, verticesChecked);
  };
  if (!withinMax(boxMax, container.boxMax)) {
    if (!insideContainer()) return false;
    for (const PreparedSolid& other : partSolids)
      if (!disjointFrom(other, false)) return false;
    return true;
  }
  // The answer is a conjunction of pure tests, so they may run in any order: first the cheap
  // one that refuses most candidates (a vertex of the moved part inside a placed part, the
  // first test of solidsDisjoint, on the moved vertices without moving the whole part),
  // beginning with the part that refused this thread's last candidate.
  auto vertexInside = [&](int p) {
    const PreparedSolid& other = partSolids[static_cast<std::size_t>(p)];
    if (!boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return false;
    for (const Point& v : shape.solid.vertices) {
      ++scratch.exactTests;
      if (insideSolid(plus(v, offset), other)) return true;
    }
    return false;
  };
  if (scratch.witness >= 0 && vertexInside(scratch.witness)) return false;
  const std::size_t parts = partSolids.size();
  const bool noVertexInside =
      near.allNear(boxMin, boxMax, scratch.seen, scratch.seenStamp, parts, [&](int p) {
        if (p == scratch.witness || !vertexInside(p)) return true;
        scratch.witness = p;
        return false;
      });
  if (!noVertexInside || !insideContainer()) return false;
  return near.allNear(boxMin, boxMax, scratch.seen, scratch.seenStamp, parts, [&](int p) {
    if (disjointFrom(partSolids[static_cast<std::size_t>(p)], true)) return true;
    scratch.witness = p;
    return false;
  });
}

int FastEvaluator::State::firstLayer(const FittedShape& fitted) const {
  return resumable && fitted.resumeStamp == stamp ? fitted.resumeZ : fitted.zLo;
}

void FastEvaluator::State::search(ShapesOfGeometry& entry, int k, Best& best,
                                  Scratch& scratch) {
  const int words = bits.words();
  if (words == 1) {
    searchRows<OneWord>(entry, k, best, scratch);
  } else if (words == 2) {
    searchRows<TwoWords>(entry, k, best, scratch);
  } else {
    searchRows<ManyWords>(entry, k, best, scratch);
  }
}

template <typename Rows>
void FastEvaluator::State::searchRows(ShapesOfGeometry& entry, int k, Best& best,
                                      Scratch& scratch) {
  FittedShape& fitted = *entry.byOrientation[static_cast<std::size_t>(k)];
  if (!fitted.possible) return;
  const OrientedShape& shape = fitted.shape;
  const Polyhedron& g = shape.geometry;
  const double height = scoreHeight(rule, g);
  const int aI = g.anchorI;
  const int aK = g.anchorK;
  Rows rows(bits.words(), scratch);
  typename Rows::Mask mask{};

  const bool resumed = resumable && fitted.resumeStamp == stamp;
  const int firstZ = resumed ? fitted.resumeZ : fitted.zLo;
  const int firstX = resumed ? fitted.resumeX : -1;
  const int firstY = resumed ? fitted.resumeY : 0;
  const int confirmedReach = resumed ? fitted.confirmedReach : -1;
  auto stopAt = [&](int z, int x, int y, int confirmed) {
    fitted.resumeStamp = stamp;
    fitted.resumeZ = z;
    fitted.resumeX = x;
    fitted.resumeY = y;
    fitted.confirmedReach = confirmed;
  };
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
        const bool confirmed = confirmedReach >= 0 && resumeRow && x == firstX && y == firstY &&
                               stillFits(x, y, z);
        if (!confirmed && !exactFitAt(fitted, x, y, z, scratch)) return false;
        stopAt(z, x, y, static_cast<int>(inReach.size()));
        best.offer(score, k, x, y, z);
        return true;
      });
      if (found) return;
    }
  }
  stopAt(fitted.zHi + 1, -1, 0, -1);
}

bool FastEvaluator::State::clearOfEverything(PreparedSolid& part, const OrientedShape& shape,
                                             int self) {
  for (int v : shape.vertexOrder) {
    ++exactTests;
    if (!insideSolid(part.vertices[static_cast<std::size_t>(v)], containerSolid)) return false;
  }
  auto disjointFrom = [&](const PreparedSolid& other) {
    if (!boxesOverlap(part.boxMin, part.boxMax, other.boxMin, other.boxMax)) return true;
    refreshPlanes(part);
    ++exactTests;
    return solidsDisjoint(part, other);
  };
  if (withinMax(part.boxMax, container.boxMax)) {
    return near.allNear(part.boxMin, part.boxMax, seen, seenStamp, partSolids.size(), [&](int p) {
      return p == self || disjointFrom(partSolids[static_cast<std::size_t>(p)]);
    });
  } else {
    for (std::size_t p = 0; p < partSolids.size(); ++p)
      if (static_cast<int>(p) != self && !disjointFrom(partSolids[p])) return false;
  }
  return true;
}

void FastEvaluator::State::slide(PreparedSolid& part, const OrientedShape& shape, int self,
                                 const Point& direction, Motion& motion) {
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
      addMove(motion, m);
      if (!clearOfEverything(part, shape, self)) break;
    }
    translateSolid(part, {-m.x, -m.y, -m.z});
    addMove(motion, {-m.x, -m.y, -m.z});
    if (step < 0.01) return;
    step = 0.5 * step;
  }
}

// markPart's cells, with each row of cells along x sampled at once. The cells it visits along
// an axis, and their corners, do not depend on the other axes.
void FastEvaluator::State::mark(const PreparedSolid& part) {
  OccupancyGrid& grid = occupancy;
  const Point& o = container.boxMin;
  auto visited = [&](int cells, double origin, double lo, double hi, std::vector<int>& index,
                     std::vector<double>& corner) {
    index.clear();
    corner.clear();
    double p = origin;
    for (int c = 0; c < cells; ++c, p += pbsl) {
      if (origin + (c + 0.5) * pbsl < lo) continue;
      if (origin + (c - 0.5) * pbsl > hi) break;
      index.push_back(c);
      corner.push_back(p);
    }
  };
  MarkScratch& m = markScratch;
  visited(grid.gridX, o.x, part.boxMin.x, part.boxMax.x, m.xIndex, m.xCorner);
  visited(grid.gridY, o.y, part.boxMin.y, part.boxMax.y, m.yIndex, m.yCorner);
  visited(grid.gridZ, o.z, part.boxMin.z, part.boxMax.z, m.zIndex, m.zCorner);
  m.inside.resize(m.xIndex.size());
  for (std::size_t b = 0; b < m.yIndex.size(); ++b) {
    for (std::size_t c = 0; c < m.zIndex.size(); ++c) {
      const int y = m.yIndex[b];
      const int z = m.zIndex[c];
      bool anyFree = false;
      for (const int x : m.xIndex) anyFree = anyFree || grid.cells[grid.index(x, y, z)] == 0;
      if (!anyFree) continue;
      insideAlongRow(part, m.yCorner[b], m.zCorner[c], m.xCorner, m.inside, m.row);
      for (std::size_t a = 0; a < m.xIndex.size(); ++a) {
        std::uint8_t& cell = grid.cells[grid.index(m.xIndex[a], y, z)];
        if (cell != 0) continue;
        ++exactTests;
        if (m.inside[a] != 0) {
          cell = 1;
          bits.set(m.xIndex[a], y, z);
        }
      }
    }
  }
}

void FastEvaluator::State::fileInReach() {
  near.clear();
  for (int p : inReach) {
    const PreparedSolid& solid = partSolids[static_cast<std::size_t>(p)];
    near.add(p, solid.boxMin, solid.boxMax);
  }
}

bool FastEvaluator::State::place(int position) {
  PartPlacement& placement = placements[static_cast<std::size_t>(position)];
  // A part placed a second time starts from where the first placement left it.
  const Polyhedron part = placement.placed ? movedSolid(*project, position, placement.motion)
                                           : project->parts[position];
  if (table.empty()) return false;
  ShapesOfGeometry& entry = shapesFor(part);
  makeShapes(entry, part);

  // Orientations likelier to score low go first so that the others stop early; the order
  // changes how much is searched, never the winner.
  std::vector<std::pair<double, int>> order;
  std::vector<int> hopeless;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const FittedShape& f = *entry.byOrientation[k];
    if (!f.possible) continue;
    const int z = firstLayer(f);
    if (z > f.zHi) continue;  // an earlier scan of this evaluation found no cell left
    const Polyhedron& g = f.shape.geometry;
    const double lowest = scoreHeight(rule, g) + (corner(0, 0, z).z - f.anchorZ);
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
  if (best.orientation < 0) return false;
  entry.lastWinner = best.orientation;

  const OrientedShape& shape = entry.byOrientation[static_cast<std::size_t>(best.orientation)]->shape;
  const Polyhedron& g = shape.geometry;
  PreparedSolid& moving = partSolids[static_cast<std::size_t>(position)];
  moving = shape.solid;
  const Point offset = minus(corner(best.x, best.y, best.z), anchorCorner(g));
  translateSolid(moving, offset);
  Motion& motion = placement.motion;
  addTurn(motion, best.orientation);
  addMove(motion, offset);
  slide(moving, shape, position, {0, 0, -1}, motion);
  slide(moving, shape, position, {-1, 0, 0}, motion);
  slide(moving, shape, position, {0, -1, 0}, motion);
  refreshPlanes(moving);
  mark(moving);
  placement.orientation = best.orientation;
  placement.placed = true;
  placement.boxMin = moving.boxMin;
  placement.boxMax = moving.boxMax;
  const bool wasInReach = std::find(inReach.begin(), inReach.end(), position) != inReach.end();
  if (wasInReach) {
    // Placed again: its old box is filed; file every part afresh.
    if (outOfReach(moving.boxMin, container.boxMax))
      inReach.erase(std::find(inReach.begin(), inReach.end(), position));
    fileInReach();
  } else if (!outOfReach(moving.boxMin, container.boxMax)) {
    inReach.push_back(position);
    near.add(position, moving.boxMin, moving.boxMax);
  }
  return true;
}

FastEvaluator::FastEvaluator(int threads, PlacementRule rule)
    : state_(std::make_unique<State>(std::max(threads, 1))) {
  state_->rule = rule;
}

FastEvaluator::~FastEvaluator() = default;

int FastEvaluator::threads() const { return state_->pool.size(); }

std::uint64_t FastEvaluator::exactTests() const {
  std::uint64_t total = state_->exactTests;
  for (const Scratch& scratch : state_->scratchOf) total += scratch.exactTests;
  return total;
}

const OccupancyGrid& FastEvaluator::grid() const { return state_->occupancy; }

Layout FastEvaluator::evaluate(const Project& project, const PackingSequence& idSequence) {
  State& s = *state_;
  if (!s.sameContext(project)) s.adopt(project);
  s.project = &project;
  clearGrid(s.occupancy);
  s.bits.clear();

  const int n = project.parts.count();
  s.partSolids.resize(static_cast<std::size_t>(n));
  s.placements.clear();
  s.inReach.clear();
  for (int p = 0; p < n; ++p) {
    PreparedSolid& solid = s.partSolids[static_cast<std::size_t>(p)];
    prepareSolid(project.parts[p], solid);
    s.placements.push_back(parkedPlacement(project, p));
    if (outOfReach(project.parts[p].boxMin, s.container.boxMax)) continue;
    s.inReach.push_back(p);
    buildHierarchy(solid);
  }
  s.fileInReach();
  ++s.stamp;
  s.exactTests = 0;
  for (Scratch& scratch : s.scratchOf) {
    scratch.exactTests = 0;
    scratch.witness = -1;
  }
  s.resumable = s.inReach.empty();
  if (s.resumable) {
    std::vector<char> seen(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < project.sequenceLength && i < idSequence.count(); ++i) {
      const int id = idSequence.items[static_cast<std::size_t>(i)];
      if (id < 0 || id >= n || seen[static_cast<std::size_t>(id)]) {
        s.resumable = false;
        break;
      }
      seen[static_cast<std::size_t>(id)] = 1;
    }
  }

  TESSERA_ASSERT(idSequence.count() >= project.sequenceLength);
  for (int i = 0; i < project.sequenceLength && i < idSequence.count(); ++i) {
    const int id = idSequence.items[static_cast<std::size_t>(i)];
    const int position = project.parts.positionOf(id);
    TESSERA_ASSERT(position >= 0);
    if (position < 0) continue;
    s.place(position);
  }
  s.project = nullptr;
  return makeLayout(project, std::move(s.placements));
}

}  // namespace tessera
