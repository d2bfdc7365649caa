// page: the layout as an interactive page (the program's data in a bundled WebGL viewer).
// Like the picture, it only looks at a finished layout and at the search's progress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessera {

/// Best and current packing height after each iteration of one run's search; entry 0 is the
/// starting sequence. Both lists always have the same length.
struct SearchProgress {
  std::vector<double> best;
  std::vector<double> current;

  /// A search begins from a solution of this height; what was recorded before is dropped.
  void start(double height);
  /// An iteration's neighbour had this height and was accepted as the current solution or
  /// not, and became the best or not. Nothing before a start is recorded.
  void iteration(double neighbourHeight, bool accepted, bool newBest);
  /// Several chains met: the best height of all lowers the best one where it is lower.
  void bestOfAll(double height);
};

/// The progress as the page's chart draws it: a point per iteration up to `most` points;
/// beyond that the first and the last iteration and, from each of (most - 2) / 2 equal runs
/// of the iterations between, the ones where the current height is lowest and highest (in
/// iteration order), so that the curves keep their shape and their ends. The best height at
/// a point is that of its iteration.
struct ProgressChart {
  std::vector<std::int64_t> iterations;  // rising
  std::vector<double> best;
  std::vector<double> current;
};
inline constexpr std::size_t kChartPoints = 2000;
ProgressChart chartOf(const SearchProgress& progress, std::size_t most = kChartPoints);

}  // namespace tessera
