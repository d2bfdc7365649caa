#include "placement/box_tree.h"

#include <algorithm>

#include "geometry/assert.h"

namespace tessera {

namespace {

double along(const Point& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

}  // namespace

void BoxTree::build(const std::vector<Point>& min, const std::vector<Point>& max,
                    std::uint32_t leafItems) {
  TESSERA_ASSERT(min.size() == max.size() && leafItems > 0);
  nodes_.clear();
  items_.resize(min.size());
  itemMin_ = min;
  itemMax_ = max;
  if (min.empty()) return;
  std::vector<Point> centres(min.size());
  for (std::size_t i = 0; i < min.size(); ++i) {
    items_[i] = static_cast<std::uint32_t>(i);
    // Only where to split; any rounding here changes the shape of the tree, never a box.
    centres[i] = {0.5 * min[i].x + 0.5 * max[i].x, 0.5 * min[i].y + 0.5 * max[i].y,
                  0.5 * min[i].z + 0.5 * max[i].z};
  }
  nodes_.reserve(2 * min.size() / leafItems + 1);
  add(0, static_cast<std::uint32_t>(min.size()), centres, leafItems);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    itemMin_[i] = min[items_[i]];
    itemMax_[i] = max[items_[i]];
  }
}

// Adds the node over items_[first, first + count) and its subtree, splitting at the median
// centre along the axis where the centres spread most.
void BoxTree::add(std::uint32_t first, std::uint32_t count, const std::vector<Point>& centres,
                  std::uint32_t leafItems) {
  const auto index = static_cast<std::uint32_t>(nodes_.size());
  nodes_.push_back({});
  Point lo = itemMin_[items_[first]];
  Point hi = itemMax_[items_[first]];
  Point cLo = centres[items_[first]];
  Point cHi = cLo;
  for (std::uint32_t i = first; i < first + count; ++i) {
    const std::uint32_t item = items_[i];
    lo = {std::min(lo.x, itemMin_[item].x), std::min(lo.y, itemMin_[item].y),
          std::min(lo.z, itemMin_[item].z)};
    hi = {std::max(hi.x, itemMax_[item].x), std::max(hi.y, itemMax_[item].y),
          std::max(hi.z, itemMax_[item].z)};
    const Point& c = centres[item];
    cLo = {std::min(cLo.x, c.x), std::min(cLo.y, c.y), std::min(cLo.z, c.z)};
    cHi = {std::max(cHi.x, c.x), std::max(cHi.y, c.y), std::max(cHi.z, c.z)};
  }
  nodes_[index].min = lo;
  nodes_[index].max = hi;
  if (count <= leafItems) {
    nodes_[index].first = first;
    nodes_[index].count = count;
  } else {
    const double spread[3] = {cHi.x - cLo.x, cHi.y - cLo.y, cHi.z - cLo.z};
    const int axis = spread[0] >= spread[1] && spread[0] >= spread[2] ? 0
                     : spread[1] >= spread[2]                         ? 1
                                                                      : 2;
    const std::uint32_t half = count / 2;
    const auto begin = items_.begin() + first;
    std::nth_element(begin, begin + half, begin + count, [&](std::uint32_t a, std::uint32_t b) {
      const double ca = along(centres[a], axis);
      const double cb = along(centres[b], axis);
      return ca < cb || (ca == cb && a < b);
    });
    add(first, half, centres, leafItems);
    add(first + half, count - half, centres, leafItems);
  }
  nodes_[index].next = static_cast<std::uint32_t>(nodes_.size());
}

void BoxTree::translate(const Point& offset) {
  for (Node& node : nodes_) {
    node.min = plus(node.min, offset);
    node.max = plus(node.max, offset);
  }
  for (Point& p : itemMin_) p = plus(p, offset);
  for (Point& p : itemMax_) p = plus(p, offset);
}

}  // namespace tessera
