#include "page/search_progress.h"

#include <algorithm>

namespace tessera {

ProgressChart chartOf(const SearchProgress& progress, std::size_t most) {
  ProgressChart chart;
  const std::size_t n = progress.best.size();
  auto take = [&](std::size_t i) {
    chart.iterations.push_back(static_cast<std::int64_t>(i));
    chart.best.push_back(progress.best[i]);
    chart.current.push_back(progress.current[i]);
  };
  if (n <= std::max<std::size_t>(most, 4)) {
    for (std::size_t i = 0; i < n; ++i) take(i);
    return chart;
  }
  const std::size_t runs = std::max<std::size_t>((most - 2) / 2, 1);
  const std::size_t inner = n - 2;  // iterations 1 .. n - 2
  take(0);
  for (std::size_t r = 0; r < runs; ++r) {
    const std::size_t from = 1 + r * inner / runs;
    const std::size_t to = 1 + (r + 1) * inner / runs;
    if (from == to) continue;
    std::size_t low = from, high = from;
    for (std::size_t i = from; i < to; ++i) {
      if (progress.current[i] < progress.current[low]) low = i;
      if (progress.current[i] > progress.current[high]) high = i;
    }
    take(std::min(low, high));
    if (low != high) take(std::max(low, high));
  }
  take(n - 1);
  return chart;
}

void SearchProgress::start(double height) {
  best = {height};
  current = {height};
}

void SearchProgress::iteration(double neighbourHeight, bool accepted, bool newBest) {
  if (best.empty()) return;
  best.push_back(newBest ? neighbourHeight : best.back());
  current.push_back(accepted ? neighbourHeight : current.back());
}

void SearchProgress::bestOfAll(double height) {
  if (!best.empty() && height < best.back()) best.back() = height;
}

}  // namespace tessera
