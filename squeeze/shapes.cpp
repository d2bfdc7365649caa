#include "squeeze/shapes.h"

#include <algorithm>
#include <cmath>

namespace tessera {

ShapeCatalogue::ShapeCatalogue(const SqueezeProblem& problem, const FieldOptions& fieldOptions)
    : orientationCount_(static_cast<int>(problem.orientations.size())) {
  shapes_.resize(static_cast<std::size_t>(problem.typeCount() * orientationCount_));
  for (int t = 0; t < problem.typeCount(); ++t) {
    const Polyhedron& geometry = problem.types[static_cast<std::size_t>(t)];
    SolidField solid = solidField(geometry, fieldOptions);
    fields_.push_back(std::move(solid.field));
    const Point e = minus(geometry.boxMax, geometry.boxMin);
    const double tolerance = 1e-12 * std::max({e.x, e.y, e.z});
    for (int o : problem.allowedOrientations[static_cast<std::size_t>(t)]) {
      const Orientation& turn = problem.orientations[static_cast<std::size_t>(o)];
      Polyhedron turned = geometry;
      turned.transform(turn);
      TurnedShape& shape = shapes_[static_cast<std::size_t>(t * orientationCount_ + o)];
      prepareSolid(turned, shape.solid);
      shape.extent = minus(turned.boxMax, turned.boxMin);
      for (const InsidePoint& p : solid.points)
        shape.points.push_back({apply(turn, p.at), p.depth, p.weight});
      // A turned point w = p * M (rows of M the turned axes): p = w * transpose(M), which
      // is p[r] = sum over c of M[r][c] * w[c].
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) shape.back[r][c] = turn.m[r][c];
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
