#include "placement/row_sampling.h"

#include <algorithm>
#include <cmath>

#include "geometry/assert.h"

// Why one crossing computation answers for the whole row, bit for bit (see solid_hierarchy.h
// for the probe's counting plane, t and the lattice).
// - Level planes at every point: the counting plane's normal is (+0, +0, -N) / sqrt(fl(N*N))
//   with N = fl(dy * ex), dy = fl(fl(y + H) - y) and ex = fl(end.x - x). In binary floating
//   point sqrt(fl(N*N)) = N whenever N*N neither overflows nor underflows, so the plane is
//   exactly (0, 0, -1, z) when N lies in [2^-500, 2^500]; N falls as x grows, so checking the
//   row's first and last point covers every point between.
// - The same faces can count at every point (facesAcross depends on y and z only), and the
//   same ring points lie below the level plane.
// - t = fl(fl(ay * fl(bz * ex)) - fl(az * fl(by * ex))) with ay, az, by, bz fixed along the
//   row; on the lattice nothing underflows, so its sign is that of ay*bz*(1 + e1) -
//   az*by*(1 + e2) with |e1|, |e2| <= 2u + u^2. When the computed X = fl(ay*bz) and
//   Y = fl(az*by) differ by more than 2^-48 (|X| + |Y|), that sign is the sign of fl(X - Y)
//   for every ex; when X and Y are both zero, t is zero for every ex. A face whose changing
//   edges all pass has one ring parity for the whole row; a face with an edge that does not
//   (the row passes within rounding of it) is tested point by point.
// - A face of odd parity counts where the probe straddles its plane. The plane's value at the
//   row's end point is fixed; at (x, y, z), a*x + b*y + c*z + d in rounded steps is monotone in
//   x, so being positive changes at most once along the row, found by a binary search.
namespace tessera {

namespace {

constexpr double kRobust = 0x1p-48;

// The ring parity of the face for every point of the row, or -1 when some edge's t may take
// different signs along it.
int rowParity(const PreparedSolid& solid, const PreparedFace& face, double y, double z) {
  const Point* ring = solid.ring.data() + face.first;
  int count = 0;
  for (std::uint32_t j = 0; j < face.count; ++j) {
    const Point& v = ring[j];
    const Point& w = ring[j + 1 == face.count ? 0 : j + 1];
    const bool vUp = v.z < z;
    const bool wUp = w.z < z;
    if (vUp == wUp) continue;
    const double x = (v.y - y) * (w.z - z);
    const double yy = (v.z - z) * (w.y - y);
    if (x == 0.0 && yy == 0.0) continue;
    const double difference = x - yy;
    if (!(std::fabs(difference) > kRobust * (std::fabs(x) + std::fabs(yy)))) return -1;
    // t > 0 counts when v is below the plane, t < 0 when w is.
    if (difference > 0 ? vUp : wUp) ++count;
  }
  return count % 2;
}

}  // namespace

void insideAlongRow(const PreparedSolid& solid, double y, double z, std::span<const double> xs,
                    std::span<std::uint8_t> inside, RowScratch& scratch) {
  TESSERA_ASSERT(xs.size() == inside.size());
  const std::size_t n = xs.size();
  std::fill(inside.begin(), inside.end(), std::uint8_t{0});
  auto pointByPoint = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) inside[i] = insideSolid({xs[i], y, z}, solid) ? 1 : 0;
  };
  bool rowOk = latticeHolds(solid.hierarchy) && onLattice(y) && onLattice(z);
  for (std::size_t i = 0; i < n && rowOk; ++i) rowOk = onLattice(xs[i]);
  if (!rowOk) {
    pointByPoint(0, n);
    return;
  }
  const Point& lo = solid.boxMin;
  const Point& hi = solid.boxMax;
  if (y < lo.y || y > hi.y || z < lo.z || z > hi.z) return;
  // The points that pass the box test: a run, the xs being finite and in order.
  std::size_t i0 = 0;
  while (i0 < n && xs[i0] < lo.x) ++i0;
  std::size_t i1 = i0;
  while (i1 < n && !(xs[i1] > hi.x)) ++i1;
  if (i0 == i1) return;
  const double endX = hi.x + 0.1 * (hi.x - lo.x);
  const double dy = (y + (hi.y - lo.y)) - y;
  const double nFirst = dy * (endX - xs[i0]);
  const double nLast = dy * (endX - xs[i1 - 1]);
  if (!onLattice(endX) || !(nLast >= 0x1p-500 && nFirst <= 0x1p500)) {
    pointByPoint(i0, i1);
    return;
  }

  scratch.faces.clear();
  facesAcross(solid.hierarchy, y, z, [&](std::uint32_t f) {
    scratch.faces.push_back(f);
    return false;
  });
  std::vector<int>& changes = scratch.changes;
  changes.assign(n + 1, 0);
  const Point end{endX, y, z};
  for (const std::uint32_t f : scratch.faces) {
    const PreparedFace& face = solid.faces[f];
    const int parity = rowParity(solid, face, y, z);
    if (parity == 0) continue;
    if (parity < 0) {
      for (std::size_t i = i0; i < i1; ++i) {
        if (!probeCrosses(solid, face, probeFrom({xs[i], y, z}, solid))) continue;
        ++changes[i];
        --changes[i + 1];
      }
      continue;
    }
    const bool endUp = face.plane.value(end) > 0;
    auto up = [&](std::size_t i) { return face.plane.value({xs[i], y, z}) > 0; };
    const bool first = up(i0);
    const bool last = up(i1 - 1);
    std::size_t from = i0;
    std::size_t to = i1;
    if (first == last) {
      if (first == endUp) continue;
    } else {
      std::size_t a = i0;      // up(a) == first
      std::size_t b = i1 - 1;  // up(b) == last
      while (b - a > 1) {
        const std::size_t m = a + (b - a) / 2;
        (up(m) == first ? a : b) = m;
      }
      (first != endUp ? to : from) = b;
    }
    ++changes[from];
    --changes[to];
  }
  int crossed = 0;
  for (std::size_t i = i0; i < i1; ++i) {
    crossed += changes[i];
    inside[i] = crossed % 2 != 0 ? 1 : 0;
  }
}

}  // namespace tessera
