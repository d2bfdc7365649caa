#include "picture/palette.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

TEST(PicturePalette, TypesTakeThePaletteInOrderAndRepeatIt) {
  EXPECT_EQ(typeColour(0), (Rgb{66, 133, 244}));
  EXPECT_EQ(typeColour(1), (Rgb{52, 168, 83}));
  EXPECT_EQ(typeColour(11), (Rgb{120, 144, 156}));
  EXPECT_EQ(typeColour(12), (Rgb{66, 133, 244}));
  EXPECT_EQ(typeColour(25), (Rgb{52, 168, 83}));
  // A part of no known type counts back from the end.
  EXPECT_EQ(typeColour(-1), (Rgb{120, 144, 156}));
}

TEST(PicturePalette, OutlinesAreHalfDarkAndUnplacedPartsWashedOut) {
  // (66, 133, 244) halfway to black: 33, 66.5, 122, rounded half up.
  EXPECT_EQ(typeOutlineColour(0), (Rgb{33, 67, 122}));
  // 70% of the way to the wash (215, 215, 215): 66 + 0.7 * 149 = 170.3, 133 + 0.7 * 82 = 190.4,
  // 244 - 0.7 * 29 = 223.7.
  EXPECT_EQ(unplacedColour(0), (Rgb{170, 190, 224}));
  EXPECT_EQ(unplacedColour(1), (Rgb{166, 201, 175}));
  EXPECT_EQ(mix({0, 0, 0}, {255, 255, 255}, 0.5), (Rgb{128, 128, 128}));
  EXPECT_EQ(mix({10, 20, 30}, {200, 100, 0}, 0.0), (Rgb{10, 20, 30}));
  EXPECT_EQ(mix({10, 20, 30}, {200, 100, 0}, 1.0), (Rgb{200, 100, 0}));
}

TEST(PicturePalette, FacesAreShadedByTheirAngleToTheLightFromFrontLeftTop) {
  // The light comes from (-0.5, -0.8, 1), of length 1.3747727; a face gets 0.35 plus 0.65 times
  // the cosine of its angle to it. Front face: cosine 0.8 / 1.3747727 = 0.5819144, intensity
  // 0.7282443, so 66 -> 48.06, 133 -> 96.86, 244 -> 177.69.
  const Rgb blue = typeColour(0);
  EXPECT_EQ(shadeFace(blue, {0, -1, 0}), (Rgb{48, 97, 178}));
  // Top: cosine 1 / 1.3747727 = 0.7273930, intensity 0.8228054.
  EXPECT_EQ(shadeFace(blue, {0, 0, 1}), (Rgb{54, 109, 201}));
  EXPECT_EQ(shadeFace(blue, {0, 0, 7}), (Rgb{54, 109, 201}));  // only the direction counts
  // Left: cosine 0.5 / 1.3747727 = 0.3636965, intensity 0.5864027.
  EXPECT_EQ(shadeFace(blue, {-1, 0, 0}), (Rgb{39, 78, 143}));
  // Turned from the light: the ambient 0.35 alone.
  EXPECT_EQ(shadeFace(blue, {0, 0, -1}), (Rgb{23, 47, 85}));
  EXPECT_EQ(shadeFace(blue, {1, 0, 0}), (Rgb{23, 47, 85}));
  // Facing the light: the colour itself.
  EXPECT_EQ(shadeFace(blue, {-0.5, -0.8, 1}), blue);
  EXPECT_EQ(shadeFace({255, 255, 255}, {0, -1, 0}), (Rgb{186, 186, 186}));
}

}  // namespace
}  // namespace tessera
