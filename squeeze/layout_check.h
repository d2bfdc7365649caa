#pragma once

#include <utility>
#include <vector>

#include "squeeze/problem.h"

// The one judge of a layout of poses: the exact predicates placement uses, on the realised
// geometry. Whatever guides the squeeze, a layout counts as feasible only when this says so.
namespace tessera {

struct LayoutCheck {
  std::vector<std::pair<int, int>> interfering;  // parts i < j that the disjointness test refuses
  std::vector<int> outside;                      // parts with a vertex outside the container
  double height = 0.0;                           // packingHeight of the layout

  bool feasible() const { return interfering.empty() && outside.empty(); }
};

/// Every pair of parts disjoint by the exact solid-disjointness test, every vertex of every
/// part inside the container by the exact point-in-solid test, and the packing height.
LayoutCheck checkLayout(const SqueezeProblem& problem, const std::vector<Pose>& poses);

/// Highest part top minus the container's bottom (at least 0), as an evaluation measures it.
double packingHeight(const SqueezeProblem& problem, const std::vector<Pose>& poses);

/// The packing height over the tops (box maxima along z) of every part: the one formula.
inline double heightOverTops(double bottom, const std::vector<double>& tops) {
  double top = bottom;
  for (double t : tops)
    if (t > top) top = t;
  return top - bottom;
}

}  // namespace tessera
