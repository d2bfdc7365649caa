#include "model/part_list.h"

#include <algorithm>

namespace tessera {

void PartList::sortByVolumeDescending() {
  // b walks from the last part to the front. Each round either moves the smallest part in
  // front of b to just behind b, or steps b one part forward; both leave b one index lower.
  for (std::size_t b = parts_.size(); b-- > 1;) {
    std::size_t m = b;
    double best = parts_[b].volume;
    for (std::size_t i = 0; i < b; ++i) {
      if (parts_[i].volume < best) {
        m = i;
        best = parts_[i].volume;
      }
    }
    if (m != b) {
      auto first = parts_.begin() + static_cast<std::ptrdiff_t>(m);
      std::rotate(first, first + 1, parts_.begin() + static_cast<std::ptrdiff_t>(b) + 1);
    }
  }
}

Part* PartList::findById(int id) {
  for (Part& p : parts_)
    if (p.id == id) return &p;
  return nullptr;
}

const Part* PartList::findById(int id) const {
  for (const Part& p : parts_)
    if (p.id == id) return &p;
  return nullptr;
}

}  // namespace tessera
