#pragma once

namespace tessera {

/// A position or a vector, in the length unit of the input files.
struct Point {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  friend bool operator==(const Point&, const Point&) = default;
};

/// Component-wise a - b.
inline Point minus(const Point& a, const Point& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
/// Component-wise a + b.
inline Point plus(const Point& a, const Point& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

/// a x b = (a.y*b.z - b.y*a.z, a.z*b.x - a.x*b.z, b.y*a.x - a.y*b.x), in exactly this order.
inline Point cross(const Point& a, const Point& b) {
  return {a.y * b.z - b.y * a.z, a.z * b.x - a.x * b.z, b.y * a.x - a.y * b.x};
}

}  // namespace tessera
