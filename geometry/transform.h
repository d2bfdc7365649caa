#pragma once

#include "geometry/point.h"

namespace tessera {

/// Sixteen doubles m[row][column]. Points are row vectors: (x, y, z, 1) * M, the fourth
/// column unused. Rows 0..2 are the images of the local axes, row 3 the translation.
struct Transform {
  double m[4][4] = {};

  friend bool operator==(const Transform&, const Transform&) = default;
};

Transform identityTransform();

/// (x, y, z, 1) * M with the fourth component dropped; each sum runs x, y, z, translation.
inline Point apply(const Transform& t, const Point& p) {
  return {p.x * t.m[0][0] + p.y * t.m[1][0] + p.z * t.m[2][0] + t.m[3][0],
          p.x * t.m[0][1] + p.y * t.m[1][1] + p.z * t.m[2][1] + t.m[3][1],
          p.x * t.m[0][2] + p.y * t.m[1][2] + p.z * t.m[2][2] + t.m[3][2]};
}

/// C = A * B (A applies first), each element summed from zero in index order.
Transform multiply(const Transform& a, const Transform& b);

/// Carries the local z axis onto the direction u (neither zero nor parallel to z) and then
/// spins by theta radians about it (right-hand rule). No translation.
Transform orientationMatrix(const Point& u, double theta);

}  // namespace tessera
