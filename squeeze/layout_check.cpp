#include "squeeze/layout_check.h"

#include "geometry/assert.h"
#include "placement/prepared_solid.h"

namespace tessera {

namespace {

std::vector<PreparedSolid> realiseAll(const SqueezeProblem& problem,
                                      const std::vector<Pose>& poses) {
  std::vector<PreparedSolid> solids(poses.size());
  for (std::size_t i = 0; i < poses.size(); ++i)
    prepareSolid(realisePart(problem, static_cast<int>(i), poses[i]), solids[i]);
  return solids;
}

}  // namespace

LayoutCheck checkLayout(const SqueezeProblem& problem, const std::vector<Pose>& poses) {
  TESSERA_ASSERT(static_cast<int>(poses.size()) == problem.partCount());
  const std::vector<PreparedSolid> solids = realiseAll(problem, poses);
  PreparedSolid container;
  prepareSolid(problem.container, container);
  LayoutCheck check;
  for (std::size_t i = 0; i < solids.size(); ++i) {
    for (const Point& v : solids[i].vertices) {
      if (insideSolid(v, container)) continue;
      check.outside.push_back(static_cast<int>(i));
      break;
    }
    for (std::size_t j = i + 1; j < solids.size(); ++j)
      if (!solidsDisjoint(solids[i], solids[j]))
        check.interfering.emplace_back(static_cast<int>(i), static_cast<int>(j));
  }
  std::vector<double> tops;
  for (const PreparedSolid& s : solids) tops.push_back(s.boxMax.z);
  check.height = heightOverTops(problem.container.boxMin.z, tops);
  return check;
}

double packingHeight(const SqueezeProblem& problem, const std::vector<Pose>& poses) {
  std::vector<double> tops;
  for (std::size_t i = 0; i < poses.size(); ++i)
    tops.push_back(realisePart(problem, static_cast<int>(i), poses[i]).boxMax.z);
  return heightOverTops(problem.container.boxMin.z, tops);
}

}  // namespace tessera
