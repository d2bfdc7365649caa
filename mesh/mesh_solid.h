#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "mesh/mesh_reader.h"

namespace tessera {

/// A closed, consistently oriented 2-manifold boundary of one solid, ready to be written.
struct SolidMesh {
  std::vector<Point> vertices;
  std::vector<std::array<int, 2>> edges;  // each edge once
  std::vector<std::vector<int>> faces;  // normal by the right-hand rule on the first three corners
                                        // points outward; those corners are never collinear
  double volume = 0.0;                  // > 0
  Point centroid;
};

/// What buildSolid changed on the way.
struct RepairNotes {
  std::size_t weldedVertices = 0;     // input vertices merged into an equal earlier one
  std::size_t droppedDegenerate = 0;  // faces with repeated or collinear corners
  std::size_t droppedDuplicates = 0;  // repeated copies of the same oriented triangle
  bool reversed = false;              // every face was inward and has been turned
};

/// Multiplies coordinates by scale, welds exactly equal vertices, triangulates polygons, drops
/// degenerate and duplicated triangles, then requires one closed shell with every edge shared by
/// exactly two oppositely running faces and every vertex on a single fan; an inward shell is
/// turned. Throws ImportError naming file and what is wrong where.
SolidMesh buildSolid(const RawMesh& mesh, double scale, const std::string& file,
                     RepairNotes* notes = nullptr);

/// Signed volume (divergence theorem, faces fanned from their first corner) and the centroid of the
/// solid as the volume-weighted centroids of its tetrahedra. volume is 0 when the faces enclose
/// none.
void volumeAndCentroid(const std::vector<Point>& vertices,
                       const std::vector<std::vector<int>>& faces, double& volume, Point& centroid);

/// One face as every mesh face is split, for the import, the wraps and the exported originals:
/// corners that repeat the one before run together, the ring is cut into ears
/// (triangulatePolygon) and pieces without area are dropped.
struct FaceSplit {
  std::vector<std::array<int, 3>> triangles;  // vertex indices, in ring orientation
  std::size_t dropped = 0;  // pieces without area (a ring of fewer than 3 corners counts 1)
  bool folds = false;       // the ring folds over itself: no triangles
};
FaceSplit splitFace(const std::vector<Point>& vertices, const std::vector<int>& ring);

/// "(x, y, z)" with each number in its shortest exact form.
std::string formatPoint(const Point& p);

}  // namespace tessera
