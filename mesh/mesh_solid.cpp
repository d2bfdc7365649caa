#include "mesh/mesh_solid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

#include "geometry/face_triangulation.h"

namespace tessera {

std::string formatPoint(const Point& p) {
  std::string out = "(";
  const double c[3] = {p.x, p.y, p.z};
  for (int k = 0; k < 3; ++k) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, c[k]);
    static_cast<void>(ec);
    out.append(buf, end);
    out += k < 2 ? ", " : ")";
  }
  return out;
}

namespace {

double dot(const Point& a, const Point& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

/// The face plane's normal length as the polyhedron reader computes it; 0 or not finite means the
/// corners give no plane.
bool hasPlane(const Point& p0, const Point& p1, const Point& p2) {
  const Point n = cross(minus(p1, p0), minus(p2, p0));
  const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  return len > 0.0 && std::isfinite(len);
}

struct LessPoint {
  bool operator()(const Point& a, const Point& b) const {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
  }
};

std::string edgeText(const std::vector<Point>& v, int a, int b) {
  return formatPoint(v[a]) + "-" + formatPoint(v[b]);
}

/// Appends one problem line with the count and up to five examples.
void describe(std::string& out, const char* what, const std::vector<std::string>& where) {
  if (where.empty()) return;
  out += "\n  " + std::to_string(where.size()) + " " + what;
  for (std::size_t k = 0; k < where.size() && k < 5; ++k) out += (k ? "; " : ": ") + where[k];
  if (where.size() > 5) out += "; ...";
}

int findRoot(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

}  // namespace

FaceSplit splitFace(const std::vector<Point>& vertices, const std::vector<int>& ring) {
  FaceSplit split;
  std::vector<int> corners;
  for (const int i : ring)
    if (corners.empty() || !(vertices[corners.back()] == vertices[i])) corners.push_back(i);
  while (corners.size() > 1 && vertices[corners.back()] == vertices[corners.front()])
    corners.pop_back();
  if (corners.size() < 3) {
    split.dropped = 1;
    return split;
  }
  const auto pieces = triangulatePolygon(vertices, corners);
  split.folds = pieces.empty();
  for (const auto& t : pieces) {
    if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0] ||
        !hasPlane(vertices[t[0]], vertices[t[1]], vertices[t[2]])) {
      ++split.dropped;
      continue;
    }
    split.triangles.push_back(t);
  }
  return split;
}

void volumeAndCentroid(const std::vector<Point>& vertices,
                       const std::vector<std::vector<int>>& faces, double& volume,
                       Point& centroid) {
  // Measured from the lowest corner of the bounding box, which keeps the products small.
  Point o = vertices.empty() ? Point{} : vertices[0];
  for (const Point& v : vertices) o = {std::min(o.x, v.x), std::min(o.y, v.y), std::min(o.z, v.z)};
  double six = 0.0;  // six times the volume
  Point moment;      // 24 times the first moment
  for (const auto& ring : faces) {
    const Point a = minus(vertices[ring[0]], o);
    for (std::size_t k = 1; k + 1 < ring.size(); ++k) {
      const Point b = minus(vertices[ring[k]], o);
      const Point c = minus(vertices[ring[k + 1]], o);
      const double t = dot(a, cross(b, c));
      six += t;
      moment = plus(moment, {t * (a.x + b.x + c.x), t * (a.y + b.y + c.y), t * (a.z + b.z + c.z)});
    }
  }
  volume = six / 6.0;
  if (six == 0.0) {
    centroid = o;
    return;
  }
  const double w = 4.0 * six;
  centroid = {o.x + moment.x / w, o.y + moment.y / w, o.z + moment.z / w};
}

