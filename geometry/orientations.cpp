#include "geometry/orientations.h"

#include <cmath>

namespace tessera {

long long orientationCountFor(int rn) {
  const long long n = rn;
  return 4 * n * (n * (n - 1) + 1);
}

std::vector<Orientation> buildOrientations(int rn) {
  std::vector<Orientation> table;
  if (rn <= 0) return table;
  table.reserve(static_cast<std::size_t>(orientationCountFor(rn)));
  visitOrientations(rn, [&](const Orientation& o) {
    table.push_back(o);
    return true;
  });
  return table;
}

bool visitOrientations(int rn, const std::function<bool(const Orientation&)>& visit) {
  if (rn <= 0) return true;
  const int n = rn;
  const double pi = std::acos(-1.0);
  const double delta = pi / n;
  const double spinStep = (pi + pi) * 0.5 / n;  // equals delta; kept in the form it is defined

  auto addSpins = [&](const Point& axis) {
    double theta = 0.0;
    for (int s = 0; s < 2 * n; ++s) {
      if (!visit(orientationMatrix(axis, theta))) return false;
      theta += spinStep;
    }
    return true;
  };

  // The meridian psi = 0 with both poles; angles accumulate by repeated addition.
  double phi = pi * (-0.5);
  for (int lat = 0; lat <= n; ++lat) {
    if (!addSpins({std::cos(phi), 0.0, std::sin(phi)})) return false;
    phi += delta;
  }

  // The other meridians without the poles.
  double psi = delta;
  for (int lon = 0; lon < 2 * n - 1; ++lon) {
    phi = delta - pi * 0.5;
    for (int lat = 0; lat < n - 1; ++lat) {
      if (!addSpins({std::cos(phi) * std::cos(psi), std::cos(phi) * std::sin(psi), std::sin(phi)}))
        return false;
      phi += delta;
    }
    psi += delta;
  }
  return true;
}

}  // namespace tessera
