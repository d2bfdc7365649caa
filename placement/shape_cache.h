#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/orientations.h"
#include "geometry/point.h"
#include "model/polyhedron.h"
#include "placement/bit_rows.h"
#include "placement/oriented_shape.h"
#include "placement/worker_pool.h"

// The turned and voxelised parts of the fast path, kept from one evaluation to the next.
//
// A fitted shape depends only on the part's geometry, the orientation and the grid (the
// container's box, PBSL and the grid's extents), never on what is placed: so it is made once
// per bitwise-equal geometry and orientation and read, never written, by the scans. What a scan
// learns during one evaluation is kept apart, in scan_cursors.h.
namespace tessera {

/// The grid the shapes are fitted to.
struct GridFrame {
  Point containerMin;
  Point containerMax;
  double pbsl = 0.0;
  int gridX = 0, gridY = 0, gridZ = 0;
  int words = 0;  // 64-bit words per grid row along y
};

/// A turned shape with the anchor cells the grid and the container's box leave it: the anchor
/// cell (x, y, z) is a candidate only when okX[x], okZ[z] and bit y of refusedY is clear (its
/// bitmap stays in the grid and its box-extreme vertices in the container's box).
struct FittedShape {
  OrientedShape shape;
  bool possible = false;  // some cell survives the range tests
  int xLo = 0, xHi = -1, zLo = 0, zHi = -1;
  std::vector<char> okX, okZ;
  std::vector<Word> refusedY;  // y cells (and bits past the grid) that cannot take the anchor
  // Runs of occupied cells per bitmap row, as (first j - anchorJ, length).
  std::vector<std::pair<int, int>> runs;
  std::vector<std::uint32_t> runStart;  // per row, into runs; one more entry at the end
  double anchorZ = 0.0;                 // boxMin.z + cellSide * anchorK
};

/// Fills the candidate ranges and runs of fitted.shape for the frame.
void fitToGrid(FittedShape& fitted, const GridFrame& frame);

/// Every orientation's fitted shape of one geometry (null until made).
struct ShapesOfGeometry {
  Polyhedron key;  // the geometry, without bitmap
  std::uint64_t hash = 0;
  std::uint64_t serial = 0;  // unique among every entry the cache ever made
  std::vector<std::unique_ptr<FittedShape>> byOrientation;
  int lastWinner = -1;  // the orientation that won this geometry's last placement
};

class ShapeCache {
 public:
  /// Forgets every entry (the frame or the orientation table changed).
  void clear() { entries_.clear(); }

  /// The entry of the part's geometry, made empty (`orientations` null shapes) when new.
  ShapesOfGeometry& shapesFor(const Polyhedron& part, std::size_t orientations);

  /// Makes the entry's missing shapes on the pool's threads, only those of orientations k with
  /// allowed[k] != 0 when allowed is given. A failure (voxelise's refusal) is rethrown: the one
  /// of the first failing orientation in table order.
  void makeShapes(ShapesOfGeometry& entry, const Polyhedron& part,
                  const std::vector<Orientation>& table, const GridFrame& frame, WorkerPool& pool,
                  const std::vector<char>* allowed = nullptr);

 private:
  std::vector<std::unique_ptr<ShapesOfGeometry>> entries_;
  std::uint64_t serials_ = 0;
};

}  // namespace tessera
