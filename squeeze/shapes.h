#pragma once

#include <vector>

#include "geometry/transform.h"
#include "placement/prepared_solid.h"
#include "squeeze/distance_field.h"
#include "squeeze/problem.h"

// Every part type turned into every orientation it may take, once per search: the solid the
// exact tests read (moved by a pose's translation it is the realised part, bit for bit) and
// what the overlap proxy reads (the type's distance field, its inside points turned).
namespace tessera {

struct TurnedShape {
  PreparedSolid solid;              // Polyhedron::transform of the type's geometry, not moved
  std::vector<InsidePoint> points;  // the type's inside points turned the same way
  double back[3][3] = {};           // the turn undone: file point[r] = sum of back[r][c] * w[c]
  Point extent;                     // box extents
  bool convex = false;              // every face plane supports the solid
};

/// The shape moved by translation: with the turned shape's solid, bit for bit the solid of
/// realisePart (Polyhedron::transform, then Polyhedron::translate).
void realiseShape(const TurnedShape& shape, const Point& translation, PreparedSolid& out);

class ShapeCatalogue {
 public:
  explicit ShapeCatalogue(const SqueezeProblem& problem, const FieldOptions& fields = {});

  /// Needs orientation allowed for type.
  const TurnedShape& shape(int type, int orientation) const {
    return shapes_[static_cast<std::size_t>(type * orientationCount_ + orientation)];
  }
  /// The type's distance field, in its file's coordinates.
  const DistanceField& field(int type) const { return fields_[static_cast<std::size_t>(type)]; }

 private:
  int orientationCount_ = 0;
  std::vector<TurnedShape> shapes_;
  std::vector<DistanceField> fields_;
};

}  // namespace tessera
