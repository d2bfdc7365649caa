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
bool cutsBox(const Plane& plane, const Point& lo, const Point& hi) {
  const Point least{plane.a > 0 ? lo.x : hi.x, plane.b > 0 ? lo.y : hi.y,
                    plane.c > 0 ? lo.z : hi.z};
  const Point most{plane.a > 0 ? hi.x : lo.x, plane.b > 0 ? hi.y : lo.y,
                   plane.c > 0 ? hi.z : lo.z};
  return plane.value(most) > 0 && !(plane.value(least) > 0);
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
  h.faces.build(lo, hi);
  lo.clear();
  hi.clear();
  for (const Edge& e : solid.edges) {
    lo.push_back({std::min(e.start.x, e.end.x), std::min(e.start.y, e.end.y),
                  std::min(e.start.z, e.end.z)});
    hi.push_back({std::max(e.start.x, e.end.x), std::max(e.start.y, e.end.y),
                  std::max(e.start.z, e.end.z)});
  }
  h.edges.build(lo, hi);
  h.vertices.build(solid.vertices, solid.vertices);
  h.onLattice = lattice;
  h.maxAbs = maxAbs;
  h.built = true;
  refreshHierarchyPlanes(solid);
}

void refreshHierarchyPlanes(PreparedSolid& solid) {
  SolidHierarchy& h = solid.hierarchy;
  h.edgeEntries.resize(solid.edges.size());
  for (std::uint32_t i = 0; i < h.edgeEntries.size(); ++i) {
    const Edge& e = solid.edges[h.edges.item(i)];
    const Plane counting = planeThrough(e.start, edgeGuidePoint(e), e.end);
    h.edgeEntries[i] = {e.start, e.end, counting.a, counting.b, counting.c, counting.d};
  }
}

// For each face, the edges whose boxes its plane cuts, of which those whose counting plane cuts
// the face's ring box get the full test. A face plane with an infinite coefficient (and no
// NaN, which never counts) cannot prune; it gets every edge.
bool edgesCrossFacesByHierarchy(const PreparedSolid& edgesOf, const PreparedSolid& facesOf) {
  const SolidHierarchy& eh = edgesOf.hierarchy;
  const SolidHierarchy& fh = facesOf.hierarchy;
  const std::vector<BoxTree::Node>& nodes = eh.edges.nodes();
  if (nodes.empty()) return false;
  const std::vector<BoxTree::Node>& faceNodes = fh.faces.nodes();
  for (const BoxTree::Node& leaf : faceNodes) {
    for (std::uint32_t j = leaf.first; j < leaf.first + leaf.count; ++j) {
      const PreparedFace& face = facesOf.faces[fh.faces.item(j)];
      const Plane& plane = face.plane;
      const Point& lo = fh.faces.itemMin(j);
      const Point& hi = fh.faces.itemMax(j);
      auto crosses = [&](const SolidHierarchy::EdgeEntry& e) {
        if (!straddles(plane, e.start, e.end)) return false;
        const Plane counting{e.a, e.b, e.c, e.d};
        if (finitePlane(counting) && !cutsBox(counting, lo, hi)) return false;
        return ringCrossingsOdd(facesOf, face, e.start, minus(e.end, e.start), counting);
      };
      if (!finitePlane(plane)) {
        if (std::isnan(plane.a) || std::isnan(plane.b) || std::isnan(plane.c) ||
            std::isnan(plane.d))
          continue;
        for (const SolidHierarchy::EdgeEntry& e : eh.edgeEntries)
          if (crosses(e)) return true;
        continue;
      }
      std::size_t n = 0;
      while (n < nodes.size()) {
        const BoxTree::Node& node = nodes[n];
        if (!cutsBox(plane, node.min, node.max)) {
          n = node.next;
          continue;
        }
        for (std::uint32_t i = node.first; i < node.first + node.count; ++i)
          if (crosses(eh.edgeEntries[i])) return true;
        ++n;
      }
    }
  }
  return false;
}

}  // namespace tessera
