#pragma once

#include <cstdint>
#include <vector>

#include "geometry/edge.h"
#include "geometry/point.h"
#include "model/polyhedron.h"
#include "placement/solid_hierarchy.h"

// A solid flattened for the hot loops of placement: the same coordinates, planes and box as a
// Polyhedron, every face ring in one array. The predicates here give exactly the answers of
// geometry/predicates.h (same operations on the same doubles) without allocating.
namespace tessera {

/// Plane a*x + b*y + c*z + d = 0 from three points, by the rule of Face::setPoints.
struct Plane {
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  double d = 0.0;

  double value(const Point& q) const { return a * q.x + b * q.y + c * q.z + d; }
};

/// normalise((p1 - p0) x (p2 - p0)), offset through p0; the operations of Face::setPoints.
Plane planeThrough(const Point& p0, const Point& p1, const Point& p2);

/// Exactly one of the two points is strictly on the plane's positive side (edgeStraddlesPlane).
inline bool straddles(const Plane& plane, const Point& p1, const Point& p2) {
  return (plane.value(p1) > 0) != (plane.value(p2) > 0);
}

struct PreparedFace {
  std::uint32_t first = 0;  // the ring is PreparedSolid::ring[first, first + count)
  std::uint32_t count = 0;
  Plane plane;
  double zMin = 0.0;  // extent of the ring along z
  double zMax = 0.0;
  bool finite = false;  // every ring coordinate is finite
};

struct PreparedSolid {
  std::vector<Point> vertices;
  std::vector<Edge> edges;
  std::vector<Point> ring;
  std::vector<PreparedFace> faces;
  Point boxMin;
  Point boxMax;
  Point referencePoint;
  Point anchorPoint;
  bool planesCurrent = true;  // false after a translation until refreshPlanes
  SolidHierarchy hierarchy;   // when built, moved with the solid
};

/// Fills solid from the polyhedron's geometry, reusing solid's storage; no hierarchy
/// (hierarchy_search.h builds one).
void prepareSolid(const Polyhedron& from, PreparedSolid& solid);

/// Polyhedron::translate on the points and the box; planes are left stale (refreshPlanes).
/// A hierarchy moves along.
void translateSolid(PreparedSolid& solid, const Point& offset);

/// Recomputes every face plane and z extent from the ring, as Face::setPoints would.
void refreshPlanes(PreparedSolid& solid);

/// Writes the geometry (points, planes, box, reference and anchor point) into the polyhedron.
/// Planes must be current.
void writeGeometry(const PreparedSolid& solid, Polyhedron& to);

/// pointInPolyhedron(q, solid). Planes must be current.
bool insideSolid(const Point& q, const PreparedSolid& solid);

/// The probe of pointInPolyhedron from a point inside the solid's box: the segment q-end along
/// +x, its counting plane through the guide point and its direction.
struct Probe {
  Point q;
  Point end;
  Plane counting;
  Point dir;
  /// The counting plane came out as exactly (0, 0, -1, d): a finite point is on its positive
  /// side iff its z < d.
  bool level = false;
};
Probe probeFrom(const Point& q, const PreparedSolid& solid);

/// The face counts as crossed by the probe (segmentCrossesFace). Planes must be current.
bool probeCrosses(const PreparedSolid& solid, const PreparedFace& face, const Probe& probe);

/// The ring crossing count of segmentCrossesFace after its straddle test is odd, for the
/// segment from p1 along dir with its counting plane.
bool ringCrossingsOdd(const PreparedSolid& solid, const PreparedFace& face, const Point& p1,
                      const Point& dir, const Plane& counting);

/// polyhedraDisjoint(a, b). Planes of both must be current. With aVerticesOutside the caller
/// vouches that no vertex of a is insideSolid of b (its first test), which is then skipped.
bool solidsDisjoint(const PreparedSolid& a, const PreparedSolid& b, bool aVerticesOutside = false);

/// The two boxes overlap by the box test of polyhedraDisjoint (touching counts as apart).
inline bool boxesOverlap(const Point& aMin, const Point& aMax, const Point& bMin,
                         const Point& bMax) {
  if (aMin.x >= bMax.x || aMax.x <= bMin.x) return false;
  if (aMin.y >= bMax.y || aMax.y <= bMin.y) return false;
  if (aMin.z >= bMax.z || aMax.z <= bMin.z) return false;
  return true;
}

}  // namespace tessera
