#include "support/scene_boxes.h"

namespace tessera::test {

std::vector<std::vector<Point>> boxFaces(Point lo, Point hi) {
  std::vector<Point> c;
  for (int i = 0; i < 8; ++i) {
    c.push_back(
        {(i & 1) != 0 ? hi.x : lo.x, (i & 2) != 0 ? hi.y : lo.y, (i & 4) != 0 ? hi.z : lo.z});
  }
  return {{c[0], c[2], c[3], c[1]}, {c[4], c[5], c[7], c[6]}, {c[0], c[1], c[5], c[4]},
          {c[2], c[6], c[7], c[3]}, {c[0], c[4], c[6], c[2]}, {c[1], c[3], c[7], c[5]}};
}

std::vector<LayoutEdge> boxEdges(Point lo, Point hi) {
  std::vector<LayoutEdge> edges;
  for (const auto& face : boxFaces(lo, hi)) {
    for (std::size_t i = 0; i < face.size(); ++i)
      edges.push_back({face[i], face[(i + 1) % face.size()]});
  }
  return edges;
}

LayoutSolid boxSolid(Point lo, Point hi, int typeIndex) {
  return {boxFaces(lo, hi), typeIndex, true};
}

}  // namespace tessera::test
