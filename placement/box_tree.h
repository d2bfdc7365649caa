#pragma once

#include <cstdint>
#include <vector>

#include "geometry/point.h"

// A bounding-box hierarchy over the items of a solid (faces, edges or vertices), so that a
// query visits only the items whose boxes can matter to it.
//
// Boxes are exact: a node's box is the least and greatest coordinate of the items under it,
// with no padding and no rounding. A translation adds the same offset to every box with the
// same rounded additions that move the items themselves, and since rounding is monotone,
// fl(lo + o) <= fl(p + o) <= fl(hi + o): moved items stay inside their moved boxes. Every
// pruning test built on it therefore compares plain doubles that bound the item coordinates
// exactly, which is what keeps the answers of the predicates unchanged.
namespace tessera {

class BoxTree {
 public:
  // Depth first; a node's subtree ends just before `next`. A leaf holds the items at leaf
  // positions [first, first + count); an inner node holds none (count 0) and has the
  // children n + 1 and nodes[n + 1].next.
  struct Node {
    Point min;
    Point max;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint32_t next = 0;

    bool leaf() const { return count > 0; }
  };

  /// Builds the tree over items with the given boxes (min[i] <= max[i] on every axis), at most
  /// leafItems to a leaf. Nodes are split at the median box centre along the axis where the
  /// centres spread most.
  void build(const std::vector<Point>& min, const std::vector<Point>& max,
             std::uint32_t leafItems = 4);

  /// Adds offset to every box, as the items are moved: box = plus(box, offset).
  void translate(const Point& offset);

  bool empty() const { return nodes_.empty(); }
  const std::vector<Node>& nodes() const { return nodes_; }
  /// The item at a leaf position, and its box.
  std::uint32_t item(std::uint32_t position) const { return items_[position]; }
  const Point& itemMin(std::uint32_t position) const { return itemMin_[position]; }
  const Point& itemMax(std::uint32_t position) const { return itemMax_[position]; }

  /// Calls visit(item) for every item whose box passes keep(min, max), where keep also decides
  /// which nodes are entered: it must pass a node whenever it passes some item under it (a test
  /// that is monotone in the box does). Stops when visit returns true and returns whether it did.
  template <typename Keep, typename Visit>
  bool find(Keep&& keep, Visit&& visit) const {
    const std::size_t count = nodes_.size();
    std::size_t n = 0;
    while (n < count) {
      const Node& node = nodes_[n];
      if (!keep(node.min, node.max)) {
        n = node.next;
        continue;
      }
      for (std::uint32_t i = node.first; i < node.first + node.count; ++i)
        if (keep(itemMin_[i], itemMax_[i]) && visit(items_[i])) return true;
      ++n;
    }
    return false;
  }

 private:
  void add(std::uint32_t first, std::uint32_t count, const std::vector<Point>& centres,
           std::uint32_t leafItems);

  std::vector<Node> nodes_;
  std::vector<std::uint32_t> items_;  // item indices in leaf order
  std::vector<Point> itemMin_, itemMax_;
};

}  // namespace tessera
