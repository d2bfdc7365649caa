#include "model/polyhedron.h"

#include "geometry/box.h"

namespace tessera {

void Polyhedron::computeBoundingBox() {
  const Box box = boxOf(vertices);
  boxMin = box.min;
  boxMax = box.max;
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

}  // namespace tessera
