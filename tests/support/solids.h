#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/polyhedron.h"

// Solids built in code for tests: closed, planar faces, outward normals, bounding box set.
namespace tessera::test {

/// Prism over a counter-clockwise polygon in x-y (first three corners not collinear),
/// from z0 to z1. Faces: bottom, top, then one quadrilateral per polygon side.
Polyhedron prism(const std::vector<std::pair<double, double>>& polygon, double z0, double z1,
                 const std::string& name = "prism");

/// A face with the given ring, its plane from the first three corners.
Face faceOf(std::vector<Point> ring);

/// Axis-aligned box.
Polyhedron box(const Point& min, const Point& max, const std::string& name = "box");

/// Cube [0, side]^3.
Polyhedron cube(double side, const std::string& name = "cube");

/// Non-convex L-shape: the polygon (0,0) (2,0) (2,1) (1,1) (1,2) (0,2), height 1. Volume 3.
Polyhedron lShape(const std::string& name = "lshape");

/// Tetrahedron (0,0,0) (1,0,0) (0,1,0) (0,0,1), triangle faces. Volume 1/6.
Polyhedron tetrahedron(const std::string& name = "tetra");

/// A solid of revolution about the z axis, as CAD programs export them: the profile (radius,
/// height) runs from a point on the axis to another on the axis, radii > 0 between, and is
/// turned in `steps` equal steps starting on +x; triangles only, 2 * steps * (points - 2) of
/// them. Coordinates are r cos, r sin of the step angles, as a mesh file holds them.
Polyhedron lathe(const std::vector<std::pair<double, double>>& profile, int steps,
                 const std::string& name = "lathe");

/// Same solid with every face ring reversed (normals pointing in).
Polyhedron reversedRings(Polyhedron p);

/// Path of a file under tests/data.
std::string dataPath(const std::string& relative);

}  // namespace tessera::test
