#include "placement/exact_fit.h"

namespace tessera {

namespace {

bool withinMax(const Point& boxMax, const Point& containerMax) {
  return boxMax.x <= containerMax.x && boxMax.y <= containerMax.y && boxMax.z <= containerMax.z;
}

}  // namespace

bool exactFitAt(const PlacedSolids& placed, const OrientedShape& shape, const Point& cell,
                FitScratch& scratch) {
  const std::vector<PreparedSolid>& partSolids = *placed.parts;
  const Point offset = minus(cell, shape.geometry.anchorPoint);
  const Point boxMin = plus(shape.solid.boxMin, offset);
  const Point boxMax = plus(shape.solid.boxMax, offset);
  auto insideContainer = [&] {
    for (int v : shape.vertexOrder) {
      ++scratch.exactTests;
      if (!insideSolid(plus(shape.solid.vertices[static_cast<std::size_t>(v)], offset),
                       *placed.container))
        return false;
    }
    return true;
  };
  bool moved = false;
  auto disjointFrom = [&](const PreparedSolid& other, bool verticesChecked) {
    if (!boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return true;
    if (!moved) {
      scratch.moved = shape.solid;
      translateSolid(scratch.moved, offset);
      refreshPlanes(scratch.moved);
      moved = true;
    }
    ++scratch.exactTests;
    return solidsDisjoint(scratch.moved, other, verticesChecked);
  };
  if (!withinMax(boxMax, placed.containerMax)) {
    if (!insideContainer()) return false;
    for (const PreparedSolid& other : partSolids)
      if (!disjointFrom(other, false)) return false;
    return true;
  }
  // First the cheap test that refuses most candidates (a vertex of the moved part inside a
  // placed part, the first test of solidsDisjoint, on the moved vertices without moving the
  // whole part), beginning with the part that refused this thread's last candidate.
  auto vertexInside = [&](int p) {
    const PreparedSolid& other = partSolids[static_cast<std::size_t>(p)];
    if (!boxesOverlap(boxMin, boxMax, other.boxMin, other.boxMax)) return false;
    for (const Point& v : shape.solid.vertices) {
      ++scratch.exactTests;
      if (insideSolid(plus(v, offset), other)) return true;
    }
    return false;
  };
  if (scratch.witness >= 0 && vertexInside(scratch.witness)) return false;
  const std::size_t parts = partSolids.size();
  const ColumnIndex& near = *placed.near;
  const bool noVertexInside =
      near.allNear(boxMin, boxMax, scratch.seen, scratch.seenStamp, parts, [&](int p) {
        if (p == scratch.witness || !vertexInside(p)) return true;
        scratch.witness = p;
        return false;
      });
  if (!noVertexInside || !insideContainer()) return false;
  return near.allNear(boxMin, boxMax, scratch.seen, scratch.seenStamp, parts, [&](int p) {
    if (disjointFrom(partSolids[static_cast<std::size_t>(p)], true)) return true;
    scratch.witness = p;
    return false;
  });
}

bool clearOfEverything(const PlacedSolids& placed, PreparedSolid& part, const OrientedShape& shape,
                       int self, FitScratch& scratch) {
  const std::vector<PreparedSolid>& partSolids = *placed.parts;
  for (int v : shape.vertexOrder) {
    ++scratch.exactTests;
    if (!insideSolid(part.vertices[static_cast<std::size_t>(v)], *placed.container)) return false;
  }
  auto disjointFrom = [&](const PreparedSolid& other) {
    if (!boxesOverlap(part.boxMin, part.boxMax, other.boxMin, other.boxMax)) return true;
    refreshPlanes(part);
    ++scratch.exactTests;
    return solidsDisjoint(part, other);
  };
  if (withinMax(part.boxMax, placed.containerMax)) {
    return placed.near->allNear(
        part.boxMin, part.boxMax, scratch.seen, scratch.seenStamp, partSolids.size(),
        [&](int p) { return p == self || disjointFrom(partSolids[static_cast<std::size_t>(p)]); });
  }
  for (std::size_t p = 0; p < partSolids.size(); ++p)
    if (static_cast<int>(p) != self && !disjointFrom(partSolids[p])) return false;
  return true;
}

}  // namespace tessera
