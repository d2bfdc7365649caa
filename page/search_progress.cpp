#include "page/search_progress.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tessera {

namespace {

/// The number that follows key in text, read as strtod reads it; false if key is absent or no
/// number follows.
bool numberAfter(std::string_view text, std::string_view key, double& value) {
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos) return false;
  const std::string rest(text.substr(at + key.size()));
  char* end = nullptr;
  const double parsed = std::strtod(rest.c_str(), &end);
  if (end == rest.c_str()) return false;
  value = parsed;
  return true;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

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

void SearchProgressReader::consume(std::string_view text) {
  for (char c : text) {
    if (c == '\n') {
      line(partial_);
      partial_.clear();
    } else {
      partial_.push_back(c);
    }
  }
}

void SearchProgressReader::line(std::string_view text) {
  double height = 0.0;
  if (startsWith(text, "  初始排样序列:") && numberAfter(text, "排样高度=", height)) {
    progress_ = {{height}, {height}};
    accepted_ = false;
  } else if (progress_.best.empty()) {
    return;  // nothing before the start of a search belongs to it
  } else if (startsWith(text, "  排样效率=") && numberAfter(text, ";排样高度=", height)) {
    neighbour_ = height;
    accepted_ = false;
  } else if (startsWith(text, "第") && text.find("次链间交换") != std::string_view::npos &&
             numberAfter(text, "最优排样高度=", height)) {
    if (height < progress_.best.back()) progress_.best.back() = height;
  } else if (text == "  邻域解被接受成为当前解") {
    accepted_ = true;
  } else if (text == "  邻域解优于最优解" || text == "  邻域解次于最优解") {
    // The last line of an iteration's record.
    const bool newBest = text == "  邻域解优于最优解";
    progress_.best.push_back(newBest ? neighbour_ : progress_.best.back());
    progress_.current.push_back(accepted_ ? neighbour_ : progress_.current.back());
    accepted_ = false;
  }
}

}  // namespace tessera
