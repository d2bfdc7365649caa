#include "squeeze/problem.h"

#include <cmath>
#include <utility>

#include "geometry/assert.h"
#include "model/solid_checks.h"

namespace tessera {

SqueezeProblem makeProblem(const Project& project) {
  SqueezeProblem problem;
  problem.container = project.container;
  problem.container.computeBoundingBox();
  problem.types = project.sources;
  problem.partType = project.sourceOfPart;
  problem.orientations = project.orientationTable;
  // Type s is part file s, whose part type is the project's entry s.
  for (std::size_t s = 0; s < problem.types.size(); ++s)
    problem.allowedOrientations.push_back(turnsOfType(project, static_cast<int>(s)));
  return problem;
}

std::string containerRefusal(const SqueezeProblem& problem) {
  const Polyhedron& c = problem.container;
  const Point e = minus(c.boxMax, c.boxMin);
  const double boxVolume = e.x * e.y * e.z;
  if (!(boxVolume > 0.0)) return "the container has no extent along some axis";
  const double enclosed = enclosedVolume(c);
  if (!(std::fabs(enclosed - boxVolume) <= 1e-9 * boxVolume))
    return "the container is not a box (it encloses " + std::to_string(enclosed) +
           " of its box's " + std::to_string(boxVolume) +
           "); the squeeze packs into box-shaped containers only";
  return {};
}

Polyhedron realisePart(const SqueezeProblem& problem, int part, const Pose& pose) {
  const int type = problem.partType[static_cast<std::size_t>(part)];
  Polyhedron p = problem.types[static_cast<std::size_t>(type)];
  p.transform(problem.orientations[static_cast<std::size_t>(pose.orientation)]);
  p.translate(pose.translation);
  p.id = part;
  return p;
}

std::vector<Pose> posesFromLayout(const SqueezeProblem& problem, const Layout& layout) {
  TESSERA_ASSERT(layout.parts.size() == static_cast<std::size_t>(problem.partCount()));
  std::vector<Pose> poses(layout.parts.size());
  for (std::size_t id = 0; id < poses.size(); ++id) {
    const PartPlacement& part = layout.parts[id];
    const int type = problem.partType[id];
    int turn = -1;
    int turns = 0;
    for (const MotionStep& step : part.motion) {
      if (step.orientation < 0) continue;
      turn = step.orientation;
      ++turns;
    }
    TESSERA_ASSERT(turns <= 1);  // placement turns a part once
    if (part.placed && turn >= 0) {
      // The turn is linear, so the origin carried along the motion is the translation that
      // follows the turn of the file geometry.
      poses[id] = {turn, applyMotion(part.motion, problem.orientations, Point{})};
      continue;
    }
    TESSERA_ASSERT(!part.placed);
    const int first = problem.allowedOrientations[static_cast<std::size_t>(type)].front();
    Polyhedron turned = problem.types[static_cast<std::size_t>(type)];
    turned.transform(problem.orientations[static_cast<std::size_t>(first)]);
    poses[id] = {first, minus(problem.container.boxMin, turned.boxMin)};
  }
  return poses;
}

}  // namespace tessera
