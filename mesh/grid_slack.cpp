#include "mesh/grid_slack.h"

#include <sstream>

namespace tessera {

namespace {

// Whether span lies in the band a container side of length side leaves without slack.
bool inBand(double span, double side, double PBSL) { return span > side - PBSL && span <= side; }

const char* const kAxes[] = {"length (x)", "width (y)", "height (z)"};

double along(const Point& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

struct Tight {
  int axis = -1;  // -1: there is slack everywhere
  double span = 0.0;
};

// The first container axis on which some side of a, plus some side of b (none without b),
// falls into the band. Parts may be turned, so every side counts.
Tight tightAxis(const Point& a, const Point* b, const Point& container, double PBSL) {
  for (int axis = 0; axis < 3; ++axis) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < (b != nullptr ? 3 : 1); ++j) {
        const double span = along(a, i) + (b != nullptr ? along(*b, j) : 0.0);
        if (inBand(span, along(container, axis), PBSL)) return {axis, span};
      }
    }
  }
  return {};
}

}  // namespace

std::string gridSlackWarnings(const std::vector<SlackPart>& parts, const Point& container,
                              double PBSL) {
  std::ostringstream out;
  auto warn = [&](const std::string& what, const Tight& tight, const char* object) {
    out << "warning: " << what << ' ' << tight.span << ", within one cell (PBSL " << PBSL
        << ") of the container's " << kAxes[tight.axis] << ' ' << along(container, tight.axis)
        << ": placement needs about one cell of slack there and may never place " << object
        << " so; leave a cell or two of room\n";
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Tight alone = tightAxis(parts[i].size, nullptr, container, PBSL);
    if (alone.axis >= 0) warn("'" + parts[i].name + "' measures", alone, "it");
    for (std::size_t k = i; k < parts.size(); ++k) {
      if (k == i && parts[i].copies < 2) continue;
      const Tight pair = tightAxis(parts[i].size, &parts[k].size, container, PBSL);
      if (pair.axis >= 0)
        warn("'" + parts[i].name + "' and '" + parts[k].name + "' side by side measure", pair,
             "them");
    }
  }
  return out.str();
}

}  // namespace tessera
