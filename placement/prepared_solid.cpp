#include "placement/prepared_solid.h"

#include <algorithm>
#include <cmath>

#include "geometry/assert.h"
#include "geometry/predicates.h"
#include "placement/hierarchy_search.h"

namespace tessera {

namespace {

bool finitePoint(const Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

void setExtent(PreparedFace& face, const std::vector<Point>& ring) {
  face.zMin = face.zMax = ring[face.first].z;
  face.finite = true;
  for (std::uint32_t j = 0; j < face.count; ++j) {
    const Point& p = ring[face.first + j];
    if (p.z < face.zMin) face.zMin = p.z;
    if (p.z > face.zMax) face.zMax = p.z;
    face.finite = face.finite && finitePoint(p);
  }
}

}  // namespace

// The crossing count of segmentCrossesFace after its straddle test. A ring edge whose ends lie
// on one side of the counting plane adds nothing whatever t is, so t is only formed when the
// sides differ.
bool ringCrossingsOdd(const PreparedSolid& solid, const PreparedFace& face, const Point& p1,
                      const Point& dir, const Plane& counting) {
  const Point* ring = solid.ring.data() + face.first;
  const std::uint32_t n = face.count;
  const bool firstUp = counting.value(ring[0]) > 0;
  bool vUp = firstUp;
  int count = 0;
  for (std::uint32_t j = 0; j < n; ++j) {
    const bool last = j + 1 == n;
    const bool wUp = last ? firstUp : counting.value(ring[j + 1]) > 0;
    if (vUp != wUp) {
      const Point a = minus(ring[j], p1);
      const Point b = minus(ring[last ? 0 : j + 1], p1);
      const double t = a.x * (b.y * dir.z - b.z * dir.y) - a.y * (b.x * dir.z - b.z * dir.x) +
                       a.z * (b.x * dir.y - b.y * dir.x);
      if (t > 0) {
        if (vUp) ++count;
      } else if (t < 0) {
        if (wUp) ++count;
      }
    }
    vUp = wUp;
  }
  return count % 2 == 1;
}

namespace {

bool someEdgeCrossesSomeFace(const PreparedSolid& edgesOf, const PreparedSolid& facesOf) {
  for (const Edge& e : edgesOf.edges) {
    const Point guide = edgeGuidePoint(e);
    bool planeMade = false;
    Plane counting;
    Point dir;
    for (const PreparedFace& f : facesOf.faces) {
      if (!straddles(f.plane, e.start, e.end)) continue;
      if (!planeMade) {
        counting = planeThrough(e.start, guide, e.end);
        dir = minus(e.end, e.start);
        planeMade = true;
      }
      if (ringCrossingsOdd(facesOf, f, e.start, dir, counting)) return true;
    }
  }
  return false;
}

}  // namespace

Plane planeThrough(const Point& p0, const Point& p1, const Point& p2) {
  const Point nrm = cross(minus(p1, p0), minus(p2, p0));
  const double len = std::sqrt(nrm.x * nrm.x + nrm.y * nrm.y + nrm.z * nrm.z);
  Plane plane;
  plane.a = nrm.x / len;
  plane.b = nrm.y / len;
  plane.c = nrm.z / len;
  plane.d = -(plane.b * p0.y + plane.a * p0.x + plane.c * p0.z);
  return plane;
}

void prepareSolid(const Polyhedron& from, PreparedSolid& solid) {
  solid.vertices.assign(from.vertices.begin(), from.vertices.end());
  solid.edges.assign(from.edges.begin(), from.edges.end());
  solid.ring.clear();
  solid.faces.resize(from.faces.size());
  for (std::size_t f = 0; f < from.faces.size(); ++f) {
    const Face& face = from.faces[f];
    PreparedFace& prepared = solid.faces[f];
    TESSERA_ASSERT(face.points.size() >= 3);
    prepared.first = static_cast<std::uint32_t>(solid.ring.size());
    prepared.count = static_cast<std::uint32_t>(face.points.size());
    prepared.plane = {face.a, face.b, face.c, face.d};
    solid.ring.insert(solid.ring.end(), face.points.begin(), face.points.end());
  }
  for (PreparedFace& face : solid.faces) setExtent(face, solid.ring);
  solid.boxMin = from.boxMin;
  solid.boxMax = from.boxMax;
  solid.referencePoint = from.referencePoint;
  solid.anchorPoint = from.anchorPoint;
  solid.planesCurrent = true;
  solid.hierarchy.built = false;
}

void translateSolid(PreparedSolid& solid, const Point& offset) {
  solid.anchorPoint = plus(solid.anchorPoint, offset);
  solid.referencePoint = plus(solid.referencePoint, offset);
  for (Point& v : solid.vertices) v = plus(v, offset);
  for (Edge& e : solid.edges) e.translate(offset);
  for (Point& p : solid.ring) p = plus(p, offset);
  solid.boxMin = plus(solid.boxMin, offset);
  solid.boxMax = plus(solid.boxMax, offset);
  solid.planesCurrent = false;
  SolidHierarchy& h = solid.hierarchy;
  if (h.built) {
    h.faces.translate(offset);
    h.edges.translate(offset);
    h.vertices.translate(offset);
    // Lattice numbers add to lattice numbers; |fl(p + o)| <= fl(|p| + |o|).
    h.onLattice = h.onLattice && onLattice(offset.x) && onLattice(offset.y) && onLattice(offset.z);
    h.maxAbs = h.maxAbs + std::max({std::fabs(offset.x), std::fabs(offset.y), std::fabs(offset.z)});
    if (!std::isfinite(h.maxAbs)) h.built = false;
  }
}

void refreshPlanes(PreparedSolid& solid) {
  if (solid.planesCurrent) return;
  for (PreparedFace& face : solid.faces) {
    const Point* p = solid.ring.data() + face.first;
    face.plane = planeThrough(p[0], p[1], p[2]);
    setExtent(face, solid.ring);
  }
  if (solid.hierarchy.built) refreshHierarchyPlanes(solid);
  solid.planesCurrent = true;
}

void writeGeometry(const PreparedSolid& solid, Polyhedron& to) {
  TESSERA_ASSERT(solid.planesCurrent);
  to.vertices.assign(solid.vertices.begin(), solid.vertices.end());
  to.edges.assign(solid.edges.begin(), solid.edges.end());
  to.faces.resize(solid.faces.size());
  for (std::size_t f = 0; f < solid.faces.size(); ++f) {
    const PreparedFace& face = solid.faces[f];
    Face& out = to.faces[f];
    const auto first = solid.ring.begin() + face.first;
    out.points.assign(first, first + face.count);
    out.a = face.plane.a;
    out.b = face.plane.b;
    out.c = face.plane.c;
    out.d = face.plane.d;
  }
  to.boxMin = solid.boxMin;
  to.boxMax = solid.boxMax;
  to.referencePoint = solid.referencePoint;
  to.anchorPoint = solid.anchorPoint;
}

Probe probeFrom(const Point& q, const PreparedSolid& solid) {
  const Point& lo = solid.boxMin;
  const Point& hi = solid.boxMax;
  Probe probe;
  probe.q = q;
  probe.end = {hi.x + 0.1 * (hi.x - lo.x), q.y, q.z};
  const Point guide{q.x, q.y + (hi.y - lo.y), q.z};
  probe.counting = planeThrough(q, guide, probe.end);
  probe.dir = minus(probe.end, q);
  probe.level = probe.counting.a == 0.0 && probe.counting.b == 0.0 && probe.counting.c == -1.0;
  return probe;
}

bool probeCrosses(const PreparedSolid& solid, const PreparedFace& face, const Probe& probe) {
  if (!straddles(face.plane, probe.q, probe.end)) return false;
  return ringCrossingsOdd(solid, face, probe.q, probe.dir, probe.counting);
}

bool insideSolid(const Point& q, const PreparedSolid& solid) {
  TESSERA_ASSERT(solid.planesCurrent);
  const Point& lo = solid.boxMin;
  const Point& hi = solid.boxMax;
  if (q.x < lo.x || q.x > hi.x) return false;
  if (q.y < lo.y || q.y > hi.y) return false;
  if (q.z < lo.z || q.z > hi.z) return false;
  const Probe probe = probeFrom(q, solid);
  int crossed = 0;
  // The faces that can cross a level probe, found through the hierarchy (solid_hierarchy.h).
  if (probe.level && probe.counting.d == q.z && latticeHolds(solid.hierarchy) && onLattice(q.x) &&
      onLattice(q.y) && onLattice(q.z) && onLattice(probe.end.x)) {
    facesAcross(solid.hierarchy, q.y, q.z, [&](std::uint32_t f) {
      if (probeCrosses(solid, solid.faces[f], probe)) ++crossed;
      return false;
    });
    return crossed % 2 == 1;
  }
  // When the counting plane comes out as exactly (0, 0, -1, d), a finite ring point is on its
  // positive side iff its z < d, so a ring wholly below or wholly at-or-above d adds no
  // crossing and its face can be passed over.
  const Plane& counting = probe.counting;
  for (const PreparedFace& f : solid.faces) {
    if (probe.level && f.finite && (f.zMax < counting.d || f.zMin >= counting.d)) continue;
    if (probeCrosses(solid, f, probe)) ++crossed;
  }
  return crossed % 2 == 1;
}

bool solidsDisjoint(const PreparedSolid& a, const PreparedSolid& b, bool aVerticesOutside) {
  TESSERA_ASSERT(a.planesCurrent && b.planesCurrent);
  if (!boxesOverlap(a.boxMin, a.boxMax, b.boxMin, b.boxMax)) return true;
  if (a.hierarchy.built && b.hierarchy.built) {
    // Only vertices inside the other's box can pass its box test.
    auto insideOf = [](const PreparedSolid& of, const PreparedSolid& other) {
      return verticesWithin(of.hierarchy, other.boxMin, other.boxMax,
                            [&](std::uint32_t v) { return insideSolid(of.vertices[v], other); });
    };
    if (!aVerticesOutside && insideOf(a, b)) return false;
    if (insideOf(b, a)) return false;
    return !(edgesCrossFacesByHierarchy(a, b) || edgesCrossFacesByHierarchy(b, a));
  }
  if (!aVerticesOutside)
    for (const Point& v : a.vertices)
      if (insideSolid(v, b)) return false;
  for (const Point& v : b.vertices)
    if (insideSolid(v, a)) return false;
  return !(someEdgeCrossesSomeFace(a, b) || someEdgeCrossesSomeFace(b, a));
}

}  // namespace tessera
