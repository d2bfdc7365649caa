#include "placement/hierarchy_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/predicates.h"

namespace tessera {

namespace {

bool finitePlane(const Plane& p) {
  return std::isfinite(p.a) && std::isfinite(p.b) && std::isfinite(p.c) && std::isfinite(p.d);
}

// The finite plane has points of the box on both sides, one positive and one not, by its
// values at two opposite corners (solid_hierarchy.h): exact.
inline bool cutsBox(const Plane& plane, const Point& lo, const Point& hi) {
  const bool ax = plane.a > 0;
  const bool by = plane.b > 0;
  const bool cz = plane.c > 0;
  const double most = plane.a * (ax ? hi.x : lo.x) + plane.b * (by ? hi.y : lo.y) +
                      plane.c * (cz ? hi.z : lo.z) + plane.d;
  const double least = plane.a * (ax ? lo.x : hi.x) + plane.b * (by ? lo.y : hi.y) +
                       plane.c * (cz ? lo.z : hi.z) + plane.d;
  return most > 0 && !(least > 0);
}

}  // namespace

void buildHierarchy(PreparedSolid& solid) {
  SolidHierarchy& h = solid.hierarchy;
  bool lattice = true;
  bool finite = true;
  double maxAbs = 0.0;
  auto note = [&](const Point& p) {
    for (const double c : {p.x, p.y, p.z}) {
      lattice = lattice && onLattice(c);
      finite = finite && std::isfinite(c);
      maxAbs = std::max(maxAbs, std::fabs(c));
    }
  };
  for (const Point& v : solid.vertices) note(v);
  for (const Edge& e : solid.edges) {
    note(e.start);
    note(e.end);
  }
  for (const Point& p : solid.ring) note(p);
  h.built = false;
  // Boxes over coordinates that are not finite bound nothing: such a solid is tested the
  // plain way.
  if (!finite) return;

  std::vector<Point> lo, hi;
  lo.reserve(solid.faces.size());
  hi.reserve(solid.faces.size());
  for (const PreparedFace& f : solid.faces) {
    const Point* p = solid.ring.data() + f.first;
    Point a = p[0], b = p[0];
    for (std::uint32_t j = 1; j < f.count; ++j) {
      a = {std::min(a.x, p[j].x), std::min(a.y, p[j].y), std::min(a.z, p[j].z)};
      b = {std::max(b.x, p[j].x), std::max(b.y, p[j].y), std::max(b.z, p[j].z)};
    }
    lo.push_back(a);
    hi.push_back(b);
  }
  h.faces.build(lo, hi, 4);
  lo.clear();
  hi.clear();
  for (const Edge& e : solid.edges) {
    lo.push_back(
        {std::min(e.start.x, e.end.x), std::min(e.start.y, e.end.y), std::min(e.start.z, e.end.z)});
    hi.push_back(
        {std::max(e.start.x, e.end.x), std::max(e.start.y, e.end.y), std::max(e.start.z, e.end.z)});
  }
  h.edges.build(lo, hi, 16);
  h.vertices.build(solid.vertices, solid.vertices, 8);
  h.onLattice = lattice;
  h.maxAbs = maxAbs;
  h.built = true;
  refreshHierarchyPlanes(solid);
}

void refreshHierarchyPlanes(PreparedSolid& solid) {
  SolidHierarchy::EdgeColumns& c = solid.hierarchy.edgeColumns;
  const std::size_t n = solid.edges.size();
  for (std::vector<double>* column :
       {&c.startX, &c.startY, &c.startZ, &c.endX, &c.endY, &c.endZ, &c.a, &c.b, &c.c, &c.d})
    column->resize(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    const Edge& e = solid.edges[solid.hierarchy.edges.item(i)];
    const Plane counting = planeThrough(e.start, edgeGuidePoint(e), e.end);
    c.startX[i] = e.start.x;
    c.startY[i] = e.start.y;
    c.startZ[i] = e.start.z;
    c.endX[i] = e.end.x;
    c.endY[i] = e.end.y;
    c.endZ[i] = e.end.z;
    c.a[i] = counting.a;
    c.b[i] = counting.b;
    c.c[i] = counting.c;
    c.d[i] = counting.d;
  }
}

namespace {

// The edges at leaf positions [first, first + count) (at most 64) whose ends the plane
// separates (straddles), as bits; written to run several edges at a time.
std::uint64_t straddlingEdges(const SolidHierarchy::EdgeColumns& c, const Plane& p,
                              std::uint32_t first, std::uint32_t count) {
  std::uint64_t bits = 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t i = first + k;
    const double s = p.a * c.startX[i] + p.b * c.startY[i] + p.c * c.startZ[i] + p.d;
    const double e = p.a * c.endX[i] + p.b * c.endY[i] + p.c * c.endZ[i] + p.d;
    bits |= static_cast<std::uint64_t>((s > 0) != (e > 0)) << k;
  }
  return bits;
}

}  // namespace

