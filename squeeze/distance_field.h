#pragma once

#include <vector>

#include "geometry/point.h"
#include "model/polyhedron.h"

// A solid's signed distance to its own boundary sampled on a grid (positive inside), and points
// spread through its inside: how deep a point of one part lies in another is read from the
// other's field, which is what the overlap proxy sums.
namespace tessera {

struct DistanceField {
  Point origin;             // node (0, 0, 0)
  double spacing = 0.0;     // between neighbouring nodes
  double perSpacing = 0.0;  // 1 / spacing
  int nx = 0;
  int ny = 0;
  int nz = 0;
  std::vector<float> values;  // node (i, j, k) at i + nx * (j + ny * k)

  /// Trilinear interpolation of the nodes; -spacing outside the grid. Within the grid it differs
  /// from the true signed distance by at most spacing * sqrt(3).
  double at(const Point& q) const {
    const double fx = (q.x - origin.x) * perSpacing;
    const double fy = (q.y - origin.y) * perSpacing;
    const double fz = (q.z - origin.z) * perSpacing;
    if (!(fx >= 0.0 && fy >= 0.0 && fz >= 0.0 && fx < nx - 1 && fy < ny - 1 && fz < nz - 1))
      return -spacing;
    const int i = static_cast<int>(fx), j = static_cast<int>(fy), k = static_cast<int>(fz);
    const double u = fx - i, v = fy - j, w = fz - k;
    const std::size_t sy = static_cast<std::size_t>(nx);
    const std::size_t sz = sy * static_cast<std::size_t>(ny);
    const float* c = values.data() + static_cast<std::size_t>(i) +
                     sy * static_cast<std::size_t>(j) + sz * static_cast<std::size_t>(k);
    const double c00 = c[0] + u * (c[1] - c[0]);
    const double c10 = c[sy] + u * (c[sy + 1] - c[sy]);
    const double c01 = c[sz] + u * (c[sz + 1] - c[sz]);
    const double c11 = c[sz + sy] + u * (c[sz + sy + 1] - c[sz + sy]);
    const double c0 = c00 + v * (c10 - c00);
    const double c1 = c01 + v * (c11 - c01);
    return c0 + w * (c1 - c0);
  }
};

struct FieldOptions {
  int maxNodes = 40000;  // the spacing grows until the grid has no more nodes than this
  int cellsAcross = 10;  // and is at most the solid's smallest extent over this
  int samples = 32;      // points spread through the inside
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
