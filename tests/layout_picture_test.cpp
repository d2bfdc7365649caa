#include "picture/layout_picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "picture/palette.h"
#include "picture/picture_file.h"
#include "picture/picture_text.h"
#include "support/file_size_limit.h"
#include "support/scene_boxes.h"

namespace tessera {
namespace {

using test::boxEdges;
using test::boxFaces;

// Container 30 x 31 x 50 as a wire frame, a placed 10-cube in the origin corner and a 10-cube
// that found no place, parked on the container's far top corner.
LayoutScene knownScene() {
  LayoutScene scene;
  scene.title = "test";
  scene.containerMin = {0, 0, 0};
  scene.containerMax = {30, 31, 50};
  scene.containerEdges = boxEdges(scene.containerMin, scene.containerMax);
  scene.solids.push_back({boxFaces({0, 0, 0}, {10, 10, 10}), 0, true});
  scene.solids.push_back({boxFaces({30, 31, 50}, {40, 41, 60}), 1, false});
  scene.types = {{"cube", 1}, {"parked", 1}};
  scene.packingHeight = 12.5;
  return scene;
}

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

Rgb pixelOf(const RgbImage& image, const ScreenPoint& p) {
  return pixelAt(image, static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)));
}

int countColour(const RgbImage& image, Rgb colour, PixelRect area) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += pixelAt(image, x, y) == colour ? 1 : 0;
  }
  return count;
}

// Faces facing the front viewer and the top, as the palette and the light shade them (the
// figures are worked out in palette_test.cpp).
constexpr Rgb kType0Front{48, 97, 178};
constexpr Rgb kType0Top{54, 109, 201};
constexpr Rgb kType1Front{38, 122, 60};
constexpr Rgb kType1UnplacedFront{121, 146, 127};

TEST(LayoutPicture, FrontViewShowsTheCubeInItsTypeColourAndBackgroundElsewhere) {
  const LayoutScene scene = knownScene();
  const RgbImage image = renderLayout(scene);
  ASSERT_EQ(image.width, kPictureWidth);
  ASSERT_EQ(image.height, kPictureHeight);
  const ViewMapping front = frontViewMapping(scene);

  EXPECT_EQ(pixelOf(image, project(front, {5, 0, 5})), kType0Front);
  EXPECT_EQ(pixelOf(image, project(front, {2, 0, 8})), kType0Front);
  EXPECT_EQ(pixelOf(image, project(front, {5, 0, 30})), kPictureBackground);
  EXPECT_EQ(pixelOf(image, project(front, {20, 0, 5})), kPictureBackground);
  EXPECT_EQ(pixelOf(image, project(front, {20, 0, 40})), kPictureBackground);
}

TEST(LayoutPicture, ViewsFrameContainerAndParkedPartsInTheirOwnHalves) {
  const LayoutScene scene = knownScene();
  const ViewMapping front = frontViewMapping(scene);
  const ViewMapping iso = isometricViewMapping(scene);
  for (const Point& p :
       {Point{0, 0, 0}, Point{30, 31, 50}, Point{40, 41, 60}, Point{0, 31, 50}, Point{40, 0, 0}}) {
    const ScreenPoint f = project(front, p);
    EXPECT_GE(f.x, kPictureWidth / 2);
    EXPECT_LT(f.x, kPictureWidth);
    const ScreenPoint i = project(iso, p);
    EXPECT_GE(i.x, 0);
    EXPECT_LT(i.x, kPictureWidth / 2);
    for (const ScreenPoint& s : {f, i}) {
      EXPECT_GT(s.y, 30);
      EXPECT_LT(s.y, 600);
    }
  }
  // x to the right, z up, nearer y smaller depth.
  EXPECT_LT(project(front, {0, 0, 0}).x, project(front, {30, 0, 0}).x);
  EXPECT_GT(project(front, {0, 0, 0}).y, project(front, {0, 0, 50}).y);
  EXPECT_LT(project(front, {0, 0, 0}).depth, project(front, {0, 31, 0}).depth);
  EXPECT_LT(project(iso, {0, 0, 50}).depth, project(iso, {30, 31, 0}).depth);
}

