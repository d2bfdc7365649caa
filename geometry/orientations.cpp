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

  const int n = rn;
  const double pi = std::acos(-1.0);
  const double delta = pi / n;
  const double spinStep = (pi + pi) * 0.5 / n;  // equals delta; kept in the form it is defined

  auto addSpins = [&](const Point& axis) {
    double theta = 0.0;
    for (int s = 0; s < 2 * n; ++s) {
      table.push_back(orientationMatrix(axis, theta));
      theta += spinStep;
    }
  };

  // The meridian psi = 0 with both poles; angles accumulate by repeated addition.
  double phi = pi * (-0.5);
  for (int lat = 0; lat <= n; ++lat) {
    addSpins({std::cos(phi), 0.0, std::sin(phi)});
    phi += delta;
  }

  // The other meridians without the poles.
  double psi = delta;
  for (int lon = 0; lon < 2 * n - 1; ++lon) {
    phi = delta - pi * 0.5;
    for (int lat = 0; lat < n - 1; ++lat) {
      addSpins({std::cos(phi) * std::cos(psi), std::cos(phi) * std::sin(psi), std::sin(phi)});
      phi += delta;
    }
    psi += delta;
  }
  return table;
}

}  // namespace tessera
