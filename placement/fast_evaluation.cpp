#include "placement/fast_evaluation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "geometry/assert.h"
#include "placement/bit_grid.h"
#include "placement/column_index.h"
#include "placement/evaluation.h"
#include "placement/exact_fit.h"
#include "placement/grid_scan.h"
#include "placement/hierarchy_search.h"
#include "placement/mark.h"
#include "placement/occupancy_grid.h"
#include "placement/placement.h"
#include "placement/prepared_solid.h"
#include "placement/row_sampling.h"
#include "placement/scan_cursors.h"
#include "placement/shape_cache.h"
#include "placement/slide.h"

// Why the shortcuts here change no result: each room says so for its own (shape_cache.h for
// the kept shapes, bit_rows.h for the cells skipped a word at a time, exact_fit.h for the parts
// tested, grid_scan.h for the orientations stopped early and the scans resumed, scan_cursors.h
// for when resuming is sound). What is left here: the order in which orientations are scanned
// changes how much is searched, never the winner; and a part placed again refiles every part
// in reach, so that the column index never holds a stale box.
namespace tessera {

namespace {

// Grid cells along each side of a floor column of ColumnIndex: about a part's width.
constexpr int kColumnCells = 8;

bool sameDoubles(const double* a, const double* b, std::size_t n) {
  return n == 0 || std::memcmp(a, b, n * sizeof(double)) == 0;
}

bool samePoint(const Point& a, const Point& b) { return sameDoubles(&a.x, &b.x, 3); }

}  // namespace

struct FastEvaluator::State {
  explicit State(int threads) : pool(threads), scratchOf(static_cast<std::size_t>(threads)) {}

  WorkerPool pool;
  std::vector<ScanScratch> scratchOf;  // one per thread

  // What the kept shapes were made for.
  bool known = false;
  Polyhedron container;
  double pbsl = 0.0;
  int gridX = 0, gridY = 0, gridZ = 0;
  std::vector<Orientation> table;

  PreparedSolid containerSolid;
  BitGrid bits;
  GridFrame frame;
  ShapeCache shapes;

  // Per evaluation.
  const Project* project = nullptr;
  PlacementRule rule = PlacementRule::lowestPoint;
  OccupancyGrid occupancy;
  std::vector<PartPlacement> placements;  // by id
  std::vector<PreparedSolid> partSolids;  // by id
  std::vector<int> inReach;               // positions of parts a contained candidate can touch
  ColumnIndex near;                       // the parts of inReach by floor column
  PlacedSolids placed;                    // what the exact tests see: the above
  FitScratch own;                         // slide's and mark's, on the calling thread
  ScanCursors cursors;
  bool resumable = false;  // scans may resume (every part parked, none twice)
  CrossPlacementShortcuts shortcuts;

  MarkScratch markScratch;  // mark runs on the calling thread only
  RowScratch rowScratch;

