#pragma once

#include <string>
#include <vector>

#include "model/polyhedron.h"
#include "squeeze/problem.h"

// Problems for the squeeze: built in code, or loaded from a bundled example with the greedy
// layout of its identity sequence as the start.
namespace tessera::test {

/// A box container of the given extents from the origin; copies[t] parts of types[t]; every
/// type allowed every orientation of the table for rn.
SqueezeProblem problemInCode(const Point& container, const std::vector<Polyhedron>& types,
                             const std::vector<int>& copies, int rn);

/// A feasible start: every part in the first allowed orientation, one above the other in the
/// middle of the floor, 0.25 apart. The container must be tall enough.
std::vector<Pose> towerStart(const SqueezeProblem& problem);

/// A loaded example and the layout the fast evaluation gives its identity sequence.
struct LoadedExample {
  SqueezeProblem problem;
  std::vector<Pose> start;
  Project project;
  Layout layout;                   // the evaluation's
  std::vector<Polyhedron> placed;  // placedSolids of the layout, by id
};
LoadedExample loadExample(const std::string& folder);

}  // namespace tessera::test
