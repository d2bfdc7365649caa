#include "support/solids.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace tessera::test {

namespace {

double polygonArea(const std::vector<std::pair<double, double>>& polygon) {
  double twice = 0.0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const auto& [x0, y0] = polygon[i];
    const auto& [x1, y1] = polygon[(i + 1) % polygon.size()];
    twice += x0 * y1 - x1 * y0;
  }
  return twice / 2.0;
}

}  // namespace

Face faceOf(std::vector<Point> ring) {
  Face f;
  f.setPoints(std::move(ring));
  return f;
}

Polyhedron prism(const std::vector<std::pair<double, double>>& polygon, double z0, double z1,
                 const std::string& name) {
  Polyhedron p;
  p.name = name;
  const std::size_t n = polygon.size();
  for (const auto& [x, y] : polygon) p.vertices.push_back({x, y, z0});
  for (const auto& [x, y] : polygon) p.vertices.push_back({x, y, z1});
  for (std::size_t i = 0; i < n; ++i)
    p.edges.push_back(Edge::between(p.vertices[i], p.vertices[(i + 1) % n]));
  for (std::size_t i = 0; i < n; ++i)
    p.edges.push_back(Edge::between(p.vertices[n + i], p.vertices[n + (i + 1) % n]));
  for (std::size_t i = 0; i < n; ++i)
    p.edges.push_back(Edge::between(p.vertices[i], p.vertices[n + i]));

  std::vector<Point> bottom(p.vertices.begin(), p.vertices.begin() + static_cast<long>(n));
  std::reverse(bottom.begin(), bottom.end());
  std::vector<Point> top(p.vertices.begin() + static_cast<long>(n), p.vertices.end());
  Face f;
  f.setPoints(bottom);
  p.faces.push_back(f);
  f.setPoints(top);
  p.faces.push_back(f);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    f.setPoints({p.vertices[i], p.vertices[j], p.vertices[n + j], p.vertices[n + i]});
    p.faces.push_back(f);
  }
  p.volume = polygonArea(polygon) * (z1 - z0);
  p.referencePoint = p.vertices[0];
  p.computeBoundingBox();
  return p;
}

Polyhedron box(const Point& min, const Point& max, const std::string& name) {
  return prism({{min.x, min.y}, {max.x, min.y}, {max.x, max.y}, {min.x, max.y}}, min.z, max.z,
               name);
}

Polyhedron cube(double side, const std::string& name) {
  return box({0, 0, 0}, {side, side, side}, name);
}

Polyhedron lShape(const std::string& name) {
  return prism({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 0.0, 1.0, name);
}

Polyhedron tetrahedron(const std::string& name) {
  Polyhedron p;
  p.name = name;
  p.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const int edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};
  for (const auto& e : edges) p.edges.push_back(Edge::between(p.vertices[e[0]], p.vertices[e[1]]));
  const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}};
  for (const auto& r : faces) {
    Face f;
    f.setPoints({p.vertices[r[0]], p.vertices[r[1]], p.vertices[r[2]]});
    p.faces.push_back(f);
  }
  p.volume = 1.0 / 6.0;
  p.computeBoundingBox();
  return p;
}

Polyhedron lathe(const std::vector<std::pair<double, double>>& profile, int steps,
                 const std::string& name) {
  Polyhedron p;
  p.name = name;
  const double pi = std::acos(-1.0);
  p.vertices.push_back({0, 0, profile.front().second});
  std::vector<std::vector<int>> rings;
  for (std::size_t i = 1; i + 1 < profile.size(); ++i) {
    std::vector<int> ring;
    for (int j = 0; j < steps; ++j) {
      const double a = 2 * pi * j / steps;
      const double r = profile[i].first;
      ring.push_back(static_cast<int>(p.vertices.size()));
      p.vertices.push_back({r * std::cos(a), r * std::sin(a), profile[i].second});
    }
    rings.push_back(ring);
  }
  const int top = static_cast<int>(p.vertices.size());
  p.vertices.push_back({0, 0, profile.back().second});
  std::vector<std::array<int, 3>> triangles;
  for (int j = 0; j < steps; ++j) {
    const int k = (j + 1) % steps;
    triangles.push_back({0, rings.front()[k], rings.front()[j]});
    for (std::size_t r = 0; r + 1 < rings.size(); ++r) {
      triangles.push_back({rings[r][j], rings[r][k], rings[r + 1][k]});
      triangles.push_back({rings[r][j], rings[r + 1][k], rings[r + 1][j]});
    }
    triangles.push_back({rings.back()[j], rings.back()[k], top});
  }
  std::map<std::pair<int, int>, bool> edges;
  p.volume = 0.0;
  for (const auto& t : triangles) {
    Face f;
    f.setPoints({p.vertices[t[0]], p.vertices[t[1]], p.vertices[t[2]]});
    p.faces.push_back(f);
    for (int e = 0; e < 3; ++e) {
      const int a = t[e];
      const int b = t[(e + 1) % 3];
      if (edges.emplace(std::minmax(a, b), true).second)
        p.edges.push_back(Edge::between(p.vertices[a], p.vertices[b]));
    }
    const Point& a = p.vertices[t[0]];
    p.volume += (a.x * cross(p.vertices[t[1]], p.vertices[t[2]]).x +
                 a.y * cross(p.vertices[t[1]], p.vertices[t[2]]).y +
                 a.z * cross(p.vertices[t[1]], p.vertices[t[2]]).z) /
                6.0;
  }
  p.referencePoint = {0, 0, profile.front().second};
  p.computeBoundingBox();
  return p;
}

Polyhedron reversedRings(Polyhedron p) {
  for (Face& f : p.faces) {
    std::vector<Point> ring = f.points;
    std::reverse(ring.begin(), ring.end());
    f.setPoints(ring);
  }
  return p;
}

std::string dataPath(const std::string& relative) {
  return std::string(TESSERA_TEST_DATA_DIR) + "/" + relative;
}

}  // namespace tessera::test
