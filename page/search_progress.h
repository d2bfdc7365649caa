// page: the layout as an interactive page (the program's data in a bundled WebGL viewer).
// Like the picture, it only looks at a finished layout and at the search's log.
#pragma once

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

/// Follows the search's log as it is written, in pieces of any size, and collects the heights
/// it reports. The start of a new search ("初始排样序列") begins a new record.
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
