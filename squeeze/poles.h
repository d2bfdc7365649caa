#pragma once

#include <vector>

#include "geometry/point.h"
#include "model/polyhedron.h"

// Spheres inside a solid ("poles"): two parts whose poles overlap certainly collide, and how
// deep their poles reach into each other measures how far apart the parts must move.
namespace tessera {

struct Sphere {
  Point centre;
  double radius = 0.0;
};

struct PoleOptions {
  int samples = 20000;        // grid points over the solid's box, about
  int maxPoles = 24;
  double coverage = 0.9;      // stop once this share of the solid's sample points is covered
  double smallest = 0.1;      // stop when the next radius falls below this share of the first
};

/// Distance from q to the nearest point of the solid's boundary (its faces as planar polygons).
double distanceToBoundary(const Point& q, const Polyhedron& solid);

/// Spheres inside the solid, largest first, each as large as it can be without overlapping the
/// ones before it (on a grid of samples, then refined), until options stop them. At least one
/// sphere for a solid with volume.
std::vector<Sphere> inscribedSpheres(const Polyhedron& solid, const PoleOptions& options = {});

}  // namespace tessera
