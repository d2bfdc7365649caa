#include "formats/dxf_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/input_error.h"
#include "support/outputs.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/solids.h"

namespace tessera {
namespace {

using test::linesOf;

std::string drawing(const Project& project) {
  std::ostringstream out;
  writeLayoutDxf(out, project, test::layoutAtSources(project));
  return out.str();
}

/// One container edge from (0,0,0) to (30,0,0) and one part of type 0 with one triangle.
Project documentedExample() {
  Polyhedron container;
  container.edges = {Edge::between({0, 0, 0}, {30, 0, 0})};
  Part part;
  part.name = "triangle";
  Face face;
  face.setPoints({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  part.faces = {face};
  return test::loadedProject(container, {part}, 1, 1);
}

struct Entity {
  std::string kind;
  std::string layer;
  std::vector<Point> corners;
};

/// Entities of a drawing, checking the group stream on the way: every name follows "  0".
std::vector<Entity> entitiesOf(const std::string& text) {
  const std::vector<std::string> lines = linesOf(text);
  std::vector<Entity> entities;
  EXPECT_GE(lines.size(), 8u);
  std::size_t i = 5;
  while (i < lines.size() && (lines[i] == "LINE" || lines[i] == "3DFACE")) {
    Entity e{lines[i], lines[i + 2], {}};
    EXPECT_EQ(lines[i + 1], "  8");
    const std::size_t corners = e.kind == "LINE" ? 2 : 4;
    for (std::size_t c = 0; c < corners; ++c) {
      const std::size_t at = i + 3 + 6 * c;
      EXPECT_EQ(lines[at], " 1" + std::to_string(c));
      EXPECT_EQ(lines[at + 2], " 2" + std::to_string(c));
      EXPECT_EQ(lines[at + 4], " 3" + std::to_string(c));
      e.corners.push_back(
          {std::stod(lines[at + 1]), std::stod(lines[at + 3]), std::stod(lines[at + 5])});
    }
    i += 3 + 6 * corners;
    EXPECT_EQ(lines[i], "  0");
    ++i;
    entities.push_back(e);
  }
  EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(i), lines.end()),
            (std::vector<std::string>{"ENDSEC", "  0", "EOF"}));
  return entities;
}

TEST(DxfWriter, DocumentedExampleLineForLine) {
  EXPECT_EQ(drawing(documentedExample()),
            test::readBytes(test::dataPath("golden/layout_example.dxf")));
}

TEST(DxfWriter, FacesKeepRingOrderAndPartsTheirTypeLayer) {
  Part tetra = test::tetrahedron("tetra");
  Part cubeA = test::cube(1.0, "cube");
  Part cubeB = cubeA;
  cubeB.translate({5, 0, 0});
  Part pentagon = test::prism({{0, 0}, {2, 0}, {3, 1}, {1, 2}, {-1, 1}}, 0, 1, "pentagon");
  const Project project =
      test::loadedProject(test::cube(30.0, "container"), {tetra, cubeA, cubeB, pentagon}, 1, 1);
  ASSERT_EQ(project.partTypes.size(), 3u);

  const std::vector<Entity> entities = entitiesOf(drawing(project));
  const std::size_t lines = project.container.edges.size();
  ASSERT_EQ(entities.size(), lines + 4 + 6 + 6 + 7);
  for (std::size_t e = 0; e < lines; ++e) {
    EXPECT_EQ(entities[e].kind, "LINE");
    EXPECT_EQ(entities[e].layer, "1");
    EXPECT_EQ(entities[e].corners[0], project.container.edges[e].start);
    EXPECT_EQ(entities[e].corners[1], project.container.edges[e].end);
  }
  std::size_t e = lines;
  for (const Part& part : {tetra, cubeA, cubeB, pentagon}) {
    for (const Face& face : part.faces) {
      const Entity& entity = entities[e++];
      EXPECT_EQ(entity.kind, "3DFACE");
      EXPECT_EQ(entity.layer, std::to_string(typeIndexOf(project.partTypes, part.name) + 3));
      for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(entity.corners[c], face.points[c]);
      EXPECT_EQ(entity.corners[3], face.points.size() == 4 ? face.points[3] : face.points[2]);
    }
  }
  EXPECT_EQ(entities[lines].layer, "3");      // tetrahedron first, triangles
  EXPECT_EQ(entities[lines + 4].layer, "4");  // both cubes share layer 4
  EXPECT_EQ(entities[lines + 10].layer, "4");
  EXPECT_EQ(entities[lines + 16].layer, "5");  // pentagon: its caps drawn as triangles
  EXPECT_EQ(entities[lines + 16].corners[3], pentagon.faces[0].points[2]);
}

TEST(DxfWriter, WithoutPartsOnlyTheContainerAndNumbersInStreamFormat) {
  Polyhedron container;
  container.edges = {Edge::between({1.0 / 3.0, 123456.7, 1234567.4}, {12.5, -0.0001, 2e-5})};
  const Project project = test::loadedProject(container, {}, 1, 1);
  const std::vector<std::string> lines = linesOf(drawing(project));
  ASSERT_EQ(lines.size(), 5u + 16u + 3u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 9, lines.begin() + 20),
            (std::vector<std::string>{"0.333333", " 20", "123457", " 30", "1.23457e+06", " 11",
                                      "12.5", " 21", "-0.0001", " 31", "2e-05"}));
}

TEST(DxfWriter, FileIsReplacedWholeOrReportedAsWarning) {
  test::ScratchFolder folder;
  const std::string path = folder.path("Layout_zodedez.dxf");
  test::writeBytes(path, std::string(100000, 'x'));
  writeLayoutDxf(documentedExample(), test::layoutAtSources(documentedExample()), path);
  EXPECT_EQ(test::readBytes(path), test::readBytes(test::dataPath("golden/layout_example.dxf")));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"Layout_zodedez.dxf"}));

  try {
    writeLayoutDxf(documentedExample(), test::layoutAtSources(documentedExample()),
                   folder.path("missing/Layout_zodedez.dxf"));
    FAIL() << "no error for a folder that does not exist";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "多面体几何信息输出失败!");
    EXPECT_EQ(error.channel(), InputError::Channel::WarningBox);
  }
}

}  // namespace
}  // namespace tessera
