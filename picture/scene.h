#pragma once

#include <string>
#include <vector>

#include "geometry/point.h"

namespace tessera {

struct LayoutEdge {
  Point start;
  Point end;
};

/// One part as it stands in the layout.
struct LayoutSolid {
  /// Planar rings, possibly non-convex; the right-hand rule on a ring gives its outward normal.
  std::vector<std::vector<Point>> faces;
  int typeIndex = 0;   // into LayoutScene::types; also picks the colour
  bool placed = true;  // false: no place was found and the part waits parked outside
};

struct LayoutType {
  std::string name;
  int count = 0;  // copies in the project
};

/// Everything a picture of a layout shows.
struct LayoutScene {
  std::string title;   // first words of the title line; may be empty
  Point containerMin;  // the container's bounding box
  Point containerMax;
  std::vector<LayoutEdge> containerEdges;  // drawn as a wire frame
  std::vector<LayoutSolid> solids;
  std::vector<LayoutType> types;  // legend order
  double packingHeight = 0.0;
  double containerBottom = 0.0;  // z the packing height is measured from
};

}  // namespace tessera
