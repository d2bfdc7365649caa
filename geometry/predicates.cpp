#include "geometry/predicates.h"

#include <cmath>
#include <vector>

namespace tessera {

namespace {

// Counts crossings of the ring against the plane through the segment and the guide point;
// see segmentCrossesFace for the rule.
bool ringParityOdd(const Point& p1, const Point& p2, const Face& face, const Point& guide) {
  Face counting;
  counting.setPoints({p1, guide, p2});
  const Point dir = minus(p2, p1);
  const std::vector<Point>& ring = face.points;
  int count = 0;
  for (std::size_t j = 0; j < ring.size(); ++j) {
    const Point& v = ring[j];
    const Point& w = ring[j + 1 == ring.size() ? 0 : j + 1];
    const Point a = minus(v, p1);
    const Point b = minus(w, p1);
    const double t = a.x * (b.y * dir.z - b.z * dir.y) - a.y * (b.x * dir.z - b.z * dir.x) +
                     a.z * (b.x * dir.y - b.y * dir.x);
    const bool vUp = counting.planeValue(v) > 0;
    const bool wUp = counting.planeValue(w) > 0;
    if (t > 0) {
      if (vUp && !wUp) ++count;
    } else if (t < 0) {
      if (!vUp && wUp) ++count;
    }
  }
  return count % 2 == 1;
}

bool someEdgeCrossesSomeFace(const SolidView& edgesOf, const SolidView& facesOf) {
  for (const Edge& e : edgesOf.edges) {
    const Point guide = edgeGuidePoint(e);
    for (const Face& f : facesOf.faces)
      if (segmentCrossesFace(e, f, guide)) return true;
  }
  return false;
}

}  // namespace

// The three axis tests override one another, which sends ties to the later axis.
Point edgeGuidePoint(const Edge& edge) {
  const Point span = minus(edge.end, edge.start);
  const double length = std::sqrt(span.x * span.x + span.y * span.y + span.z * span.z);
  const double ax = std::fabs(edge.direction.x);
  const double ay = std::fabs(edge.direction.y);
  const double az = std::fabs(edge.direction.z);
  int axis = 0;
  if (ax <= ay && ax <= az) axis = 0;
  if (ay <= az && ay <= ax) axis = 1;
  if (az <= ax && az <= ay) axis = 2;
  Point g = edge.start;
  if (axis == 0) g.x = edge.start.x + length;
  if (axis == 1) g.y = edge.start.y + length;
  if (axis == 2) g.z = edge.start.z + length;
  return g;
}

bool edgeStraddlesPlane(const Edge& segment, const Face& face) {
  const double s1 = face.planeValue(segment.start);
  const double s2 = face.planeValue(segment.end);
  return (s1 > 0) != (s2 > 0);
}

bool segmentCrossesFace(const Edge& segment, const Face& face, const Point& guide) {
  if (!edgeStraddlesPlane(segment, face)) return false;
  return ringParityOdd(segment.start, segment.end, face, guide);
}

bool pointInPolyhedron(const Point& q, const SolidView& solid) {
  const Point& lo = solid.boxMin;
  const Point& hi = solid.boxMax;
  if (q.x < lo.x || q.x > hi.x) return false;
  if (q.y < lo.y || q.y > hi.y) return false;
  if (q.z < lo.z || q.z > hi.z) return false;
  const Edge probe{q, {hi.x + 0.1 * (hi.x - lo.x), q.y, q.z}, {}};
  const Point guide{q.x, q.y + (hi.y - lo.y), q.z};
  int crossed = 0;
  for (const Face& f : solid.faces)
    if (segmentCrossesFace(probe, f, guide)) ++crossed;
  return crossed % 2 == 1;
}

bool containsAllVertices(const SolidView& container, const SolidView& part) {
  for (const Point& v : part.vertices)
    if (!pointInPolyhedron(v, container)) return false;
  return true;
}

bool edgesCrossFaces(const SolidView& a, const SolidView& b) {
  return someEdgeCrossesSomeFace(a, b) || someEdgeCrossesSomeFace(b, a);
}

bool polyhedraDisjoint(const SolidView& a, const SolidView& b) {
  if (a.boxMin.x >= b.boxMax.x || a.boxMax.x <= b.boxMin.x) return true;
  if (a.boxMin.y >= b.boxMax.y || a.boxMax.y <= b.boxMin.y) return true;
  if (a.boxMin.z >= b.boxMax.z || a.boxMax.z <= b.boxMin.z) return true;
  for (const Point& v : a.vertices)
    if (pointInPolyhedron(v, b)) return false;
  for (const Point& v : b.vertices)
    if (pointInPolyhedron(v, a)) return false;
  return !edgesCrossFaces(a, b);
}

}  // namespace tessera
