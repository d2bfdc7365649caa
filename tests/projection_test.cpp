#include "picture/projection.h"

#include <gtest/gtest.h>

#include "support/scene_boxes.h"

namespace tessera {
namespace {

constexpr double kNear = 1e-9;

void expectScreen(const ScreenPoint& actual, double x, double y, double depth) {
  EXPECT_NEAR(actual.x, x, kNear);
  EXPECT_NEAR(actual.y, y, kNear);
  EXPECT_NEAR(actual.depth, depth, kNear);
}

/// An empty container lo..hi whose packing reaches height, measured from its floor.
LayoutScene emptyContainer(Point lo, Point hi, double height) {
  LayoutScene scene;
  scene.containerMin = lo;
  scene.containerMax = hi;
  scene.containerEdges = test::boxEdges(lo, hi);
  scene.containerBottom = lo.z;
  scene.packingHeight = height;
  return scene;
}

TEST(PictureProjection, FrontViewPutsXRightZUpAndYIntoThePicture) {
  const ViewMapping view{ViewKind::front, 2.0, 100.0, 500.0, {}};
  // x 3 -> 100 + 2 * 3; z 5 -> 500 - 2 * 5, rows growing downwards; y is the depth.
  expectScreen(project(view, {3, 4, 5}), 106, 490, 4);
  expectScreen(project(view, {0, 0, 0}), 100, 500, 0);
  expectScreen(project(view, {-1, -7, -2}), 98, 504, -7);
  const Point along = viewDirection(ViewKind::front);
  EXPECT_EQ(along, (Point{0, 1, 0}));
}

TEST(PictureProjection, IsometricViewShowsTheThreeAxesAlikeFromFrontLeftTop) {
  // Screen right is (1, -1, 0) / sqrt 2, up (1, 1, 2) / sqrt 6, into the picture (1, 1, -1) /
  // sqrt 3: at 10 pixels a unit, x goes 10 / sqrt 2 = 7.0710678 right, 10 / sqrt 6 = 4.0824829 up.
  const ViewMapping view{ViewKind::isometric, 10.0, 0.0, 0.0, {}};
  expectScreen(project(view, {1, 0, 0}), 7.0710678118654755, -4.08248290463863, 0.5773502691896258);
  expectScreen(project(view, {0, 1, 0}), -7.0710678118654755, -4.08248290463863,
               0.5773502691896258);
  expectScreen(project(view, {0, 0, 1}), 0, -8.16496580927726, -0.5773502691896258);
  expectScreen(project(view, {1, 1, 1}), 0, -16.32993161855452, 0.5773502691896258);
  const Point along = viewDirection(ViewKind::isometric);
  EXPECT_NEAR(along.x, 0.5773502691896258, kNear);
  EXPECT_NEAR(along.y, 0.5773502691896258, kNear);
  EXPECT_NEAR(along.z, -0.5773502691896258, kNear);
}

TEST(PictureProjection, AContainerFarTallerThanItsPackingIsDrawnShortened) {
  // Packing height 6: heights up to 1.25 * 6 = 7.5 stay; 7.5..50 is drawn 0.25 * 7.5 = 1.875 long.
  const HeightBreak cut = heightBreakOf(emptyContainer({0, 0, 0}, {30, 31, 50}, 6));
  ASSERT_TRUE(cut.active);
  EXPECT_EQ(cut.from, 7.5);
  EXPECT_EQ(cut.to, 50);
  EXPECT_EQ(cut.shown, 1.875);
  EXPECT_EQ(drawnHeight(cut, 5), 5);
  EXPECT_EQ(drawnHeight(cut, 7.5), 7.5);
  EXPECT_EQ(drawnHeight(cut, 28.75), 8.4375);  // halfway through the break
  EXPECT_EQ(drawnHeight(cut, 50), 9.375);
  EXPECT_EQ(drawnHeight(cut, 60), 19.375);  // a parked part above keeps its own height
  EXPECT_EQ(drawnPoint(cut, {1, 2, 50}), (Point{1, 2, 9.375}));

  // Measured from the floor: a floor at 2 moves the break up by 2.
  EXPECT_EQ(heightBreakOf(emptyContainer({0, 0, 2}, {30, 31, 52}, 6)).from, 9.5);

  // Shortened only when the empty part is longer than half of what is kept (3.75 here).
  EXPECT_FALSE(heightBreakOf(emptyContainer({0, 0, 0}, {30, 31, 11.25}, 6)).active);
  EXPECT_TRUE(heightBreakOf(emptyContainer({0, 0, 0}, {30, 31, 11.5}, 6)).active);
  EXPECT_FALSE(heightBreakOf(emptyContainer({0, 0, 0}, {30, 31, 50}, 0)).active);
  EXPECT_EQ(drawnHeight(HeightBreak{}, 50), 50);
}

TEST(PictureProjection, AViewFillsItsAreaAndCentresWhatItShows) {
  // Front view of a 30 x 20 container side in 600 x 200 pixels: the height limits the scale to
  // 200 / 20 = 10; 300 pixels wide, it leaves 150 on either side.
  const LayoutScene box = emptyContainer({0, 0, 0}, {30, 10, 20}, 20);
  const ViewMapping front = fitView(box, ViewKind::front, {0, 0, 600, 200});
  EXPECT_EQ(front.scale, 10);
  expectScreen(project(front, {0, 0, 0}), 150, 200, 0);
  expectScreen(project(front, {30, 10, 20}), 450, 0, 10);

  // The front view frames the height line too, here at 30 above a floor of 0: 200 / 30 pixels.
  const ViewMapping overfull =
      fitView(emptyContainer({0, 0, 0}, {30, 10, 20}, 30), ViewKind::front, {0, 0, 600, 200});
  EXPECT_NEAR(overfull.scale, 200.0 / 30.0, kNear);
  expectScreen(project(overfull, {0, 0, 30}), 200, 0, 0);

  // The unit cube seen isometrically spans sqrt 2 across and 4 / sqrt 6 high; in 100 x 100 at
  // 100 / (4 / sqrt 6) = 25 sqrt 6 pixels a unit, its bottom corner sits at the bottom middle and
  // its top corner at the top middle.
  const LayoutScene cube = emptyContainer({0, 0, 0}, {1, 1, 1}, 1);
  const ViewMapping iso = fitView(cube, ViewKind::isometric, {0, 0, 100, 100});
  EXPECT_NEAR(iso.scale, 61.23724356957945, kNear);
  expectScreen(project(iso, {0, 0, 0}), 50, 100, 0);
  expectScreen(project(iso, {1, 1, 1}), 50, 0, 0.5773502691896258);
  expectScreen(project(iso, {1, 0, 0}), 93.30127018922192, 75, 0.5773502691896258);

  // A parked part beyond the container widens the frame: 40 wide in 400 pixels from x = 100.
  LayoutScene parked = box;
  parked.solids.push_back(test::boxSolid({30, 10, 0}, {40, 20, 10}));
  const ViewMapping wider = fitView(parked, ViewKind::front, {100, 50, 500, 250});
  EXPECT_EQ(wider.scale, 10);
  expectScreen(project(wider, {40, 0, 0}), 500, 250, 0);
  expectScreen(project(wider, {0, 0, 20}), 100, 50, 0);
}

TEST(PictureProjection, AnEmptySceneGetsAUnitScale) {
  const ViewMapping view = fitView(LayoutScene{}, ViewKind::isometric, {10, 20, 110, 220});
  EXPECT_EQ(view.scale, 1);
  expectScreen(project(view, {0, 0, 0}), 60, 120, 0);
}

}  // namespace
}  // namespace tessera
