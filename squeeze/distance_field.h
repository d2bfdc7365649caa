#pragma once

#include <vector>

#include "geometry/point.h"
#include "model/polyhedron.h"

// A solid's signed distance to its own boundary sampled on a grid (positive inside), and points
// spread through its inside: how deep a point of one part lies in another is read from the
// other's field, which is what the overlap proxy sums.
namespace tessera {

struct DistanceField {
  Point origin;          // node (0, 0, 0)
  double spacing = 0.0;  // between neighbouring nodes
  int nx = 0;
  int ny = 0;
  int nz = 0;
  std::vector<float> values;  // node (i, j, k) at i + nx * (j + ny * k)

  /// Trilinear interpolation of the nodes; -spacing outside the grid. Within the grid it differs
  /// from the true signed distance by at most spacing * sqrt(3).
  double at(const Point& q) const;
};

struct FieldOptions {
  int maxNodes = 40000;      // the spacing grows until the grid has no more nodes than this
  int cellsAcross = 10;      // and is at most the solid's smallest extent over this
  int samples = 64;          // points spread through the inside
};

/// A point inside the solid, how deep (its distance to the boundary), and the share of the
/// solid's volume it stands for.
struct InsidePoint {
  Point at;
  double depth = 0.0;
  double weight = 0.0;
};

struct SolidField {
  DistanceField field;
  std::vector<InsidePoint> points;
};

/// Distance from q to the nearest point of the solid's boundary (its faces as planar polygons).
double distanceToBoundary(const Point& q, const Polyhedron& solid);

/// q inside the solid by its winding number: sound also where a ray would graze an edge.
bool insideByWinding(const Point& q, const Polyhedron& solid);

/// The field over the solid's box widened by one spacing, and the inside points: grid nodes
/// chosen farthest from each other, the deepest first.
SolidField solidField(const Polyhedron& solid, const FieldOptions& options = {});

}  // namespace tessera
