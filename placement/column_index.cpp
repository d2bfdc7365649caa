#include "placement/column_index.h"

namespace tessera {

void ColumnIndex::reset(const Point& origin, double side, int columnsX, int columnsY) {
  origin_ = origin;
  side_ = side;
  columnsX_ = std::max(columnsX, 1);
  columnsY_ = std::max(columnsY, 1);
  columns_.resize(static_cast<std::size_t>(columnsX_) * static_cast<std::size_t>(columnsY_));
  clear();
}

void ColumnIndex::clear() {
  for (std::vector<int>& column : columns_) column.clear();
  everywhere_.clear();
  filed_.clear();
}

void ColumnIndex::add(int p, const Point& boxMin, const Point& boxMax) {
  filed_.push_back(p);
  int x0, x1, y0, y1;
  if (!span(boxMin, boxMax, x0, x1, y0, y1)) {
    everywhere_.push_back(p);
    return;
  }
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) columns_[at(x, y)].push_back(p);
}

}  // namespace tessera