// For each face, the edges whose boxes its plane cuts, of which those whose counting plane cuts
// the face's ring box get the full test. A face plane with an infinite coefficient (and no
// NaN, which never counts) cannot prune; it gets every edge. The answer does not depend on the
// order of the faces; those whose ring box meets the other solid's box go first, as true
// crossings are found there.
bool edgesCrossFacesByHierarchy(const PreparedSolid& edgesOf, const PreparedSolid& facesOf) {
  const SolidHierarchy& eh = edgesOf.hierarchy;
  const SolidHierarchy& fh = facesOf.hierarchy;
  const SolidHierarchy::EdgeColumns& c = eh.edgeColumns;
  const std::vector<BoxTree::Node>& nodes = eh.edges.nodes();
  if (nodes.empty()) return false;
  const Point& otherMin = edgesOf.boxMin;
  const Point& otherMax = edgesOf.boxMax;
  auto near = [&](const Point& lo, const Point& hi) {
    return !(hi.x < otherMin.x || lo.x > otherMax.x || hi.y < otherMin.y || lo.y > otherMax.y ||
             hi.z < otherMin.z || lo.z > otherMax.z);
  };
  auto faceCrossed = [&](std::uint32_t j) {
    const PreparedFace& face = facesOf.faces[fh.faces.item(j)];
    const Plane& plane = face.plane;
    const Point& lo = fh.faces.itemMin(j);
    const Point& hi = fh.faces.itemMax(j);
    auto crossesAny = [&](std::uint32_t first, std::uint32_t count) {
      for (std::uint32_t from = first; from < first + count; from += 64) {
        std::uint64_t bits =
            straddlingEdges(c, plane, from, std::min<std::uint32_t>(64, first + count - from));
        while (bits != 0) {
          const std::uint32_t i = from + static_cast<std::uint32_t>(__builtin_ctzll(bits));
          bits &= bits - 1;
          const Point start{c.startX[i], c.startY[i], c.startZ[i]};
          const Point end{c.endX[i], c.endY[i], c.endZ[i]};
          const Plane counting{c.a[i], c.b[i], c.c[i], c.d[i]};
          // A counting plane with all ring points on one side counts no ring edge.
          if (finitePlane(counting) && !cutsBox(counting, lo, hi)) continue;
          if (ringCrossingsOdd(facesOf, face, start, minus(end, start), counting)) return true;
        }
      }
      return false;
    };
    if (!finitePlane(plane)) {
      if (std::isnan(plane.a) || std::isnan(plane.b) || std::isnan(plane.c) || std::isnan(plane.d))
        return false;
      return crossesAny(0, static_cast<std::uint32_t>(c.a.size()));
    }
    std::size_t n = 0;
    while (n < nodes.size()) {
      const BoxTree::Node& node = nodes[n];
      if (!cutsBox(plane, node.min, node.max)) {
        n = node.next;
        continue;
      }
      if (crossesAny(node.first, node.count)) return true;
      ++n;
    }
    return false;
  };
  for (const bool first : {true, false})
    for (const BoxTree::Node& leaf : fh.faces.nodes())
      for (std::uint32_t j = leaf.first; j < leaf.first + leaf.count; ++j)
        if (near(fh.faces.itemMin(j), fh.faces.itemMax(j)) == first && faceCrossed(j)) return true;
  return false;
}

}  // namespace tessera
