#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/point.h"

// The placed parts filed by the columns of the container's floor their boxes cover, so that a
// candidate's box is tested only against parts filed under a column it covers.
//
// Contract: allNear(box) visits every filed part whose box overlaps the given box by
// boxesOverlap (and maybe others), each at most once. Why none is missed: the column of a
// coordinate is floor((c - origin) / side), clamped to the grid of columns; that map is
// monotone, so when two boxes overlap (on x some c lies in both spans, the same on y) the
// column of that c lies in both boxes' column ranges. Boxes with a coordinate that is not a
// number are filed under every column (or, asked about, look at every part). A part is filed
// once; a part that moves must be filed afresh (clear, then add every part again).
namespace tessera {

class ColumnIndex {
 public:
  /// Columns of `side` from `origin`, columnsX by columnsY of them (at least one each); empty.
  void reset(const Point& origin, double side, int columnsX, int columnsY);
  /// Forgets every filed part; the columns stay.
  void clear();
  /// Files part p by its box.
  void add(int p, const Point& boxMin, const Point& boxMax);

  /// Calls test(p) once for every filed part whose box may overlap the given one (and maybe
  /// others), stopping at the first false; returns whether none was false. `seen` is the
  /// caller's scratch, one entry per part position (`parts` of them), and `stamp` its counter.
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
    if (std::isnan(lo.x) || std::isnan(lo.y) || std::isnan(hi.x) || std::isnan(hi.y)) return false;
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

}  // namespace tessera