TEST(LayoutPicture, HeightLineSitsAtBottomPlusHeightWithItsLabel) {
  LayoutScene scene = knownScene();
  scene.containerBottom = 2.0;
  scene.containerMin.z = 2.0;
  const RgbImage image = renderLayout(scene);
  const ViewMapping front = frontViewMapping(scene);
  const ScreenPoint onLine = project(front, {20, 0, 14.5});
  const int column = static_cast<int>(std::floor(onLine.x));
  const int row = static_cast<int>(std::floor(onLine.y));
  EXPECT_EQ(pixelAt(image, column, row), kHeightLineColour);
  EXPECT_EQ(pixelAt(image, column, row - 3), kPictureBackground);
  EXPECT_EQ(pixelAt(image, column, row + 3), kPictureBackground);

  // "H = 12.5" stands right of the container, centred on the line, in the line's colour (its
  // anti-aliased edges in shades of it).
  const int right = static_cast<int>(project(front, {30, 0, 14.5}).x) + 10;
  const int labelRight = right + static_cast<int>(textWidth("H = 12.5", 15.0)) + 8;
  int labelPixels = 0;
  for (int y = row - 10; y < row + 10; ++y) {
    for (int x = right; x < labelRight; ++x) {
      const Rgb c = pixelAt(image, x, y);
      labelPixels += y != row && c.r > c.g + 60 && c.b > c.g + 60 ? 1 : 0;
    }
  }
  EXPECT_GT(labelPixels, 40);
}

TEST(LayoutPicture, UnplacedPartsAreWashedOutAndOutlinedInRed) {
  const LayoutScene scene = knownScene();
  const RgbImage image = renderLayout(scene);
  const ViewMapping front = frontViewMapping(scene);
  EXPECT_EQ(pixelOf(image, project(front, {35, 31, 55})), kType1UnplacedFront);
  EXPECT_EQ(pixelOf(image, project(front, {30, 31, 55})), kUnplacedOutlineColour);
  const PixelRect isoHalf{0, 0, kPictureWidth / 2, kPictureHeight};
  EXPECT_GT(countColour(image, kUnplacedOutlineColour, isoHalf), 40);

  // Red is kept for parts without a place: once placed, none is left anywhere.
  LayoutScene allPlaced = scene;
  allPlaced.solids[1].placed = true;
  const RgbImage placedImage = renderLayout(allPlaced);
  EXPECT_EQ(countColour(placedImage, kUnplacedOutlineColour, {0, 0, kPictureWidth, kPictureHeight}),
            0);
  EXPECT_EQ(pixelOf(placedImage, project(front, {35, 31, 55})), kType1Front);
}

TEST(LayoutPicture, NearerFacesHideFartherOnesWhateverTheSolidOrder) {
  LayoutScene scene = knownScene();
  scene.solids.push_back({boxFaces({2, 20, 0}, {8, 30, 20}), 1, true});
  LayoutScene reversed = scene;
  std::swap(reversed.solids.front(), reversed.solids.back());
  for (const LayoutScene& s : {scene, reversed}) {
    const RgbImage image = renderLayout(s);
    const ViewMapping front = frontViewMapping(s);
    EXPECT_EQ(pixelOf(image, project(front, {5, 0, 5})), kType0Front);
    EXPECT_EQ(pixelOf(image, project(front, {5, 0, 15})), kType1Front);
    // Off the diagonal, where the container's front vertical edge passes in front of the top.
    const ViewMapping iso = isometricViewMapping(s);
    EXPECT_EQ(pixelOf(image, project(iso, {7, 3, 10})), kType0Top);
  }
}

