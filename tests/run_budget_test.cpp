// What a run asks of the machine, figured and refused before anything large is allocated.
#include "placement/run_budget.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(RunBudget, PartsThinnerThanATenthOfACellAreRefusedByName) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const PackingSystem plate = test::loadedSystem(
      container, {test::cube(2), test::box({0, 0, 0}, {5, 5, 1e-7}, "plate")}, 1, 2);
  try {
    checkPartExtents(plate);
    FAIL() << "a 1e-7 thin plate was accepted";
  } catch (const InputError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("\"plate\""), std::string::npos) << message;
    EXPECT_NE(message.find("z 方向"), std::string::npos) << message;
  }
  EXPECT_THROW(checkPartExtents(test::loadedSystem(container, {test::cube(1e-9)}, 1, 2)),
               InputError);
  // A tenth of a cell exactly is enough.
  EXPECT_NO_THROW(checkPartExtents(
      test::loadedSystem(container, {test::box({0, 0, 0}, {5, 0.1, 5}), test::cube(1)}, 1, 2)));
}

TEST(RunBudget, AFineGridIsFiguredWithoutBeingMadeAndRefusedWhenMemoryIsShort) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const PackingSystem system =
      test::loadedSystem(container, {test::cube(10), test::lShape()}, 0.03, 2);
  const RunFigures figures = runFigures(system, 2);
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
  const PackingSystem fine =
      test::loadedSystem(container, {test::cube(10), test::lShape()}, 0.03, 2);
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

  const PackingSystem turned = test::loadedSystem(container, {test::cube(10)}, 1, 50);
  const std::string shapes = refusal(runFigures(turned, 2, 3), 8 * kGiB);
  EXPECT_NE(shapes.find("共 3 份"), std::string::npos) << shapes;
  EXPECT_NE(shapes.find("请选用更小的 RN或更少的链。"), std::string::npos) << shapes;
}

TEST(RunBudget, AnOrientationTableWhoseShapesWouldNotFitIsRefused) {
  const Polyhedron container = test::box({0, 0, 0}, {30, 31, 50});
  const PackingSystem system = test::loadedSystem(container, {test::cube(10)}, 1, 50);
  const RunFigures figures = runFigures(system, 2);
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

TEST(RunBudget, TheBundledSizesPassQuietly) {
  const PackingSystem system = test::smallProject(4);
  const RunFigures figures = runFigures(system, 2);
  EXPECT_LT(figures.evaluationSeconds, 1.0);
  EXPECT_FALSE(largeRun(figures));
  EXPECT_LT(figures.gridBytes + figures.bitmapBytes + figures.shapeBytes, 64 << 20);
  EXPECT_EQ(refusal(figures, kGiB), "");
}

}  // namespace
}  // namespace tessera
