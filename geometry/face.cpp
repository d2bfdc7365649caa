#include "geometry/face.h"

#include <cmath>
#include <utility>

#include "geometry/assert.h"

namespace tessera {

void Face::setPoints(std::vector<Point> ring) {
  TESSERA_ASSERT(ring.size() >= 3);
  points = std::move(ring);
  const Point& p0 = points[0];
  const Point nrm = cross(minus(points[1], p0), minus(points[2], p0));
  const double len = std::sqrt(nrm.x * nrm.x + nrm.y * nrm.y + nrm.z * nrm.z);
  a = nrm.x / len;
  b = nrm.y / len;
  c = nrm.z / len;
  d = -(b * p0.y + a * p0.x + c * p0.z);
}

void Face::translate(const Point& offset) {
  std::vector<Point> ring;
  ring.reserve(points.size());
  for (const Point& p : points) ring.push_back(plus(p, offset));
  setPoints(std::move(ring));
}

void Face::transform(const Transform& t) {
  std::vector<Point> ring;
  ring.reserve(points.size());
  for (const Point& p : points) ring.push_back(apply(t, p));
  setPoints(std::move(ring));
}

}  // namespace tessera
