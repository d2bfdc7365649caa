// What a run asks of the machine, figured and refused before anything large is allocated.
#include "placement/run_budget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/transform.h"
#include "model/input_error.h"
#include "placement/fast_evaluation.h"
#include "support/packing.h"
#include "support/solids.h"

namespace tessera {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

std::string refusal(const RunFigures& figures, std::int64_t available) {
  try {
    checkRunMemory(figures, available);
  } catch (const InputError& error) {
    return error.what();
  }
  return {};
}

TEST(RunBudget, PartsWhoseSlideWouldNeverEndAreFoundHoweverTheyStand) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  std::vector<Project> systems;  // the parts found live in them
  systems.reserve(8);
  const auto endless = [&](const Polyhedron& part, double pbsl) {
    systems.push_back(test::loadedProject(container, {test::cube(2), part}, pbsl, 2));
    return findEndlessSlide(systems.back());
  };
  // A foil: strides of a quarter of 1e-7 through cells of 1.
  const EndlessSlide foil = endless(test::box({0, 0, 0}, {5, 5, 1e-7}, "foil"), 1);
  ASSERT_NE(foil.part, nullptr);
  EXPECT_EQ(foil.part->name, "foil");
  EXPECT_NEAR(foil.leastExtent, 1e-7, 1e-12);
  EXPECT_NEAR(foil.stridesPerCell, 4e7, 1e3);
  EXPECT_NE(endless(test::cube(1e-9, "speck"), 1).part, nullptr);
  // Tilted, the foil's box is large; turned flat again by an orientation it creeps as before.
  Polyhedron tilted = test::box({0, 0, 0}, {5, 5, 1e-7}, "tilted");
  tilted.transform(orientationMatrix({1, 0, 0}, 0.7));
  tilted.computeBoundingBox();
  ASSERT_GT(tilted.boxMax.z - tilted.boxMin.z, 1.0);
  EXPECT_NE(endless(tilted, 1).part, nullptr);

  // A plate 0.09 thick needs 44 strides a cell and packs in a fraction of a second; one 1e-6
  // thick needs 4e6, a second an evaluation.
  EXPECT_EQ(endless(test::box({0, 0, 0}, {3, 3, 0.09}, "plate"), 1).part, nullptr);
  EXPECT_EQ(endless(test::box({0, 0, 0}, {3, 3, 0.09}, "plate"), 0.5).part, nullptr);
  EXPECT_EQ(endless(test::box({0, 0, 0}, {3, 3, 1e-6}, "sheet"), 1).part, nullptr);
  EXPECT_EQ(endless(test::lShape(), 1).part, nullptr);
}

TEST(RunBudget, AFineGridIsFiguredWithoutBeingMadeAndRefusedWhenMemoryIsShort) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const Project project = test::loadedProject(container, {test::cube(10), test::lShape()}, 0.03, 2);
  const RunFigures figures = runFigures(project, 2);
  EXPECT_EQ(figures.gridX, 1001);
  EXPECT_EQ(figures.gridY, 1034);
  EXPECT_EQ(figures.gridZ, 1668);
  EXPECT_EQ(figures.gridCells, std::int64_t{1001} * 1034 * 1668);
  EXPECT_GT(figures.gridBytes, figures.gridCells);  // the bit rows come on top
  EXPECT_EQ(figures.orientations, 24);
  EXPECT_EQ(figures.geometries, 2);
  // 1.7e9 grid cells and bitmaps of 3.7e7 cells: tens of seconds.
  EXPECT_GT(figures.evaluationSeconds, kLargeRunSeconds);
  EXPECT_TRUE(largeRun(figures));

  const std::string message = refusal(figures, kGiB);
  EXPECT_NE(message.find("1001 x 1034 x 1668"), std::string::npos) << message;
  EXPECT_NE(message.find("1024 MiB"), std::string::npos) << message;
  EXPECT_NE(message.find("PBSL"), std::string::npos) << message;
  EXPECT_EQ(refusal(figures, 8 * kGiB), "");
  EXPECT_EQ(refusal(figures, -1), "");  // unknown: nothing to hold it against

  const std::string line = describeRunFigures(figures, 8 * kGiB);
  EXPECT_NE(line.find("1001 x 1034 x 1668 = 1726436712"), std::string::npos) << line;
  EXPECT_NE(line.find("8192 MiB"), std::string::npos) << line;
}