  bool sameContext(const Project& p) const;
  void adopt(const Project& p);
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
  // Without the index, one column holds every part in reach.
  near.reset(container.boxMin, kColumnCells * pbsl,
             shortcuts.columnIndex ? gridX / kColumnCells + 1 : 1,
             shortcuts.columnIndex ? gridY / kColumnCells + 1 : 1);
  frame = {container.boxMin, container.boxMax, pbsl, gridX, gridY, gridZ, bits.words()};
  placed = {&containerSolid, container.boxMax, &partSolids, &near};
  shapes.clear();
  known = true;
}

void FastEvaluator::State::slide(PreparedSolid& part, const OrientedShape& shape, int self,
                                 const Point& direction, Motion& motion) {
  slideAlong(
      part.boxMin, part.boxMax, pbsl, direction,
      [&](const Point& m) {
        translateSolid(part, m);
        addMove(motion, m);
      },
      [&] { return clearOfEverything(placed, part, shape, self, own); });
}

// markPart's cells, with each row of cells along x sampled at once.
void FastEvaluator::State::mark(const PreparedSolid& part) {
  auto insideRow = [&](double y, double z, std::span<const double> xs,
                       std::span<const std::uint8_t>, std::span<std::uint8_t> inside) {
    insideAlongRow(part, y, z, xs, inside, rowScratch);
  };
  markCells(occupancy, part.boxMin, part.boxMax, markScratch, insideRow,
            [&](int x, int y, int z, bool inside) {
              ++own.exactTests;
              if (inside) bits.set(x, y, z);
            });
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
  if (!shortcuts.witness)
    for (ScanScratch& scratch : scratchOf) scratch.fit.witness = -1;
  // A type with a turn rule takes only the orientations it allows; its entry may lack the
  // others' shapes (another type of the same geometry makes them when it needs them).
  const std::vector<char>* allowed = nullptr;
  if (!project->turnAllowed.empty())
    allowed =
        &project
             ->turnAllowed[static_cast<std::size_t>(project->typeOf(project->parts[position].id))];
  ShapesOfGeometry& entry = shapes.shapesFor(part, table.size());
  shapes.makeShapes(entry, part, table, frame, pool, allowed);
  std::vector<ScanCursor>& cursorOf = cursors.of(entry.serial, table.size());
  const ScanContext scan{&frame, &bits, &placed, &inReach, rule, resumable};

  // Orientations likelier to score low go first so that the others stop early; the order
  // changes how much is searched, never the winner.
  std::vector<std::pair<double, int>> order;
  std::vector<int> hopeless;
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (allowed != nullptr && (*allowed)[k] == 0) continue;
    const FittedShape& f = *entry.byOrientation[k];
    if (!f.possible) continue;
    const int z = firstLayer(scan, f, cursorOf[k]);
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
  // The last winner may be one this type may not take (a type of the same geometry won it).
  const bool lastAllowed =
      entry.lastWinner >= 0 &&
      (allowed == nullptr || (*allowed)[static_cast<std::size_t>(entry.lastWinner)] != 0);
  if (lastAllowed) sequence.push_back(entry.lastWinner);
  for (const auto& [lowest, k] : order)
    if (k != entry.lastWinner) sequence.push_back(k);
  for (int k : hopeless)
    if (k != entry.lastWinner) sequence.push_back(k);

  Best best;
  best.score = 2 * container.boxMax.z;
  std::atomic<std::size_t> next{0};
  pool.runOnAll([&](int thread) {
    ScanScratch& mine = scratchOf[static_cast<std::size_t>(thread)];
    for (std::size_t i = next++; i < sequence.size(); i = next++) {
      const auto k = static_cast<std::size_t>(sequence[i]);
      scanOrientation(scan, *entry.byOrientation[k], cursorOf[k], sequence[i], best, mine);
    }
  });
  if (best.orientation < 0) return false;
  entry.lastWinner = best.orientation;

  const OrientedShape& shape =
      entry.byOrientation[static_cast<std::size_t>(best.orientation)]->shape;
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

FastEvaluator::FastEvaluator(int threads, PlacementRule rule, CrossPlacementShortcuts shortcuts)
    : state_(std::make_unique<State>(std::max(threads, 1))) {
  state_->rule = rule;
  state_->shortcuts = shortcuts;
}

FastEvaluator::~FastEvaluator() = default;

int FastEvaluator::threads() const { return state_->pool.size(); }

std::uint64_t FastEvaluator::exactTests() const {
  std::uint64_t total = state_->own.exactTests;
  for (const ScanScratch& scratch : state_->scratchOf) total += scratch.fit.exactTests;
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
  s.cursors.clear();
  s.own.exactTests = 0;
  for (ScanScratch& scratch : s.scratchOf) {
    scratch.fit.exactTests = 0;
    scratch.fit.witness = -1;
  }
  s.resumable = s.shortcuts.resumedScans && s.inReach.empty();
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
