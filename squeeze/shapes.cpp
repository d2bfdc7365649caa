#include "squeeze/shapes.h"

#include <algorithm>
#include <cmath>

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
      if (!shape.poles.empty()) {
        Point lo = shape.poles[0].centre, hi = lo;
        for (const Sphere& s : shape.poles) {
          lo = {std::min(lo.x, s.centre.x), std::min(lo.y, s.centre.y), std::min(lo.z, s.centre.z)};
          hi = {std::max(hi.x, s.centre.x), std::max(hi.y, s.centre.y), std::max(hi.z, s.centre.z)};
        }
        const Point c{0.5 * (lo.x + hi.x), 0.5 * (lo.y + hi.y), 0.5 * (lo.z + hi.z)};
        double r = 0.0;
        for (const Sphere& s : shape.poles) {
          const Point d = minus(s.centre, c);
          r = std::max(r, std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) + s.radius);
        }
        shape.poleBound = {c, r};
      }
      const double tolerance = 1e-12 * size_.back();
      shape.convex = true;
      for (const PreparedFace& f : shape.solid.faces)
        for (const Point& v : shape.solid.vertices)
          shape.convex = shape.convex && f.plane.value(v) <= tolerance;
    }
  }
}

void realiseShape(const TurnedShape& shape, const Point& translation, PreparedSolid& out) {
  out = shape.solid;
  translateSolid(out, translation);
  refreshPlanes(out);
}

}  // namespace tessera
