#include "squeeze/gjk.h"

#include <cmath>

namespace tessera {

namespace {

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point negated(const Point& a) { return {-a.x, -a.y, -a.z}; }
// (a x b) x a: perpendicular to a, in the plane of a and b, on b's side.
Point towards(const Point& a, const Point& b) { return cross(cross(a, b), a); }

struct Support {
  Point point;         // a point of the difference set (a + shift) - b
  double reach = 0.0;  // the largest extent of the difference set along the direction
};

Support support(const std::vector<Point>& a, const Point& shift, const std::vector<Point>& b,
                const Point& d) {
  std::size_t bestA = 0;
  double hiA = dot(a[0], d);
  for (std::size_t k = 1; k < a.size(); ++k) {
    const double v = dot(a[k], d);
    if (v > hiA) {
      hiA = v;
      bestA = k;
    }
  }
  std::size_t bestB = 0;
  double loB = dot(b[0], d);
  for (std::size_t k = 1; k < b.size(); ++k) {
    const double v = dot(b[k], d);
    if (v < loB) {
      loB = v;
      bestB = k;
    }
  }
  return {minus(plus(a[bestA], shift), b[bestB]), hiA + dot(shift, d) - loB};
}

// The simplex s[0..n) holds its newest point last. Reduces it to its feature nearest the
// origin and sets d from that feature towards the origin; true when the origin is enclosed.
bool nearestFeature(Point* s, int& n, Point& d) {
  if (n == 2) {
    const Point a = s[1];
    const Point ab = minus(s[0], a);
    const Point ao = negated(a);
    if (dot(ab, ao) > 0.0) {
      d = towards(ab, ao);
    } else {
      s[0] = a;
      n = 1;
      d = ao;
    }
    return false;
  }
  if (n == 3) {
    const Point a = s[2], b = s[1], c = s[0];
    const Point ab = minus(b, a), ac = minus(c, a), ao = negated(a);
    const Point abc = cross(ab, ac);
    if (dot(cross(abc, ac), ao) > 0.0) {
      if (dot(ac, ao) > 0.0) {
        s[0] = c;
        s[1] = a;
        n = 2;
        d = towards(ac, ao);
        return false;
      }
      s[0] = b;
      s[1] = a;
      n = 2;
      return nearestFeature(s, n, d);
    }
    if (dot(cross(ab, abc), ao) > 0.0) {
      s[0] = b;
      s[1] = a;
      n = 2;
      return nearestFeature(s, n, d);
    }
    d = dot(abc, ao) > 0.0 ? abc : negated(abc);
    return false;
  }
  // A tetrahedron: the origin is outside it when it lies beyond a face through the newest point.
  const Point a = s[3];
  const Point ao = negated(a);
  const Point faces[3][3] = {{s[2], s[1], s[0]}, {s[1], s[0], s[2]}, {s[0], s[2], s[1]}};
  for (const auto& f : faces) {
    Point normal = cross(minus(f[0], a), minus(f[1], a));
    if (dot(normal, minus(f[2], a)) > 0.0) normal = negated(normal);
    if (dot(normal, ao) > 0.0) {
      s[0] = f[1];
      s[1] = f[0];
      s[2] = a;
      n = 3;
      return nearestFeature(s, n, d);
    }
  }
  return true;
}

}  // namespace

Hulls compareHulls(const std::vector<Point>& a, const Point& shift, const std::vector<Point>& b,
                   double margin) {
  if (a.empty() || b.empty()) return Hulls::unknown;
  Point simplex[4];
  simplex[0] = minus(plus(a[0], shift), b[0]);
  int n = 1;
  Point d = negated(simplex[0]);
  for (int iteration = 0; iteration < 24; ++iteration) {
    const double length = std::sqrt(dot(d, d));
    if (!(length > 0.0) || !std::isfinite(length)) return Hulls::unknown;
    const Point unit{d.x / length, d.y / length, d.z / length};
    const Support p = support(a, shift, b, unit);
    // Every difference point x has x . unit <= reach: below -margin, the sets are apart.
    if (p.reach < -margin) return Hulls::apart;
    simplex[n++] = p.point;
    if (nearestFeature(simplex, n, d)) return Hulls::overlap;
  }
  return Hulls::unknown;
}

}  // namespace tessera
