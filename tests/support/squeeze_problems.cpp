#include "support/squeeze_problems.h"

#include "formats/project_loader.h"
#include "geometry/orientations.h"
#include "model/layout.h"
#include "model/project.h"
#include "placement/fast_evaluation.h"
#include "placement/occupancy_grid.h"
#include "support/packing.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera::test {

SqueezeProblem problemInCode(const Point& container, const std::vector<Polyhedron>& types,
                             const std::vector<int>& copies, int rn) {
  SqueezeProblem problem;
  problem.container = box({0, 0, 0}, container, "container");
  problem.types = types;
  for (std::size_t t = 0; t < types.size(); ++t)
    for (int c = 0; c < copies[t]; ++c) problem.partType.push_back(static_cast<int>(t));
  problem.orientations = buildOrientations(rn);
  std::vector<int> all;
  for (std::size_t o = 0; o < problem.orientations.size(); ++o) all.push_back(static_cast<int>(o));
  problem.allowedOrientations.assign(types.size(), all);
  return problem;
}

std::vector<Pose> towerStart(const SqueezeProblem& problem) {
  std::vector<Pose> poses;
  double floor = 0.25;
  for (int i = 0; i < problem.partCount(); ++i) {
    const int type = problem.partType[static_cast<std::size_t>(i)];
    const int o = problem.allowedOrientations[static_cast<std::size_t>(type)].front();
    Polyhedron turned = problem.types[static_cast<std::size_t>(type)];
    turned.transform(problem.orientations[static_cast<std::size_t>(o)]);
    const Point middle{0.5 * (problem.container.boxMax.x - (turned.boxMax.x - turned.boxMin.x)),
                       0.5 * (problem.container.boxMax.y - (turned.boxMax.y - turned.boxMin.y)),
                       floor};
    poses.push_back({o, minus(middle, turned.boxMin)});
    floor += turned.boxMax.z - turned.boxMin.z + 0.25;
  }
  return poses;
}

LoadedExample loadExample(const std::string& folder) {
  WorkingDirectory inside(folder);
  LoadedExample example;
  loadProject(example.project, "project.txt");
  buildOrientations(example.project);
  FastEvaluator evaluator(1);
  example.layout =
      evaluator.evaluate(example.project, identitySequence(example.project.sequenceLength));
  example.problem = makeProblem(example.project);
  example.start = posesFromLayout(example.problem, example.layout);
  example.placed = placedSolids(example.project, example.layout);
  return example;
}

}  // namespace tessera::test
