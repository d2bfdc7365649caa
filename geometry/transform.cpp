#include "geometry/transform.h"

#include <cmath>

namespace tessera {

Transform identityTransform() {
  Transform t;
  for (int i = 0; i < 4; ++i) t.m[i][i] = 1.0;
  return t;
}

Transform multiply(const Transform& a, const Transform& b) {
  Transform c;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;  // starting from +0 also fixes the sign of an all-zero sum
      for (int k = 0; k < 4; ++k) sum = sum + a.m[i][k] * b.m[k][j];
      c.m[i][j] = sum;
    }
  }
  return c;
}

Transform orientationMatrix(const Point& u, double theta) {
  const double h = std::sqrt(u.y * u.y + u.x * u.x + u.z * u.z);
  const double ax = u.x / h;
  const double ay = u.y / h;
  const double az = u.z / h;
  const double l = std::sqrt(ax * ax + ay * ay);

  Transform frame;
  frame.m[0][0] = ax * az / l;
  frame.m[0][1] = ay * az / l;
  frame.m[0][2] = -l;
  frame.m[1][0] = -ay / l;
  frame.m[1][1] = ax / l;
  frame.m[1][2] = 0.0;
  frame.m[2][0] = ax;
  frame.m[2][1] = ay;
  frame.m[2][2] = az;
  frame.m[3][3] = 1.0;

  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const double w = 1.0 - c;
  Transform spin;
  spin.m[0][0] = c * (ay * ay + az * az) + ax * ax;
  spin.m[0][1] = w * ax * ay + s * az;
  spin.m[0][2] = w * ax * az - s * ay;
  spin.m[1][0] = w * ax * ay - s * az;
  spin.m[1][1] = c + w * ay * ay;
  spin.m[1][2] = w * ay * az + s * ax;
  spin.m[2][0] = w * ax * az + s * ay;
  spin.m[2][1] = w * ay * az - s * ax;
  spin.m[2][2] = c + w * az * az;
  spin.m[3][3] = 1.0;

  return multiply(frame, spin);
}

}  // namespace tessera
