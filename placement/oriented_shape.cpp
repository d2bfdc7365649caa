#include "placement/oriented_shape.h"

#include <cmath>
#include <cstring>

#include "placement/hierarchy_search.h"
#include "placement/occupancy_grid.h"
#include "placement/row_sampling.h"
#include "placement/voxelise.h"

namespace tessera {

namespace {

void addVertexOrder(OrientedShape& shape) {
  const std::vector<Point>& v = shape.geometry.vertices;
  std::vector<char> taken(v.size(), 0);
  auto take = [&](std::size_t i) {
    if (!taken[i]) shape.vertexOrder.push_back(static_cast<int>(i));
    taken[i] = 1;
  };
  const Point& lo = shape.geometry.boxMin;
  const Point& hi = shape.geometry.boxMax;
  const double extremes[6] = {lo.z, lo.x, lo.y, hi.x, hi.y, hi.z};
  for (int e = 0; e < 6; ++e)
    for (std::size_t i = 0; i < v.size(); ++i) {
      const double c = e == 0 || e == 5 ? v[i].z : (e == 1 || e == 3 ? v[i].x : v[i].y);
      if (c == extremes[e]) {
        take(i);
        break;
      }
    }
  for (std::size_t i = 0; i < v.size(); ++i) take(i);
}

// Doubles are compared and hashed by their bits: -0 and +0 or two NaNs are not interchanged.
struct Words {
  std::uint64_t hash = 1469598103934665603ull;
  void add(const double* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t w;
      std::memcpy(&w, data + i, sizeof w);
      hash = (hash ^ w) * 1099511628211ull;
      hash ^= hash >> 29;
    }
  }
};

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool sameBits(const Point& a, const Point& b) { return std::memcmp(&a, &b, sizeof(Point)) == 0; }

}  // namespace

namespace {

// voxelise's bitmap, anchor cell and anchorPoint, with solid the part's geometry prepared,
// sampled a row along x at a time.
void voxeliseWith(Polyhedron& part, const PreparedSolid& solid) {
  const double c = part.cellSide;
  const double ex = std::trunc((part.boxMax.x - part.boxMin.x) / c) + 1;
  const double ey = std::trunc((part.boxMax.y - part.boxMin.y) / c) + 1;
  const double ez = std::trunc((part.boxMax.z - part.boxMin.z) / c) + 1;
  if (!saneCellCount(ex, ey, ez)) {  // voxelise itself refuses it
    voxelise(part);
    return;
  }
  part.dropBitmap();
  part.cellsX = static_cast<int>(ex);
  part.cellsY = static_cast<int>(ey);
  part.cellsZ = static_cast<int>(ez);
  const std::size_t nx = static_cast<std::size_t>(part.cellsX);
  const std::size_t ny = static_cast<std::size_t>(part.cellsY);
  const std::size_t nz = static_cast<std::size_t>(part.cellsZ);
  part.bitmap.assign(nx * ny * nz, 0);

  // The sample coordinates of each axis, accumulated as voxelise accumulates them.
  auto samples = [c](double from, std::size_t count) {
    std::vector<double> at(count);
    double v = from;
    for (std::size_t i = 0; i < count; ++i, v += c) at[i] = v;
    return at;
  };
  const std::vector<double> xs = samples(part.boxMin.x, nx);
  const std::vector<double> ys = samples(part.boxMin.y, ny);
  const std::vector<double> zs = samples(part.boxMin.z, nz);
  std::vector<std::uint8_t> row(nx);
  RowScratch scratch;
  for (std::size_t k = 0; k < nz; ++k)
    for (std::size_t j = 0; j < ny; ++j) {
      insideAlongRow(solid, ys[j], zs[k], xs, row, scratch);
      for (std::size_t i = 0; i < nx; ++i) part.bitmap[j + ny * (i + nx * k)] = row[i];
    }

  placeAnchor(part);
}

}  // namespace

void voxeliseFast(Polyhedron& part) {
  PreparedSolid solid;
  prepareSolid(part, solid);
  buildHierarchy(solid);
  voxeliseWith(part, solid);
}

OrientedShape orientShape(const Polyhedron& part, const Orientation& orientation) {
  OrientedShape shape;
  Polyhedron& g = shape.geometry;
  g = part;
  g.transform(orientation);
  prepareSolid(g, shape.solid);
  buildHierarchy(shape.solid);
  voxeliseWith(g, shape.solid);
  shape.solid.anchorPoint = g.anchorPoint;

  shape.cellsX = g.cellsX;
  shape.cellsY = g.cellsY;
  shape.cellsZ = g.cellsZ;
  shape.rowWords = (g.cellsY + 63) / 64;
  const std::size_t nx = static_cast<std::size_t>(g.cellsX);
  const std::size_t ny = static_cast<std::size_t>(g.cellsY);
  for (int k = 0; k < g.cellsZ; ++k) {
    for (int i = 0; i < g.cellsX; ++i) {
      const std::size_t base =
          ny * (static_cast<std::size_t>(i) + nx * static_cast<std::size_t>(k));
      bool any = false;
      for (std::size_t j = 0; j < ny && !any; ++j) any = g.bitmap[base + j] != 0;
      if (!any) continue;
      const auto offset = static_cast<std::uint32_t>(shape.bits.size());
      shape.bits.resize(shape.bits.size() + static_cast<std::size_t>(shape.rowWords), 0);
      for (std::size_t j = 0; j < ny; ++j) {
        if (g.bitmap[base + j] == 0) continue;
        shape.bits[offset + j / 64] |= std::uint64_t{1} << (j % 64);
        const int jj = static_cast<int>(j);
        if (!shape.occupied) {
          shape.iMin = shape.iMax = i;
          shape.jMin = shape.jMax = jj;
          shape.kMin = shape.kMax = k;
          shape.occupied = true;
        }
        shape.iMin = std::min(shape.iMin, i);
        shape.iMax = std::max(shape.iMax, i);
        shape.jMin = std::min(shape.jMin, jj);
        shape.jMax = std::max(shape.jMax, jj);
        shape.kMin = std::min(shape.kMin, k);
        shape.kMax = std::max(shape.kMax, k);
      }
      shape.rows.push_back({i, k, offset});
    }
  }
  g.dropBitmap();
  addVertexOrder(shape);
  return shape;
}

bool sameShapeInput(const Polyhedron& a, const Polyhedron& b) {
  if (!sameBits(a.vertices, b.vertices) || !sameBits(a.edges, b.edges)) return false;
  if (a.faces.size() != b.faces.size()) return false;
  for (std::size_t f = 0; f < a.faces.size(); ++f) {
    const Face& fa = a.faces[f];
    const Face& fb = b.faces[f];
    if (!sameBits(fa.points, fb.points)) return false;
    const double pa[4] = {fa.a, fa.b, fa.c, fa.d};
    const double pb[4] = {fb.a, fb.b, fb.c, fb.d};
    if (std::memcmp(pa, pb, sizeof pa) != 0) return false;
  }
  return sameBits(a.referencePoint, b.referencePoint) &&
         std::memcmp(&a.cellSide, &b.cellSide, sizeof(double)) == 0 && a.anchorI == b.anchorI &&
         a.anchorJ == b.anchorJ && a.anchorK == b.anchorK;
}

std::uint64_t shapeInputHash(const Polyhedron& part) {
  // Vertices, reference point and cell side tell parts apart in practice; equality is decided
  // by sameShapeInput.
  Words h;
  for (const Point& v : part.vertices) h.add(&v.x, 3);
  h.add(&part.referencePoint.x, 3);
  h.add(&part.cellSide, 1);
  return h.hash;
}

}  // namespace tessera
