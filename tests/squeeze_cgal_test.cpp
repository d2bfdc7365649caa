// The squeeze's layouts checked by a second, independent judge: CGAL's exact mesh booleans, on
// exact (not floating-point) numbers. No two parts may share interior, touching is allowed, and
// every part must lie in the container.
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/corefinement.h>
#include <CGAL/Polygon_mesh_processing/measure.h>
#include <CGAL/Polygon_mesh_processing/triangulate_faces.h>
#include <CGAL/Side_of_triangle_mesh.h>
#include <CGAL/Surface_mesh.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "placement/prepared_solid.h"
#include "squeeze/layout_check.h"
#include "squeeze/squeeze.h"
#include "support/solids.h"
#include "support/squeeze_problems.h"

namespace tessera {
namespace {

using Kernel = CGAL::Exact_predicates_exact_constructions_kernel;
using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
namespace PMP = CGAL::Polygon_mesh_processing;

Mesh meshOf(const Polyhedron& p) {
  Mesh mesh;
  std::map<std::tuple<double, double, double>, Mesh::Vertex_index> index;
  for (const Point& v : p.vertices)
    index.emplace(std::make_tuple(v.x, v.y, v.z), mesh.add_vertex(Kernel::Point_3(v.x, v.y, v.z)));
  for (const Face& f : p.faces) {
    std::vector<Mesh::Vertex_index> ring;
    for (const Point& q : f.points) ring.push_back(index.at(std::make_tuple(q.x, q.y, q.z)));
    EXPECT_NE(mesh.add_face(ring), Mesh::null_face()) << p.name;
  }
  PMP::triangulate_faces(mesh);
  return mesh;
}

// The volume two closed meshes share, exactly.
Kernel::FT sharedVolume(Mesh a, Mesh b) {
  Mesh shared;
  EXPECT_TRUE(PMP::corefine_and_compute_intersection(a, b, shared));
  return PMP::volume(shared);
}

void expectCgalAccepts(const SqueezeProblem& problem, const std::vector<Pose>& poses) {
  std::vector<Polyhedron> parts;
  std::vector<Mesh> meshes;
  for (int i = 0; i < problem.partCount(); ++i) {
    parts.push_back(realisePart(problem, i, poses[static_cast<std::size_t>(i)]));
    meshes.push_back(meshOf(parts.back()));
  }
  const Mesh container = meshOf(problem.container);
  const CGAL::Side_of_triangle_mesh<Mesh, Kernel> side(container);
  int pairs = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    for (const Point& v : parts[i].vertices)
      EXPECT_NE(side(Kernel::Point_3(v.x, v.y, v.z)), CGAL::ON_UNBOUNDED_SIDE) << "part " << i;
    for (std::size_t j = i + 1; j < parts.size(); ++j) {
      // Parts whose boxes do not overlap share nothing; the others are intersected.
      if (!boxesOverlap(parts[i].boxMin, parts[i].boxMax, parts[j].boxMin, parts[j].boxMax))
        continue;
      ++pairs;
      EXPECT_EQ(sharedVolume(meshes[i], meshes[j]), 0) << "parts " << i << " and " << j;
    }
  }
  // A dense layout has neighbours whose boxes overlap: the booleans had work to do.
  EXPECT_GT(pairs, 0);
}

SqueezeOptions budget(std::uint64_t moves) {
  SqueezeOptions options;
  options.moveBudget = moves;
  options.timeLimit = 600;
  options.threads = 2;
  return options;
}

TEST(SqueezeCgal, TheJudgeSeesSharedInteriorAndAllowsTouching) {
  const Polyhedron a = test::box({1, 1, 1}, {3, 3, 3});
  const Polyhedron b = test::box({2.5, 2, 1.5}, {4.5, 4, 3.5});
  EXPECT_EQ(sharedVolume(meshOf(a), meshOf(b)), Kernel::FT(0.5 * 1 * 1.5));
  const Polyhedron c = test::box({3, 1, 1}, {5, 3, 3});  // face to face
  EXPECT_EQ(sharedVolume(meshOf(a), meshOf(c)), 0);
}

TEST(SqueezeCgal, QuickExampleSqueezedLayoutHasNoSharedInterior) {
  const test::LoadedExample quick = test::loadExample(std::string(TESSERA_EXAMPLES_DIR) + "/quick");
  const SqueezeResult result = squeezeLayout(quick.problem, quick.start, budget(1500));
  ASSERT_TRUE(result.feasible);
  ASSERT_TRUE(checkLayout(quick.problem, result.poses).feasible());
  expectCgalAccepts(quick.problem, result.poses);
}

TEST(SqueezeCgal, TurnedNonConvexPartsSqueezedHaveNoSharedInterior) {
  // RN 3 turns parts by sixty degrees: faces meet at angles no grid would give.
  const SqueezeProblem problem = test::problemInCode(
      {5, 5, 40}, {test::lShape(), test::cube(1.5), test::tetrahedron()}, {4, 2, 3}, 3);
  const SqueezeResult result = squeezeLayout(problem, test::towerStart(problem), budget(1500));
  ASSERT_TRUE(result.feasible);
  ASSERT_TRUE(checkLayout(problem, result.poses).feasible());
  expectCgalAccepts(problem, result.poses);
}

}  // namespace
}  // namespace tessera
