#pragma once

#include <cmath>

#include "geometry/point.h"

// The few vector operations the picture's light and views need.
namespace tessera {

inline double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Point scaled(const Point& p, double f) { return {p.x * f, p.y * f, p.z * f}; }

/// p divided by its length; p must not be zero.
inline Point unit(const Point& p) { return scaled(p, 1.0 / std::sqrt(dot(p, p))); }

}  // namespace tessera
