// geometry: points, faces, solids, rigid motions, orientations and the exact predicates on them.
// It never rounds, snaps or tolerates: every answer is plain double arithmetic in written order.
#pragma once

#include "geometry/edge.h"
#include "geometry/face.h"
#include "geometry/solid.h"

// Exact tests on solids: plain double arithmetic, no tolerances. A plane value of exactly
// zero (or not-a-number) counts as "not positive". Only segment.start and segment.end are read.
namespace tessera {

/// Exactly one end of the segment lies strictly on the positive side of the face plane.
bool edgeStraddlesPlane(const Edge& segment, const Face& face);

/// The segment crosses the face plane and its line meets the face inside its polygon, decided
/// by counting ring edges that cross the plane through the segment and the guide point.
bool segmentCrossesFace(const Edge& segment, const Face& face, const Point& guide);

/// q inside the solid: box test, then the parity of faces crossed by a probe along +x.
bool pointInPolyhedron(const Point& q, const SolidView& solid);

/// Every vertex of the part is inside the container (edges and faces are not tested).
bool containsAllVertices(const SolidView& container, const SolidView& part);

/// Guide point for an edge's crossing tests: start + |end - start| along the axis on which the
/// stored direction has the smallest magnitude (ties go to z, then y, then x).
Point edgeGuidePoint(const Edge& edge);

/// Some edge of a crosses some face of b, or some edge of b some face of a.
bool edgesCrossFaces(const SolidView& a, const SolidView& b);

/// a and b do not interfere; boxes that only touch are separated. Symmetric.
bool polyhedraDisjoint(const SolidView& a, const SolidView& b);

}  // namespace tessera
