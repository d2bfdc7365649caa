#pragma once

#include <deque>

#include "model/polyhedron.h"

namespace tessera {

/// One copy of a part to be packed; only its id tells copies of one type apart.
using Part = Polyhedron;

/// The ordered list of parts. Order is significant: it fixes ids and every scan order.
class PartList {
 public:
  void pushFront(Part part) { parts_.insert(parts_.begin(), std::move(part)); }
  void pushBack(Part part) { parts_.push_back(std::move(part)); }
  void clear() { parts_.clear(); }
  /// Non-increasing volume in the order that repeated selection of the smallest part before a
  /// boundary gives; the tie behaviour fixes the ids numbered afterwards. O(n log n).
  void sortByVolumeDescending();

  int count() const { return static_cast<int>(parts_.size()); }
  bool empty() const { return parts_.empty(); }
  Part& operator[](int i) { return parts_[static_cast<std::size_t>(i)]; }
  const Part& operator[](int i) const { return parts_[static_cast<std::size_t>(i)]; }
  auto begin() { return parts_.begin(); }
  auto end() { return parts_.end(); }
  auto begin() const { return parts_.begin(); }
  auto end() const { return parts_.end(); }

  /// Ids are unique within a list: loading numbers the parts 0 ... n-1 in list order.
  /// The position of the part with this id, -1 when none has it; at once when the id is the
  /// part's position, by a scan otherwise.
  int positionOf(int id) const;
  /// The part with this id; nullptr when none has it.
  Part* findById(int id);
  const Part* findById(int id) const;

 private:
  std::deque<Part> parts_;
};

}  // namespace tessera
