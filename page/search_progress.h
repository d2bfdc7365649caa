// page: the layout as an interactive page (the program's data in a bundled WebGL viewer).
// Like the picture, it only looks at a finished layout and at the search's log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

/// Best and current packing height after each iteration of one run's search; entry 0 is the
/// starting sequence. Both lists always have the same length.
struct SearchProgress {
  std::vector<double> best;
  std::vector<double> current;
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

/// Follows the search's log as it is written, in pieces of any size, and collects the heights
/// it reports. The start of a new search ("初始排样序列") begins a new record. With several
/// chains the log shows chain 0's iterations; the best of all chains, which each meeting of
/// the chains reports, lowers the best height where it is lower.
class SearchProgressReader {
 public:
  void consume(std::string_view text);
  const SearchProgress& progress() const { return progress_; }

 private:
  void line(std::string_view text);

  SearchProgress progress_;
  std::string partial_;
  double neighbour_ = 0.0;
  bool accepted_ = false;
};

}  // namespace tessera
