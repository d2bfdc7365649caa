#include "picture/painter_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/scene_boxes.h"

namespace tessera {
namespace {

using Order = std::vector<std::size_t>;
using test::boxSolid;

const ViewMapping kFront{ViewKind::front, 1.0, 0.0, 0.0, {}};
const ViewMapping kIsometric{ViewKind::isometric, 1.0, 0.0, 0.0, {}};

TEST(PainterOrder, ASolidBehindAnotherOnTheScreenIsPaintedFirst) {
  // Seen from the front, the far box (y 20..30) shows partly behind the near one (y 0..10).
  const LayoutSolid far = boxSolid({0, 20, 0}, {10, 30, 10});
  const LayoutSolid near = boxSolid({5, 0, 5}, {15, 10, 15});
  EXPECT_EQ(paintingOrder({far, near}, kFront), (Order{0, 1}));
  EXPECT_EQ(paintingOrder({near, far}, kFront), (Order{1, 0}));
}

TEST(PainterOrder, APartStandingOnALargePlateIsPaintedAfterThePlate) {
  // Seen isometrically, the plate's nearest corner (0, 0, 2) is nearer than any point of the part
  // on its far corner: by nearest points the part would go first and vanish under the plate's
  // top. The two are apart in height, and the part is on the viewer's side.
  const LayoutSolid plate = boxSolid({0, 0, 0}, {30, 31, 2});
  const LayoutSolid part = boxSolid({24, 24, 2}, {28, 28, 6});
  EXPECT_EQ(paintingOrder({plate, part}, kIsometric), (Order{0, 1}));
  EXPECT_EQ(paintingOrder({part, plate}, kIsometric), (Order{1, 0}));
}

TEST(PainterOrder, SolidsApartOnTheScreenGoFarthestNearestPointFirstThenByIndex) {
  // Side by side from the front: the one whose front is at y = 5 before the one at y = 0.
  const LayoutSolid back = boxSolid({0, 5, 0}, {1, 6, 1});
  const LayoutSolid front = boxSolid({10, 0, 0}, {11, 1, 1});
  EXPECT_EQ(paintingOrder({front, back}, kFront), (Order{1, 0}));
  EXPECT_EQ(paintingOrder({back, front}, kFront), (Order{0, 1}));
  const LayoutSolid beside = boxSolid({20, 0, 0}, {21, 1, 1});
  EXPECT_EQ(paintingOrder({beside, front}, kFront), (Order{0, 1}));
  EXPECT_EQ(paintingOrder({}, kFront), Order{});
}

TEST(PainterOrder, ACycleOfSolidsBehindEachOtherIsBrokenOnceAndEverySolidPaintedOnce) {
  // Three bars, each behind the next seen isometrically: a behind b across x = 1, b behind c
  // across y = 1, c behind a across z = 1. Their nearest points tie (x + y - z = -1), so the cycle
  // is entered at the lowest index and followed from there.
  const LayoutSolid a = boxSolid({1, 0, 1}, {2, 2, 2});
  const LayoutSolid b = boxSolid({0, 1, 0}, {1, 2, 2});
  const LayoutSolid c = boxSolid({0, 0, 0}, {2, 1, 1});
  EXPECT_EQ(paintingOrder({a, b, c}, kIsometric), (Order{0, 1, 2}));
  EXPECT_EQ(paintingOrder({c, a, b}, kIsometric), (Order{0, 1, 2}));
  EXPECT_EQ(paintingOrder({a, c, b}, kIsometric), (Order{0, 2, 1}));
}

TEST(PainterOrder, FacesOfASolidGoFarthestCentreFirstThenByIndex) {
  // The unit cube from the front: back (y = 1), then the four faces centred at y = 0.5 in their
  // order (bottom, top, left, right), the front (y = 0) last; an empty ring is left out.
  LayoutSolid cube = boxSolid({0, 0, 0}, {1, 1, 1});
  EXPECT_EQ(faceOrder(cube, kFront), (Order{3, 0, 1, 4, 5, 2}));
  cube.faces.insert(cube.faces.begin(), std::vector<Point>{});
  EXPECT_EQ(faceOrder(cube, kFront), (Order{4, 1, 2, 5, 6, 3}));
}

}  // namespace
}  // namespace tessera