TEST(LayoutPicture, NonConvexFaceLeavesItsNotchEmpty) {
  // An L-shaped plate facing the front viewer, its ring starting where a fan would fill the notch.
  const std::vector<Point> front = {{10, 0, 4}, {4, 0, 4}, {4, 0, 10},
                                    {0, 0, 10}, {0, 0, 0}, {10, 0, 0}};
  LayoutScene scene = knownScene();
  scene.solids[0].faces = {front};
  const RgbImage image = renderLayout(scene);
  const ViewMapping view = frontViewMapping(scene);
  const Rgb plate = kType0Front;
  EXPECT_EQ(pixelOf(image, project(view, {7, 0, 2})), plate);
  EXPECT_EQ(pixelOf(image, project(view, {2, 0, 7})), plate);
  EXPECT_EQ(pixelOf(image, project(view, {7, 0, 7})), kPictureBackground);
  EXPECT_EQ(pixelOf(image, project(view, {5, 0, 5})), kPictureBackground);
}

TEST(LayoutPicture, PngIsDeterministicAndDecodesToThePicture) {
  const LayoutScene scene = knownScene();
  const std::vector<std::uint8_t> first = renderLayoutPng(scene);
  EXPECT_EQ(first, renderLayoutPng(scene));
  EXPECT_EQ(std::search(first.begin(), first.end(), std::begin("tIME"), std::end("tIME") - 1),
            first.end());

  png_image decoded{};
  decoded.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&decoded, first.data(), first.size()));
  decoded.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(decoded));
  ASSERT_TRUE(png_image_finish_read(&decoded, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(decoded.width, static_cast<png_uint_32>(kPictureWidth));
  EXPECT_EQ(decoded.height, static_cast<png_uint_32>(kPictureHeight));
  EXPECT_TRUE(rgb == renderLayout(scene).rgb);
}

TEST(LayoutPicture, WritesTheFileOrThrowsNamingThePath) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / "tessera_layout_picture_test";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "layout.png").string();
  const LayoutScene scene = knownScene();
  writeLayoutPicture(path, scene);
  writeLayoutPicture(path, scene);  // replaces, does not append
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(bytes, renderLayoutPng(scene));

  // A write that fails part way (a file size limit, as a full disk) keeps the picture there.
  std::filesystem::resize_file(path, 10);
  const std::uintmax_t oldSize = std::filesystem::file_size(path);
  bool thrown = false;
  {
    const test::FileSizeLimit limit(64);
    ASSERT_TRUE(limit.active());
    try {
      writeLayoutPicture(path, scene);
    } catch (const std::runtime_error& e) {
      thrown = std::string(e.what()).rfind("\"" + path + "\" 无法写入 (", 0) == 0;
    }
  }
  EXPECT_TRUE(thrown);
  EXPECT_EQ(std::filesystem::file_size(path), oldSize);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  std::filesystem::remove_all(folder);

  const std::string bad = (folder / "missing" / "layout.png").string();
  try {
    writeLayoutPicture(bad, scene);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "\"" + bad + "\" 无法创建");
  }
}

// The legend's first column, where the first type's name stands.
const PixelRect kFirstLegendColumn{0, 600, 236, kPictureHeight};

bool sameArea(const RgbImage& a, const RgbImage& b, PixelRect area) {
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (pixelAt(a, x, y) != pixelAt(b, x, y)) return false;
    }
  }
  return true;
}

TEST(LayoutPicture, AChineseTypeNameShowsAsItsCharactersWhetherGbkOrUtf8) {
  LayoutScene gbk = knownScene();
  gbk.types[0].name = "\xB3\xDD\xC2\xD6";  // 齿轮 in GBK, as a polyhedron file from China holds it
  LayoutScene utf8 = gbk;
  utf8.types[0].name = "\xE9\xBD\xBF\xE8\xBD\xAE";
  LayoutScene questionMarks = gbk;
  questionMarks.types[0].name = "??";

  const RgbImage picture = renderLayout(gbk);
  EXPECT_FALSE(sameArea(picture, renderLayout(questionMarks), kFirstLegendColumn));
  EXPECT_TRUE(picture.rgb == renderLayout(utf8).rgb);
}

