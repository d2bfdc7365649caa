#pragma once

#include <string>
#include <vector>

#include "geometry/point.h"

namespace tessera {

/// A part as the slack check sees it: its name, the extents of its box and its copy count.
struct SlackPart {
  std::string name;
  Point size;
  int copies = 1;
};

/// Placement lays parts out on a grid of cells of edge PBSL and needs about one cell of slack
/// along an axis: two parts side by side spanning more than the container's side less one
/// cell, but no more than the side, fit the container yet are never placed so, and a part
/// alone in that band may not be. One warning line per such part or pair, naming the axis;
/// empty when there is none.
std::string gridSlackWarnings(const std::vector<SlackPart>& parts, const Point& container,
                              double PBSL);

}  // namespace tessera
