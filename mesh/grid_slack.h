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

/// Placement lays parts out on a grid of cells of edge PBSL and needs one cell of slack along
/// an axis: a part (or two parts side by side) spanning more than the container's side less
/// one cell, but no more than the side, fits the container yet is never placed so. One
/// warning line per such part or pair, naming the axis; empty when there is none.
std::string gridSlackWarnings(const std::vector<SlackPart>& parts, const Point& container,
                              double PBSL);

}  // namespace tessera
