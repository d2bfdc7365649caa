#pragma once

#include <cmath>

#include "geometry/assert.h"
#include "geometry/point.h"

// The slide that brings a placed part into contact, written once for the reference path and
// the fast path: they differ only in how a part is moved and how its clearance is tested.
namespace tessera {

/// Moves a part along direction in strides of a quarter of min(box extents, PBSL), halving the
/// stride at each refusal until a stride below 0.01 is refused. The box is the part's before
/// the slide. move(m) translates the part by m (and records the move); clear() tells whether
/// the part, where it now stands, has every vertex in the container and is disjoint from every
/// other part. A part with a stride of 0 (or not a number) does not move.
template <typename Move, typename Clear>
void slideAlong(const Point& boxMin, const Point& boxMax, double pbsl, const Point& direction,
                Move&& move, Clear&& clear) {
  double e = boxMax.x - boxMin.x;
  const double ey = boxMax.y - boxMin.y;
  const double ez = boxMax.z - boxMin.z;
  if (ey < e) e = ey;
  if (ez < e) e = ez;
  if (pbsl < e) e = pbsl;
  double step = 0.25 * e;
  // A zero (or not-a-number) stride would repeat a null move forever.
  if (!(step > 0.0)) return;

  const double length =
      std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  TESSERA_ASSERT(length > 0.0);
  const Point u{direction.x / length, direction.y / length, direction.z / length};
  while (true) {
    const Point m{step * u.x, step * u.y, step * u.z};
    while (true) {
      move(m);
      if (!clear()) break;
    }
    move(Point{-m.x, -m.y, -m.z});
    if (step < 0.01) return;
    step = 0.5 * step;
  }
}

}  // namespace tessera