TEST(LayoutPicture, LongNamesAreCutInTheirMiddleAndKeepTheCount) {
  LayoutScene scene = knownScene();
  scene.types[0].name = std::string(60, 'w') + "-end";
  LayoutScene otherEnd = scene;
  otherEnd.types[0].name = std::string(60, 'w') + "-END";
  LayoutScene otherCount = scene;
  otherCount.types[0].count = 7;
  const RgbImage picture = renderLayout(scene);
  // The name's end and the count still show within the column; nothing spills into the next one.
  EXPECT_FALSE(sameArea(picture, renderLayout(otherEnd), kFirstLegendColumn));
  EXPECT_FALSE(sameArea(picture, renderLayout(otherCount), kFirstLegendColumn));
  EXPECT_TRUE(
      sameArea(picture, renderLayout(knownScene()), {240, 600, kPictureWidth, kPictureHeight}));
}

// Screen height of the placed cube in each view.
std::array<double, 2> cubeHeights(const LayoutScene& scene, double top) {
  const ViewMapping front = frontViewMapping(scene);
  const ViewMapping iso = isometricViewMapping(scene);
  return {project(front, {0, 0, 0}).y - project(front, {0, 0, top}).y,
          project(iso, {0, 0, 0}).y - project(iso, {0, 0, top}).y};
}

TEST(LayoutPicture, AContainerFarTallerThanItsPackingIsShortenedWithABreakMark) {
  LayoutScene tall = knownScene();
  tall.solids.pop_back();
  tall.types.pop_back();
  tall.solids[0].faces = boxFaces({0, 0, 0}, {10, 10, 6});
  tall.packingHeight = 6;
  LayoutScene low = tall;  // a container just taller than what is shown of the tall one
  low.containerMax.z = 10;
  low.containerEdges = boxEdges(low.containerMin, low.containerMax);
  EXPECT_FALSE(heightBreakOf(low).active);
  ASSERT_TRUE(heightBreakOf(tall).active);

  const auto tallHeights = cubeHeights(tall, 6);
  const auto lowHeights = cubeHeights(low, 6);
  for (int view = 0; view < 2; ++view) {
    EXPECT_GT(tallHeights[view], 0.9 * lowHeights[view]) << view;
  }

  const RgbImage image = renderLayout(tall);
  const ViewMapping front = frontViewMapping(tall);
  EXPECT_EQ(pixelOf(image, project(front, {5, 0, 3})), kType0Front);
  // The container's top is still there; its right edge is broken where it is shortened.
  EXPECT_NE(pixelOf(image, project(front, {20, 0, 50})), kPictureBackground);
  const HeightBreak cut = heightBreakOf(tall);
  const double third = (cut.to - cut.from) / 3.0;
  EXPECT_EQ(pixelOf(image, project(front, {30, 0, cut.from + 1.5 * third})), kPictureBackground);
  EXPECT_NE(pixelOf(image, project(front, {30, 0, cut.from + 0.4 * third})), kPictureBackground);
  EXPECT_NE(pixelOf(image, project(front, {30, 0, cut.to - 0.4 * third})), kPictureBackground);
}

TEST(LayoutPicture, APartStandingOnALargePlateIsPaintedOverItWhateverTheSolidOrder) {
  // Nearest points, farthest points and centroids of faces would all put the plate's top last.
  LayoutScene scene = knownScene();
  scene.solids = {{boxFaces({0, 0, 0}, {30, 31, 2}), 0, true},
                  {boxFaces({24, 24, 2}, {28, 28, 6}), 1, true}};
  LayoutScene reversed = scene;
  std::swap(reversed.solids.front(), reversed.solids.back());
  for (const LayoutScene& s : {scene, reversed}) {
    const RgbImage image = renderLayout(s);
    const ViewMapping iso = isometricViewMapping(s);
    EXPECT_EQ(pixelOf(image, project(iso, {26, 24, 4})), kType1Front);
    EXPECT_EQ(pixelOf(image, project(iso, {12, 6, 2})), kType0Top);
  }
}
}  // namespace
}  // namespace tessera
