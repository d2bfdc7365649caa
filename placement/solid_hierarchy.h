#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/point.h"
#include "placement/box_tree.h"

// The hierarchies of a prepared solid, and the pruning rules that let the exact tests visit
// only the faces, edges and vertices that can change their answers.
//
// Our own hierarchy rather than CGAL's AABB tree: the tests must give the answers of the
// straightforward loops bit for bit, ties and rounding included, so every pruning test has to
// be one whose safety is proven for the rounded arithmetic of those loops (below), and the
// boxes must move with the solid by the very additions that move its points (box_tree.h).
//
// Point in solid. With a finite point q the probe runs along +x and its counting plane comes
// out as exactly (0, 0, -1, q.z) ("level"), so a ring point is on its positive side iff its
// z < q.z, and for a ring edge (v, w) the crossing value t reduces to
//   t = fl(fl(ay * fl(bz * ex)) - fl(az * fl(by * ex)))
// with a = fl(v - q), b = fl(w - q) and ex = fl(end.x - q.x) > 0. A face adds a crossing only
// if its ring has points with z < q.z and with z >= q.z (the straightforward loop already
// skips the others), and:
// - if every ring point has y <= q.y, then ay, by <= 0 and every t has the sign that does not
//   count (each product and sum rounds towards its exact sign or to zero): no crossing;
// - if every ring point has y > q.y, every edge that changes side gets a t of the sign that
//   counts, strictly, provided no product underflows to zero; a closed ring changes side an
//   even number of times, so the face adds no crossing.
// Underflow is ruled out by keeping to coordinates on the lattice of multiples of 2^-300 with
// magnitudes up to 2^240: differences of such numbers are 0 or at least 2^-300 (rounded sums of
// lattice numbers stay on the lattice), so products of three are at least 2^-900, and at most
// 2^723. So only faces whose ring box has zMin < q.z <= zMax and yMin <= q.y < yMax can count.
//
// Segment across face. A segment crosses a face only if the face plane's values at its ends
// differ in sign (one positive, one not) and the segment's counting plane has ring points of
// the face on both sides. Plane values are a*x + b*y + c*z + d in that order of rounded
// operations, which is monotone in each coordinate for fixed finite coefficients (rounding is
// monotone, and so is every step): over a box of points a plane's value lies between its values
// at two opposite corners, exactly. So a face is tried only against the edges whose boxes its
// plane cuts by those corner values, and an edge only when its counting plane cuts the face's
// ring box. Nothing coarser is safe: with rounding, an edge lying in a face's plane, or a ring
// edge lying in an edge's counting plane, can count as a crossing of a face far from the edge,
// and the straightforward loop finds such crossings (it does on the box-like parts of the scale
// examples). So this test costs more than a lookup: a face plane cuts a curve of edges.
namespace tessera {

/// The three hierarchies and what the pruning needs to know about the solid's coordinates.
struct SolidHierarchy {
  BoxTree faces;     // the boxes of the face rings
  BoxTree edges;     // the boxes of each edge's two ends
  BoxTree vertices;  // each vertex as a box of no extent
  // The edges in the leaf order of `edges`, coordinate by coordinate, with their counting
  // planes: what the search of crossings reads, in the order it reads it. Current with the
  // planes.
  struct EdgeColumns {
    std::vector<double> startX, startY, startZ, endX, endY, endZ;
    std::vector<double> a, b, c, d;  // the counting planes
  };
  EdgeColumns edgeColumns;
  bool built = false;
  bool onLattice = false;  // every coordinate is on the lattice (see above)
  double maxAbs = 0.0;     // no coordinate is larger in magnitude
};

/// c is a multiple of 2^-300 of magnitude at most 2^240 (not NaN, not infinite).
inline bool onLattice(double c) {
  const double scaled = c * 0x1p300;
  return std::fabs(c) <= 0x1p240 && scaled == std::trunc(scaled);
}

/// The face-pruning rule for a point probe holds for this hierarchy's solid.
inline bool latticeHolds(const SolidHierarchy& h) {
  return h.built && h.onLattice && h.maxAbs <= 0x1p240;
}

/// Calls visit(face) for every face whose ring box has zMin < z <= zMax and yMin <= y < yMax,
/// until visit returns true; returns whether it did.
template <typename Visit>
bool facesAcross(const SolidHierarchy& h, double y, double z, Visit&& visit) {
  return h.faces.find(
      [&](const Point& lo, const Point& hi) {
        return lo.z < z && z <= hi.z && lo.y <= y && y < hi.y;
      },
      visit);
}

/// Calls visit(vertex) for every vertex v with lo <= v <= hi on every axis (the box test of
/// the inside test), until visit returns true; returns whether it did.
template <typename Visit>
bool verticesWithin(const SolidHierarchy& h, const Point& lo, const Point& hi, Visit&& visit) {
  return h.vertices.find(
      [&](const Point& min, const Point& max) {
        return !(max.x < lo.x || min.x > hi.x || max.y < lo.y || min.y > hi.y || max.z < lo.z ||
                 min.z > hi.z);
      },
      visit);
}

}  // namespace tessera
