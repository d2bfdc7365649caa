#pragma once

#include <cstdint>
#include <string>

#include "model/project.h"

// What a run will ask of the machine, figured from the loaded project before anything large
// is allocated, so that a run that cannot finish is refused at start with its figures.
namespace tessera {

/// The most strides that one slide of a part may need for each grid cell it crosses. A slide
/// advances in strides of a quarter of min(the turned part's least extent, PBSL), and a part
/// that the grid placed is about a cell from what stops it. Measured with four copies of a
/// 3 x 3 plate at PBSL 1, RN 2, one thread: 0.09 thick (44 strides a cell), 0.005 s an
/// evaluation; 1e-6 thick (4e6), 1.2 s; 1e-7 thick (4e7), 50 s.
inline constexpr double kMaxSlideStridesPerCell = 1e7;

/// A part whose slide could need more than kMaxSlideStridesPerCell strides a cell.
struct EndlessSlide {
  const Part* part = nullptr;   // nullptr: none
  double leastExtent = 0.0;     // leastExtentInAnyTurn of the part
  double stridesPerCell = 0.0;  // in its thinnest turn
};

/// The first part, in list order, whose slide could need more than kMaxSlideStridesPerCell
/// strides a cell in some orientation, its least extent in any turn taken as
/// leastExtentInAnyTurn.
EndlessSlide findEndlessSlide(const Project& project);

struct RunFigures {
  int gridX = 0, gridY = 0, gridZ = 0;
  std::int64_t gridCells = 0;
  std::int64_t gridBytes = 0;    // the occupancy bytes and the fast path's bit rows
  std::int64_t bitmapBytes = 0;  // the largest part bitmap, once per thread
  long long orientations = 0;
  int geometries = 0;              // distinct part geometries, each turned into every orientation
  std::int64_t shapeBytes = 0;     // the turned and voxelised shapes kept for all of them
  double evaluationSeconds = 0.0;  // rough estimate of the first evaluation
  // Layouts worked on side by side, each with its own grid and kept shapes: one, or with
  // several chains one per chain of this process and the search's own.
  int copies = 1;

  /// The memory of every copy: grid and bitmaps, and kept shapes.
  std::int64_t totalGridBytes() const;
  std::int64_t totalShapeBytes() const;
};

/// The figures of a run of the loaded project with this many threads and copies. The grid
/// must pass checkGridSize and RN must be at least 0.
RunFigures runFigures(const Project& project, int threads, int copies = 1);

/// One line for the user: the grid, the memory the run needs and, when known, what is
/// available.
std::string describeRunFigures(const RunFigures& figures, std::int64_t availableBytes);

/// Whether the run is large enough for its figures to be worth a line at start: above
/// kLargeRunBytes of memory or kLargeRunSeconds for the first evaluation. Smaller runs keep
/// their console exactly as it was.
inline constexpr std::int64_t kLargeRunBytes = std::int64_t{256} << 20;
inline constexpr double kLargeRunSeconds = 10.0;
bool largeRun(const RunFigures& figures);

/// Refuses (InputError, with the figures) a run whose grids and bitmaps, or whose kept shapes,
/// of every copy do not fit in availableBytes. availableBytes < 0: unknown, nothing is refused.
void checkRunMemory(const RunFigures& figures, std::int64_t availableBytes);

/// Evaluations estimated above this many seconds are worth a warning at start.
inline constexpr double kSlowEvaluationSeconds = 60.0;

}  // namespace tessera
