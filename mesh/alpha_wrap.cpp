// The only translation unit that includes CGAL: its headers are slow to compile and large.
#include "mesh/alpha_wrap.h"

#include <CGAL/AABB_traits.h>
#include <CGAL/AABB_tree.h>
#include <CGAL/AABB_triangle_primitive.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/alpha_wrap_3.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>

namespace tessera {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point3 = Kernel::Point_3;
using Triangle3 = Kernel::Triangle_3;
using Segment3 = Kernel::Segment_3;
using Mesh = CGAL::Surface_mesh<Point3>;
using Triangles = std::vector<Triangle3>;
using Primitive = CGAL::AABB_triangle_primitive<Kernel, Triangles::const_iterator>;
using Tree = CGAL::AABB_tree<CGAL::AABB_traits<Kernel, Primitive>>;

Point3 toCgal(const Point& p) { return {p.x, p.y, p.z}; }

Triangles trianglesOf(const TriangleSoup& soup) {
  Triangles out;
  out.reserve(soup.triangles.size());
  for (const auto& t : soup.triangles)
    out.emplace_back(toCgal(soup.vertices[static_cast<std::size_t>(t[0])]),
                     toCgal(soup.vertices[static_cast<std::size_t>(t[1])]),
                     toCgal(soup.vertices[static_cast<std::size_t>(t[2])]));
  return out;
}

// Point to triangle; a triangle without area is measured as its three sides.
double squaredDistance(const Point3& p, const Triangle3& t) {
  if (!t.is_degenerate()) return CGAL::to_double(CGAL::squared_distance(p, t));
  double best = HUGE_VAL;
  for (int i = 0; i < 3; ++i) {
    const Segment3 side(t.vertex(i), t.vertex(i + 1));
    const double d = side.is_degenerate()
                         ? CGAL::to_double(CGAL::squared_distance(p, side.source()))
                         : CGAL::to_double(CGAL::squared_distance(p, side));
    best = std::min(best, d);
  }
  return best;
}

// Between two triangles the closest pair is a corner of one and the other, or two sides.
double squaredDistance(const Triangle3& a, const Triangle3& b) {
  if (!a.is_degenerate() && !b.is_degenerate() && CGAL::do_intersect(a, b)) return 0.0;
  double best = HUGE_VAL;
  for (int i = 0; i < 3; ++i) {
    best = std::min(best, squaredDistance(a.vertex(i), b));
    best = std::min(best, squaredDistance(b.vertex(i), a));
  }
  for (int i = 0; i < 3; ++i) {
    const Segment3 s(a.vertex(i), a.vertex(i + 1));
    if (s.is_degenerate()) continue;
    for (int j = 0; j < 3; ++j) {
      const Segment3 r(b.vertex(j), b.vertex(j + 1));
      if (r.is_degenerate()) continue;
      best = std::min(best, CGAL::to_double(CGAL::squared_distance(s, r)));
    }
  }
  return best;
}

}  // namespace

TriangleSoup alphaWrap(const TriangleSoup& soup, double alpha, double offset) {
  std::vector<Point3> points;
  points.reserve(soup.vertices.size());
  for (const Point& p : soup.vertices) points.push_back(toCgal(p));
  std::vector<std::array<std::size_t, 3>> faces;
  faces.reserve(soup.triangles.size());
  for (const auto& t : soup.triangles)
    faces.push_back({static_cast<std::size_t>(t[0]), static_cast<std::size_t>(t[1]),
                     static_cast<std::size_t>(t[2])});
  Mesh wrap;
  try {
    CGAL::alpha_wrap_3(points, faces, alpha, offset, wrap);
  } catch (const std::exception&) {
    return {};
  }
  if (wrap.is_empty() || wrap.number_of_faces() == 0) return {};

  TriangleSoup out;
  std::vector<int> indexOf(wrap.num_vertices(), -1);
  for (const Mesh::Vertex_index v : wrap.vertices()) {
    indexOf[static_cast<std::size_t>(v)] = static_cast<int>(out.vertices.size());
    const Point3& p = wrap.point(v);
    out.vertices.push_back({p.x(), p.y(), p.z()});
  }
  for (const Mesh::Face_index f : wrap.faces()) {
    std::array<int, 3> corners{};
    int n = 0;
    for (const Mesh::Vertex_index v : wrap.vertices_around_face(wrap.halfedge(f))) {
      if (n == 3) return {};
      corners[static_cast<std::size_t>(n++)] = indexOf[static_cast<std::size_t>(v)];
    }
    if (n != 3) return {};
    out.triangles.push_back(corners);
  }
  return out;
}

double smallestDistance(const TriangleSoup& wrap, const TriangleSoup& soup, double limit) {
  const Triangles near = trianglesOf(soup);
  if (near.empty()) return limit;
  Tree tree(near.begin(), near.end());
  tree.build();
  double best = limit * limit;
  std::vector<Primitive::Id> hits;
  for (const Triangle3& t : trianglesOf(wrap)) {
    const double reach = std::sqrt(best);
    const CGAL::Bbox_3 box = t.bbox();
    const Kernel::Iso_cuboid_3 query(box.xmin() - reach, box.ymin() - reach, box.zmin() - reach,
                                     box.xmax() + reach, box.ymax() + reach, box.zmax() + reach);
    hits.clear();
    tree.all_intersected_primitives(query, std::back_inserter(hits));
    for (const Primitive::Id id : hits) best = std::min(best, squaredDistance(t, *id));
  }
  return std::sqrt(best);
}

}  // namespace tessera
