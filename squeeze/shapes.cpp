#include "squeeze/shapes.h"

#include <algorithm>

namespace tessera {

ShapeCatalogue::ShapeCatalogue(const SqueezeProblem& problem, const PoleOptions& poleOptions)
    : orientationCount_(static_cast<int>(problem.orientations.size())) {
  shapes_.resize(static_cast<std::size_t>(problem.typeCount() * orientationCount_));
  for (int t = 0; t < problem.typeCount(); ++t) {
    const Polyhedron& geometry = problem.types[static_cast<std::size_t>(t)];
    const std::vector<Sphere> poles = inscribedSpheres(geometry, poleOptions);
    double scale = 0.0;
    for (const Sphere& s : poles) scale = std::max(scale, s.radius);
    poleScale_.push_back(scale);
    poleCount_.push_back(static_cast<int>(poles.size()));
    const Point e = minus(geometry.boxMax, geometry.boxMin);
    size_.push_back(std::max({e.x, e.y, e.z}));
    for (int o : problem.allowedOrientations[static_cast<std::size_t>(t)]) {
      const Orientation& turn = problem.orientations[static_cast<std::size_t>(o)];
      Polyhedron turned = geometry;
      turned.transform(turn);
      TurnedShape& shape = shapes_[static_cast<std::size_t>(t * orientationCount_ + o)];
      prepareSolid(turned, shape.solid);
      shape.extent = minus(turned.boxMax, turned.boxMin);
      for (const Sphere& s : poles) shape.poles.push_back({apply(turn, s.centre), s.radius});
    }
  }
}

}  // namespace tessera
