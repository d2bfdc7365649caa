#include "squeeze/problem.h"

#include <cmath>
#include <utility>

#include "geometry/assert.h"
#include "model/solid_checks.h"

namespace tessera {

SqueezeProblem makeProblem(const PackingSystem& system, std::vector<Polyhedron> typeGeometry) {
  TESSERA_ASSERT(typeGeometry.size() == system.partTypes.size());
  SqueezeProblem problem;
  problem.container = system.container;
  problem.container.computeBoundingBox();
  problem.types = std::move(typeGeometry);
  problem.partType.assign(static_cast<std::size_t>(system.parts.count()), -1);
  for (const Part& part : system.parts) {
    TESSERA_ASSERT(part.id >= 0 && part.id < system.parts.count());
    problem.partType[static_cast<std::size_t>(part.id)] = typeIndexOf(system, part.name);
  }
  problem.orientations = system.orientationTable;
  std::vector<int> all(problem.orientations.size());
  for (std::size_t o = 0; o < all.size(); ++o) all[o] = static_cast<int>(o);
  problem.allowedOrientations.assign(problem.types.size(), all);
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
  p.placed = true;
  return p;
}

std::vector<Pose> posesFromParts(const SqueezeProblem& problem, const PartList& parts) {
  std::vector<Pose> poses(static_cast<std::size_t>(problem.partCount()));
  for (const Part& part : parts) {
    const auto id = static_cast<std::size_t>(part.id);
    TESSERA_ASSERT(id < poses.size());
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
