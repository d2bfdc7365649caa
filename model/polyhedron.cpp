#include "model/polyhedron.h"

#include "geometry/assert.h"

namespace tessera {

void Polyhedron::computeBoundingBox() {
  TESSERA_ASSERT(!vertices.empty());
  boxMin = vertices[0];
  boxMax = vertices[0];
  for (std::size_t i = 1; i < vertices.size(); ++i) {
    const Point& v = vertices[i];
    if (v.x < boxMin.x) boxMin.x = v.x;
    if (v.y < boxMin.y) boxMin.y = v.y;
    if (v.z < boxMin.z) boxMin.z = v.z;
    if (v.x > boxMax.x) boxMax.x = v.x;
    if (v.y > boxMax.y) boxMax.y = v.y;
    if (v.z > boxMax.z) boxMax.z = v.z;
  }
}

void Polyhedron::translate(const Point& offset) {
  anchorPoint = plus(anchorPoint, offset);
  referencePoint = plus(referencePoint, offset);
  for (Point& v : vertices) v = plus(v, offset);
  for (Edge& e : edges) e.translate(offset);
  for (Face& f : faces) f.translate(offset);
  boxMin = plus(boxMin, offset);
  boxMax = plus(boxMax, offset);
}

void Polyhedron::transform(const Transform& t) {
  for (Point& v : vertices) v = apply(t, v);
  for (Edge& e : edges) e.transform(t);
  for (Face& f : faces) f.transform(t);
  referencePoint = apply(t, referencePoint);
  computeBoundingBox();
}

void Polyhedron::dropBitmap() {
  bitmap.clear();
  bitmap.shrink_to_fit();
  cellsX = cellsY = cellsZ = 0;
}

Point applyMotion(const std::vector<MotionStep>& motion, const std::vector<Transform>& orientations,
                  Point p) {
  for (const MotionStep& step : motion)
    p = step.orientation < 0 ? plus(p, step.offset)
                             : apply(orientations[static_cast<std::size_t>(step.orientation)], p);
  return p;
}

}  // namespace tessera
