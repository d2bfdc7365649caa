#pragma once

#include <vector>

#include "placement/prepared_solid.h"
#include "squeeze/poles.h"
#include "squeeze/problem.h"

// Every part type turned into every orientation it may take, once per search: the solid the
// exact tests read (moved by a pose's translation it is the realised part, bit for bit) and
// the poles the overlap proxy reads.
namespace tessera {

struct TurnedShape {
  PreparedSolid solid;           // Polyhedron::transform of the type's geometry, not moved
  std::vector<Sphere> poles;     // the type's poles turned the same way
  Sphere poleBound;              // a sphere around every pole
  Point extent;                  // box extents
  bool convex = false;           // every face plane supports the solid
};

/// The shape moved by translation: with the turned shape's solid, bit for bit the solid of
/// realisePart (Polyhedron::transform, then Polyhedron::translate).
void realiseShape(const TurnedShape& shape, const Point& translation, PreparedSolid& out);

class ShapeCatalogue {
 public:
  explicit ShapeCatalogue(const SqueezeProblem& problem, const PoleOptions& poles = {});

  /// Needs orientation allowed for type.
  const TurnedShape& shape(int type, int orientation) const {
    return shapes_[static_cast<std::size_t>(type * orientationCount_ + orientation)];
  }
  /// The type's largest pole radius: the length the proxy scales by.
  double poleScale(int type) const { return poleScale_[static_cast<std::size_t>(type)]; }
  /// The type's largest box extent in its file's orientation.
  double size(int type) const { return size_[static_cast<std::size_t>(type)]; }
  int polesOf(int type) const { return poleCount_[static_cast<std::size_t>(type)]; }

 private:
  int orientationCount_ = 0;
  std::vector<TurnedShape> shapes_;
  std::vector<double> poleScale_;
  std::vector<double> size_;
  std::vector<int> poleCount_;
};

}  // namespace tessera
