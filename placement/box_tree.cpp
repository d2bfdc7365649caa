#include "placement/box_tree.h"

#include <algorithm>

#include "geometry/assert.h"

namespace tessera {

namespace {

constexpr std::uint32_t kLeafItems = 4;

double along(const Point& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

}  // namespace

void BoxTree::build(const std::vector<Point>& min, const std::vector<Point>& max,
                    const std::vector<Point>& keys) {
  TESSERA_ASSERT(min.size() == max.size());
  TESSERA_ASSERT(keys.empty() || keys.size() == min.size());
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
  nodes_.reserve(2 * min.size() / kLeafItems + 1);
  add(0, static_cast<std::uint32_t>(min.size()), centres, keys);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    itemMin_[i] = min[items_[i]];
    itemMax_[i] = max[items_[i]];
  }
}

// Adds the node over items_[first, first + count) and its subtree, splitting at the median
// along the dimension (of the centres and the keys) that spreads most.
void BoxTree::add(std::uint32_t first, std::uint32_t count, const std::vector<Point>& centres,
                  const std::vector<Point>& keys) {
  const auto index = static_cast<std::uint32_t>(nodes_.size());
  nodes_.push_back({});
  Point lo = itemMin_[items_[first]];
  Point hi = itemMax_[items_[first]];
  for (std::uint32_t i = first; i < first + count; ++i) {
    const std::uint32_t item = items_[i];
    lo = {std::min(lo.x, itemMin_[item].x), std::min(lo.y, itemMin_[item].y),
          std::min(lo.z, itemMin_[item].z)};
    hi = {std::max(hi.x, itemMax_[item].x), std::max(hi.y, itemMax_[item].y),
          std::max(hi.z, itemMax_[item].z)};
  }
  nodes_[index].min = lo;
  nodes_[index].max = hi;
  if (count <= kLeafItems) {
    nodes_[index].first = first;
    nodes_[index].count = count;
  } else {
    // Dimension d < 3 is a centre coordinate, d >= 3 a key coordinate.
    auto value = [&](std::uint32_t item, int d) {
      return d < 3 ? along(centres[item], d) : along(keys[item], d - 3);
    };
    const int dimensions = keys.empty() ? 3 : 6;
    int axis = 0;
    double widest = -1.0;
    for (int d = 0; d < dimensions; ++d) {
      double a = value(items_[first], d);
      double b = a;
      for (std::uint32_t i = first + 1; i < first + count; ++i) {
        a = std::min(a, value(items_[i], d));
        b = std::max(b, value(items_[i], d));
      }
      if (b - a > widest) {
        widest = b - a;
        axis = d;
      }
    }
    const std::uint32_t half = count / 2;
    const auto begin = items_.begin() + first;
    std::nth_element(begin, begin + half, begin + count, [&](std::uint32_t a, std::uint32_t b) {
      const double ca = value(a, axis);
      const double cb = value(b, axis);
      return ca < cb || (ca == cb && a < b);
    });
    add(first, half, centres, keys);
    add(first + half, count - half, centres, keys);
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
