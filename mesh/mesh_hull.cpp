#include "mesh/mesh_hull.h"

#include <libqhull_r/qhull_ra.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessera {

namespace {

/// Owns one qhull run; its memory is released on every way out.
class QhullRun {
 public:
  QhullRun() {
    errors_ = open_memstream(&text_, &size_);
    qh_zero(&qh_, errors_);
  }
  ~QhullRun() {
    qh_freeqhull(&qh_, !qh_ALL);
    int curlong = 0, totlong = 0;
    qh_memfreeshort(&qh_, &curlong, &totlong);
    if (errors_) std::fclose(errors_);
    std::free(text_);
  }
  QhullRun(const QhullRun&) = delete;
  QhullRun& operator=(const QhullRun&) = delete;

  qhT* qh() { return &qh_; }
  FILE* errors() { return errors_; }
  /// First line of what qhull reported.
  std::string firstError() {
    if (errors_) std::fflush(errors_);
    std::string s = text_ ? std::string(text_, size_) : std::string();
    const auto skip = s.find_first_not_of("\n ");
    s = skip == std::string::npos ? std::string() : s.substr(skip);
    return s.substr(0, s.find('\n'));
  }

 private:
  qhT qh_{};
  FILE* errors_ = nullptr;
  char* text_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

RawMesh convexHull(const std::vector<Point>& points, const std::string& file) {
  if (points.size() < 4)
    throw ImportError(importMessage(file, 0, "the hull needs at least four points"));
  std::vector<coordT> coords;
  coords.reserve(3 * points.size());
  for (const Point& p : points) coords.insert(coords.end(), {p.x, p.y, p.z});

  QhullRun run;
  qhT* qh = run.qh();
  char options[] = "qhull";  // default merging: coplanar facets become one polygon
  const int status = qh_new_qhull(qh, 3, static_cast<int>(points.size()), coords.data(), False,
                                  options, nullptr, run.errors());
  if (status != 0) {
    const std::string why = run.firstError();
    throw ImportError(importMessage(file, 0,
                                    "the convex hull failed (are all points in one plane?)" +
                                        (why.empty() ? std::string() : ": " + why)));
  }

  RawMesh hull;
  hull.vertices = points;
  facetT* facet = nullptr;
  FORALLfacets {
    setT* ordered = qh_facet3vertex(qh, facet);
    std::vector<int> ring;
    vertexT* vertex = nullptr;
    vertexT** vertexp = nullptr;
    FOREACHvertex_(ordered) ring.push_back(qh_pointid(qh, vertex->point));
    qh_settempfree(qh, &ordered);
    // Turn the ring so that its Newell normal agrees with the facet's outward normal.
    double nx = 0.0, ny = 0.0, nz = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
      const Point& p = points[ring[k]];
      const Point& q = points[ring[(k + 1) % ring.size()]];
      nx += (p.y - q.y) * (p.z + q.z);
      ny += (p.z - q.z) * (p.x + q.x);
      nz += (p.x - q.x) * (p.y + q.y);
    }
    if (nx * facet->normal[0] + ny * facet->normal[1] + nz * facet->normal[2] < 0.0)
      std::reverse(ring.begin() + 1, ring.end());
    hull.faces.push_back(std::move(ring));
    hull.faceLines.push_back(0);
  }
  return hull;
}

}  // namespace tessera
