#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/edge.h"
#include "geometry/face.h"
#include "geometry/point.h"
#include "geometry/solid.h"
#include "geometry/transform.h"

namespace tessera {

/// The one geometry record: the container and every part. Copies are deep (value type).
struct Polyhedron {
  static constexpr std::size_t kMaxNameLength = 99;

  std::string name;
  double volume = 0.0;   // as stated in the file, never computed
  Point referencePoint;  // placement scores an orientation by its height
  Point anchorPoint;     // boxMin + cellSide * anchor cell, set by voxelisation
  std::vector<Point> vertices;
  std::vector<Edge> edges;
  std::vector<Face> faces;
  Point boxMin;
  Point boxMax;
  double cellSide = 0.0;
  int cellsX = 0;  // bitmap extents; all 0 means no bitmap
  int cellsY = 0;
  int cellsZ = 0;
  std::vector<std::uint8_t> bitmap;  // cell (i, j, k) at j + cellsY * (i + cellsX * k)
  int anchorI = 0;
  int anchorJ = 0;
  int anchorK = 0;
  int id = 0;

  int vertexCount() const { return static_cast<int>(vertices.size()); }
  int edgeCount() const { return static_cast<int>(edges.size()); }
  int faceCount() const { return static_cast<int>(faces.size()); }
  bool hasBitmap() const { return cellsX > 0 && cellsY > 0 && cellsZ > 0; }

  /// Box over the vertices: both corners start at vertex 0, strict comparisons. Needs a vertex.
  void computeBoundingBox();
  /// Moves anchor, reference point, vertices, edges (direction kept), faces (planes
  /// recomputed) and the box by offset, in that order; the bitmap moves with the box.
  void translate(const Point& offset);
  /// Maps vertices, edges, faces and reference point by t, then recomputes the box. Anchor
  /// point and bitmap are left as they are (stale until voxelised again).
  void transform(const Transform& t);
  /// Releases the bitmap and sets the three extents to 0.
  void dropBitmap();

  operator SolidView() const { return {vertices, edges, faces, boxMin, boxMax}; }
};

}  // namespace tessera
