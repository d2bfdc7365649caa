#include "picture/painter_order.h"

#include <algorithm>
#include <queue>
#include <utility>

namespace tessera {
namespace {

double coordinate(const Point& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

struct ScreenBox {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

// A solid as the painter sees it: its box in the world (heights as drawn), on the screen, and the
// depth of its nearest point.
struct PaintedSolid {
  Point lo;
  Point hi;
  ScreenBox screen;
  double nearest = 0.0;
};

PaintedSolid paintedSolid(const LayoutSolid& solid, const ViewMapping& view) {
  PaintedSolid painted;
  bool any = false;
  for (const auto& face : solid.faces) {
    for (const Point& world : face) {
      const Point p = drawnPoint(view.heightBreak, world);
      const ScreenPoint s = project(view, world);
      if (!any) {
        painted = {p, p, {s.x, s.y, s.x, s.y}, s.depth};
        any = true;
        continue;
      }
      painted.lo = {std::min(painted.lo.x, p.x), std::min(painted.lo.y, p.y),
                    std::min(painted.lo.z, p.z)};
      painted.hi = {std::max(painted.hi.x, p.x), std::max(painted.hi.y, p.y),
                    std::max(painted.hi.z, p.z)};
      painted.screen = {std::min(painted.screen.left, s.x), std::min(painted.screen.top, s.y),
                        std::max(painted.screen.right, s.x), std::max(painted.screen.bottom, s.y)};
      painted.nearest = std::min(painted.nearest, s.depth);
    }
  }
  return painted;
}

// Whether a lies wholly behind b: their boxes are apart along an axis and a is on the far side.
// A plane between two solids keeps the nearer one in front wherever the two overlap on the
// screen, so this is exact for solids in separate boxes.
bool behind(const PaintedSolid& a, const PaintedSolid& b, const Point& into) {
  for (int axis = 0; axis < 3; ++axis) {
    const double direction = coordinate(into, axis);
    if (direction > 0.0 && coordinate(a.lo, axis) >= coordinate(b.hi, axis)) return true;
    if (direction < 0.0 && coordinate(a.hi, axis) <= coordinate(b.lo, axis)) return true;
  }
  return false;
}

bool overlapOnScreen(const ScreenBox& a, const ScreenBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

std::vector<std::size_t> paintingOrder(const std::vector<LayoutSolid>& solids,
                                       const ViewMapping& view) {
  const std::size_t n = solids.size();
  std::vector<PaintedSolid> painted;
  painted.reserve(n);
  for (const LayoutSolid& solid : solids) painted.push_back(paintedSolid(solid, view));
  const Point into = viewDirection(view.kind);
  std::vector<std::vector<std::size_t>> after(n);
  std::vector<std::size_t> waitingFor(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (!overlapOnScreen(painted[i].screen, painted[j].screen)) continue;
      if (behind(painted[i], painted[j], into)) {
        after[i].push_back(j);
        ++waitingFor[j];
      } else if (behind(painted[j], painted[i], into)) {
        after[j].push_back(i);
        ++waitingFor[i];
      }
    }
  }
  auto paintsLater = [&](std::size_t a, std::size_t b) {
    if (painted[a].nearest != painted[b].nearest) return painted[a].nearest < painted[b].nearest;
    return a > b;
  };
  std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(paintsLater)> ready(
      paintsLater);
  for (std::size_t i = 0; i < n; ++i) {
    if (waitingFor[i] == 0) ready.push(i);
  }
  std::vector<bool> done(n, false);
  std::vector<std::size_t> order;
  order.reserve(n);
  while (order.size() < n) {
    std::size_t next = n;
    if (!ready.empty()) {
      next = ready.top();
      ready.pop();
      if (done[next]) continue;
    } else {  // a cycle: the farthest solid left goes first
      for (std::size_t i = 0; i < n; ++i) {
        if (!done[i] && (next == n || paintsLater(next, i))) next = i;
      }
    }
    done[next] = true;
    order.push_back(next);
    for (const std::size_t later : after[next]) {
      if (!done[later] && --waitingFor[later] == 0) ready.push(later);
    }
  }
  return order;
}

std::vector<std::size_t> faceOrder(const LayoutSolid& solid, const ViewMapping& view) {
  std::vector<std::pair<double, std::size_t>> faces;
  for (std::size_t f = 0; f < solid.faces.size(); ++f) {
    const auto& ring = solid.faces[f];
    if (ring.empty()) continue;
    double depth = 0.0;
    for (const Point& p : ring) depth += project(view, p).depth;
    faces.push_back({depth / static_cast<double>(ring.size()), f});
  }
  std::sort(faces.begin(), faces.end(), [](const auto& a, const auto& b) {
    return a.first > b.first || (a.first == b.first && a.second < b.second);
  });
  std::vector<std::size_t> order;
  order.reserve(faces.size());
  for (const auto& face : faces) order.push_back(face.second);
  return order;
}

}  // namespace tessera
