#include "model/part_list.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessera {

void PartList::sortByVolumeDescending() {
  // The order of repeated selection, made in O(n log n). Selection fills the places from the
  // back: each place gets the first smallest part in front of it when that part's volume is
  // less (by <) than the volume of the part on the place, else keeps its part; the parts not
  // taken keep their order. NaN volumes are never less than anything and nothing is less
  // than them, so a NaN is never taken from in front and a NaN on the place stays.
  const std::size_t n = parts_.size();
  if (n < 2) return;
  // Positions of the parts with a number for a volume by volume, equal ones in list order;
  // the first one not yet taken is the first smallest part still in front.
  std::vector<std::size_t> byVolume;
  byVolume.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isnan(parts_[i].volume)) byVolume.push_back(i);
  std::stable_sort(byVolume.begin(), byVolume.end(), [&](std::size_t a, std::size_t b) {
    return parts_[a].volume < parts_[b].volume;
  });
  std::vector<char> taken(n, 0);
  std::vector<std::size_t> from(n);  // from[b]: the position, before sorting, of place b's part
  std::size_t smallest = 0;          // into byVolume
  std::size_t end = n;               // one past the last part not yet taken
  for (std::size_t b = n; b-- > 0;) {
    while (taken[end - 1]) --end;
    const std::size_t onPlace = end - 1;
    while (smallest < byVolume.size() && taken[byVolume[smallest]]) ++smallest;
    std::size_t pick = onPlace;
    if (smallest < byVolume.size()) {
      const std::size_t candidate = byVolume[smallest];
      if (candidate != onPlace && parts_[candidate].volume < parts_[onPlace].volume)
        pick = candidate;
    }
    taken[pick] = 1;
    from[b] = pick;
  }
  std::deque<Part> sorted;
  for (std::size_t b = 0; b < n; ++b) sorted.push_back(std::move(parts_[from[b]]));
  parts_ = std::move(sorted);
}

int PartList::positionOf(int id) const {
  // Loading numbers the parts 0 ... n-1 in list order, so an id is normally its position.
  if (id >= 0 && id < count() && parts_[static_cast<std::size_t>(id)].id == id) return id;
  for (std::size_t p = 0; p < parts_.size(); ++p)
    if (parts_[p].id == id) return static_cast<int>(p);
  return -1;
}

Part* PartList::findById(int id) {
  const int p = positionOf(id);
  return p < 0 ? nullptr : &parts_[static_cast<std::size_t>(p)];
}

const Part* PartList::findById(int id) const {
  const int p = positionOf(id);
  return p < 0 ? nullptr : &parts_[static_cast<std::size_t>(p)];
}

}  // namespace tessera