SolidMesh buildSolid(const RawMesh& mesh, double scale, const std::string& file,
                     RepairNotes* notes) {
  auto fail = [&](int line, const std::string& what) {
    throw ImportError(importMessage(file, line, what));
  };
  RepairNotes local;
  RepairNotes& note = notes ? *notes : local;
  note = {};
  if (!(scale > 0.0) || !std::isfinite(scale)) fail(0, "the scale must be a positive number");
  if (mesh.faces.empty()) fail(0, "the mesh has no faces");

  // Welding: exactly equal coordinates after scaling become one vertex.
  std::vector<Point> points;
  std::vector<int> welded(mesh.vertices.size());
  std::map<Point, int, LessPoint> seen;
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    const Point& v = mesh.vertices[i];
    const Point s = {v.x * scale, v.y * scale, v.z * scale};
    if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.z))
      fail(0, "scaling the vertex " + formatPoint(v) + " overflows");
    auto [it, added] = seen.emplace(s, static_cast<int>(points.size()));
    if (added) points.push_back(s);
    welded[i] = it->second;
  }
  note.weldedVertices = mesh.vertices.size() - points.size();

  std::vector<std::array<int, 3>> triangles;
  std::set<std::array<int, 3>> kept;  // triangles rotated to start at their smallest index
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    std::vector<int> ring;
    for (int i : mesh.faces[f]) ring.push_back(welded[i]);
    const FaceSplit split = splitFace(points, ring);
    if (split.folds) fail(mesh.faceLines[f], "a polygon face folds over itself");
    note.droppedDegenerate += split.dropped;
    for (auto t : split.triangles) {
      std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
      if (!kept.insert(t).second) {
        ++note.droppedDuplicates;
        continue;
      }
      triangles.push_back(t);
    }
  }
  if (triangles.empty()) fail(0, "no face with a nonzero area is left");

  // Each edge, keyed by its smaller vertex first, with the directions in which faces run along it.
  std::map<std::pair<int, int>, std::vector<bool>> uses;  // true when running smaller → larger
  for (const auto& t : triangles)
    for (int k = 0; k < 3; ++k) {
      const int a = t[k], b = t[(k + 1) % 3];
      uses[{std::min(a, b), std::max(a, b)}].push_back(a < b);
    }
  std::vector<std::string> open, nonManifold, flipped;
  for (const auto& [edge, dirs] : uses) {
    if (dirs.size() == 1)
      open.push_back(edgeText(points, edge.first, edge.second));
    else if (dirs.size() > 2)
      nonManifold.push_back(edgeText(points, edge.first, edge.second) + " (" +
                            std::to_string(dirs.size()) + " faces)");
    else if (dirs[0] == dirs[1])
      flipped.push_back(edgeText(points, edge.first, edge.second));
  }
  std::string problems;
  describe(problems, "open edges (used by one face only)", open);
  describe(problems, "non-manifold edges (shared by more than two faces)", nonManifold);
  describe(problems,
           "edges where neighbouring faces have opposite orientation (both run the same way)",
           flipped);
  if (!problems.empty())
    fail(0, "the mesh is not a closed, consistently oriented solid:" + problems);

  // Around every vertex the faces must form one fan; two fans meeting at a point are not a solid.
  std::vector<std::vector<std::pair<int, int>>> around(points.size());
  for (const auto& t : triangles)
    for (int k = 0; k < 3; ++k) around[t[k]].push_back({t[(k + 1) % 3], t[(k + 2) % 3]});
  std::vector<std::string> pinched;
  for (std::size_t v = 0; v < points.size(); ++v) {
    auto& fan = around[v];
    if (fan.empty()) continue;
    std::sort(fan.begin(), fan.end());
    std::size_t steps = 0;
    int at = fan[0].first;
    do {
      const auto next = std::lower_bound(fan.begin(), fan.end(), std::pair<int, int>{at, -1});
      if (next == fan.end() || next->first != at) break;
      at = next->second;
      ++steps;
    } while (at != fan[0].first && steps <= fan.size());
    if (steps != fan.size()) pinched.push_back(formatPoint(points[v]));
  }
  describe(problems, "vertices where separate surfaces touch", pinched);
  if (!problems.empty()) fail(0, "the mesh is not a 2-manifold solid:" + problems);

  std::vector<int> parent(points.size());
  std::iota(parent.begin(), parent.end(), 0);
  for (const auto& t : triangles) {
    parent[findRoot(parent, t[1])] = findRoot(parent, t[0]);
    parent[findRoot(parent, t[2])] = findRoot(parent, t[0]);
  }
  std::size_t shells = 0;
  for (std::size_t v = 0; v < points.size(); ++v)
    if (!around[v].empty() && findRoot(parent, static_cast<int>(v)) == static_cast<int>(v))
      ++shells;
  if (shells > 1)
    fail(0, "the mesh has " + std::to_string(shells) +
                " separate closed shells; import each body as its own part");

  // Keep the used vertices in order of first use, so equal meshes give equal files.
  SolidMesh solid;
  std::vector<int> index(points.size(), -1);
  for (const auto& t : triangles) {
    std::vector<int> ring;
    for (int i : t) {
      if (index[i] < 0) {
        index[i] = static_cast<int>(solid.vertices.size());
        solid.vertices.push_back(points[i]);
      }
      ring.push_back(index[i]);
    }
    solid.faces.push_back(std::move(ring));
  }
  volumeAndCentroid(solid.vertices, solid.faces, solid.volume, solid.centroid);
  if (solid.volume == 0.0) fail(0, "the mesh encloses no volume");
  if (solid.volume < 0.0) {
    for (auto& ring : solid.faces) std::reverse(ring.begin() + 1, ring.end());
    volumeAndCentroid(solid.vertices, solid.faces, solid.volume, solid.centroid);
    note.reversed = true;
  }
  std::set<std::pair<int, int>> listed;
  for (const auto& ring : solid.faces)
    for (std::size_t k = 0; k < ring.size(); ++k) {
      const int a = ring[k], b = ring[(k + 1) % ring.size()];
      if (listed.insert({std::min(a, b), std::max(a, b)}).second) solid.edges.push_back({a, b});
    }
  return solid;
}

}  // namespace tessera
