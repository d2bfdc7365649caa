#include "mesh/packing_shape.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <tuple>
#include <utility>

#include "formats/number_format.h"
#include "mesh/mesh_solid.h"

namespace tessera {

namespace {

// Wraps made at most, each with a larger offset, before the clearance is declared unreachable.
constexpr int kMostAttempts = 12;
// The least clearance asked of a wrap, as a share of the mesh's box diagonal: closer wraps
// take minutes and rarely keep their clearance at every point.
constexpr double kLeastClearanceShare = 1e-4;

struct PointOrder {
  bool operator()(const Point& a, const Point& b) const {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
  }
};

/// x rounded up to three significant digits (a rounding error of x itself is no reason to).
double roundedUp(double x) {
  const double unit = std::pow(10.0, std::floor(std::log10(x)) - 2);
  return std::ceil(x / unit - 1e-6) * unit;
}

int findRoot(std::vector<int>& parent, int i) {
  while (parent[static_cast<std::size_t>(i)] != i) {
    parent[static_cast<std::size_t>(i)] =
        parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
    i = parent[static_cast<std::size_t>(i)];
  }
  return i;
}

}  // namespace

TriangleSoup soupOf(const RawMesh& mesh, double scale, const std::string& file) {
  TriangleSoup soup;
  soup.vertices.reserve(mesh.vertices.size());
  for (const Point& v : mesh.vertices)
    soup.vertices.push_back({v.x * scale, v.y * scale, v.z * scale});
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    const FaceSplit split = splitFace(soup.vertices, mesh.faces[f]);
    if (split.folds)
      throw ImportError(importMessage(file, f < mesh.faceLines.size() ? mesh.faceLines[f] : 0,
                                      "a polygon face folds over itself"));
    soup.triangles.insert(soup.triangles.end(), split.triangles.begin(), split.triangles.end());
  }
  return soup;
}

void inspectSoup(const TriangleSoup& soup, WrapNotes& notes) {
  std::map<Point, int, PointOrder> welded;
  std::vector<int> vertexOf(soup.vertices.size());
  for (std::size_t i = 0; i < soup.vertices.size(); ++i)
    vertexOf[i] = welded.emplace(soup.vertices[i], static_cast<int>(welded.size())).first->second;
  std::vector<int> parent(welded.size());
  std::iota(parent.begin(), parent.end(), 0);
  std::map<std::pair<int, int>, int> uses;
  std::vector<bool> used(welded.size(), false);
  notes.triangles = soup.triangles.size();
  for (const auto& t : soup.triangles) {
    for (int k = 0; k < 3; ++k) {
      const int a = vertexOf[static_cast<std::size_t>(t[static_cast<std::size_t>(k)])];
      const int b = vertexOf[static_cast<std::size_t>(t[static_cast<std::size_t>((k + 1) % 3)])];
      used[static_cast<std::size_t>(a)] = true;
      if (a == b) continue;
      ++uses[{std::min(a, b), std::max(a, b)}];
      parent[static_cast<std::size_t>(findRoot(parent, a))] = findRoot(parent, b);
    }
  }
  notes.shells = 0;
  for (std::size_t i = 0; i < parent.size(); ++i)
    if (used[i] && findRoot(parent, static_cast<int>(i)) == static_cast<int>(i)) ++notes.shells;
  notes.openEdges = notes.nonManifoldEdges = 0;
  for (const auto& [edge, count] : uses) {
    if (count == 1) ++notes.openEdges;
    if (count > 2) ++notes.nonManifoldEdges;
  }
}

TriangleSoup packingShape(const TriangleSoup& soup, double clearance, double detail,
                          const std::string& file, WrapNotes& notes) {
  inspectSoup(soup, notes);
  bool any = false;
  Point low{}, high{};
  for (const auto& t : soup.triangles)
    for (const int i : t) {
      const Point& p = soup.vertices[static_cast<std::size_t>(i)];
      if (!any) low = high = p;
      any = true;
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
  const Point size = minus(high, low);
  const double diagonal = std::sqrt(size.x * size.x + size.y * size.y + size.z * size.z);
  if (!any || !(diagonal > 0.0) || !std::isfinite(diagonal))
    throw ImportError(importMessage(file, 0, "the mesh has no faces to wrap"));
  if (clearance > 0.0 && clearance < diagonal * kLeastClearanceShare)
    throw ImportError(importMessage(
        file, 0,
        "a spacing of " + formatNumber(2 * clearance) +
            " is too small for a mesh whose box has a diagonal of " + formatNumber(diagonal) +
            ": a wrap that close would take very long and rarely keep its clearance; give a "
            "spacing of at least " +
            formatNumber(roundedUp(2 * diagonal * kLeastClearanceShare)) +
            " (larger ones wrap faster and more surely), or --wrap for none"));
  double alpha = diagonal / detail;
  double offset = clearance > 0.0 ? clearance : alpha / 30;
  bool lastInPieces = false;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    TriangleSoup wrap = alphaWrap(soup, alpha, offset);
    if (wrap.triangles.empty())
      throw ImportError(importMessage(file, 0, "the wrap of the mesh failed"));
    notes.offset = offset;
    notes.attempts = attempt;
    WrapNotes made;
    inspectSoup(wrap, made);
    lastInPieces = made.shells != 1;
    if (lastInPieces) {
      // Pieces further apart than the ball can bridge wrap apart; a part must be one body.
      alpha *= 2;
      continue;
    }
    if (clearance <= 0.0) {
      notes.clearance = 0.0;
      return wrap;
    }
    notes.clearance = smallestDistance(wrap, soup, clearance);
    if (notes.clearance >= clearance) return wrap;
    // A flat face cut closer than its corners, which lie at offset: move them out by the
    // shortfall and make faces smaller, since a face of radius alpha over a convex edge cuts in
    // by about alpha * alpha / (2 * offset).
    offset += (clearance - notes.clearance) + clearance / 20;
    alpha *= 0.75;
  }
  if (clearance <= 0.0)
    throw ImportError(importMessage(file, 0,
                                    "no wrap of the mesh made one body (" +
                                        std::to_string(kMostAttempts) +
                                        " wraps tried, the last in pieces)"));
  const std::string why = lastInPieces ? "the last stayed in pieces"
                                       : "the closest point of the last was " +
                                             formatNumber(notes.clearance) + " from the mesh";
  throw ImportError(importMessage(
      file, 0,
      "no wrap of the mesh made one body keeping a clearance of " + formatNumber(clearance) + " (" +
          std::to_string(kMostAttempts) + " wraps tried; " + why +
          "): the spacing is too small for this mesh; give a larger --spacing, or --wrap for "
          "none"));
}

}  // namespace tessera