TEST(RunBudget, EveryCopyOfSeveralChainsIsCounted) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const Project fine = test::loadedProject(container, {test::cube(10), test::lShape()}, 0.03, 2);
  const RunFigures one = runFigures(fine, 2);
  const RunFigures five = runFigures(fine, 2, 5);
  EXPECT_EQ(five.totalGridBytes(), 5 * (one.gridBytes + one.bitmapBytes));
  EXPECT_EQ(five.totalShapeBytes(), 5 * one.shapeBytes);
  // One copy fits in 8 GiB, five do not; the message counts them and offers fewer chains.
  EXPECT_EQ(refusal(one, 8 * kGiB), "");
  const std::string grids = refusal(five, 8 * kGiB);
  EXPECT_NE(grids.find("共 5 份"), std::string::npos) << grids;
  EXPECT_NE(grids.find("请选用更大的 PBSL或更少的链。"), std::string::npos) << grids;
  EXPECT_NE(describeRunFigures(five, -1).find("共 5 份"), std::string::npos);
  EXPECT_EQ(describeRunFigures(one, -1).find("份"), std::string::npos);

  const Project turned = test::loadedProject(container, {test::cube(10)}, 1, 50);
  const std::string shapes = refusal(runFigures(turned, 2, 3), 8 * kGiB);
  EXPECT_NE(shapes.find("共 3 份"), std::string::npos) << shapes;
  EXPECT_NE(shapes.find("请选用更小的 RN或更少的链。"), std::string::npos) << shapes;
}

TEST(RunBudget, AnOrientationTableWhoseShapesWouldNotFitIsRefused) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const Project project = test::loadedProject(container, {test::cube(10)}, 1, 50);
  const RunFigures figures = runFigures(project, 2);
  EXPECT_EQ(figures.orientations, 490200);
  // Measured: 16.8 KB a turned and voxelised cube with its hierarchies (RN 14 against RN 10),
  // about 8.2 GB for the 490200 orientations of RN 50.
  EXPECT_GT(figures.shapeBytes, 6 * kGiB);
  EXPECT_LT(figures.shapeBytes, 12 * kGiB);
  const std::string message = refusal(figures, 2 * kGiB);
  EXPECT_NE(message.find("490200"), std::string::npos) << message;
  EXPECT_NE(message.find("RN"), std::string::npos) << message;
  EXPECT_EQ(refusal(figures, 16 * kGiB), "");
}

/// The cube [0, 10]^3 with each side cut into k x k squares, as a mesh brings its faces.
Polyhedron finelyMeshedCube(int k) {
  Polyhedron cube = test::cube(10, "meshed");
  cube.faces.clear();
  const double step = 10.0 / k;
  for (int axis = 0; axis < 3; ++axis)
    for (const double level : {0.0, 10.0})
      for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
          auto at = [&](double u, double v) {
            const double c[3] = {axis == 0 ? level : u,
                                 axis == 1   ? level
                                 : axis == 0 ? u
                                             : v,
                                 axis == 2 ? level : v};
            return Point{c[0], c[1], c[2]};
          };
          const double u = i * step, v = j * step;
          Face face;
          face.setPoints({at(u, v), at(u + step, v), at(u + step, v + step), at(u, v + step)});
          cube.faces.push_back(face);
        }
  return cube;
}

TEST(RunBudget, AFinelyMeshedPartPaysForTheFacesNearItsSamplesNotForAll) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const double coarse =
      runFigures(test::loadedProject(container, {test::cube(10)}, 0.25, 2), 1).evaluationSeconds;
  const Polyhedron meshed = finelyMeshedCube(20);
  ASSERT_EQ(meshed.faces.size(), 2400u);
  const double fine =
      runFigures(test::loadedProject(container, {meshed}, 0.25, 2), 1).evaluationSeconds;
  // 400 times the faces, but rows of samples and the face hierarchy meet only the faces near
  // them: four such parts took 0.13 s of processor time against 0.03 s for plain cubes. An
  // estimate that paid for every face (400 times) or for none would be far off either way.
  EXPECT_GT(fine, 1.5 * coarse);
  EXPECT_LT(fine, 20 * coarse);
}

TEST(RunBudget, TheBundledSizesPassQuietly) {
  const Project project = test::smallProject(4);
  const RunFigures figures = runFigures(project, 2);
  EXPECT_LT(figures.evaluationSeconds, 1.0);
  EXPECT_FALSE(largeRun(figures));
  EXPECT_LT(figures.gridBytes + figures.bitmapBytes + figures.shapeBytes, 64 << 20);
  EXPECT_EQ(refusal(figures, kGiB), "");
}

}  // namespace
}  // namespace tessera
