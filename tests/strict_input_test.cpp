// Input that would be misread, trusted or impossible is refused or reported, naming the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "formats/polyhedron_reader.h"
#include "formats/project_loader.h"
#include "mesh/grid_slack.h"
#include "model/input_error.h"
#include "model/solid_checks.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

// A box polyhedron file from (0,0,0) to (dx,dy,dz) under name, declaring volume.
std::string boxText(const std::string& name, double dx, double dy, double dz,
                    const std::string& volume) {
  std::ostringstream t;
  t << "Polyhedron data file\nName\n" << name << "\nVolume\n" << volume
    << "\nReference point\n0,0,0\nVertex list\n";
  const double xs[] = {0, dx, dx, 0};
  const double ys[] = {0, 0, dy, dy};
  for (int i = 0; i < 8; ++i)
    t << i << ',' << xs[i % 4] << ',' << ys[i % 4] << ',' << (i < 4 ? 0.0 : dz) << '\n';
  t << "EndVertexList\nEdge list\nEndEdgeList\nFace list\n"
       "0,4, 3,2,1,0\n1,4, 4,5,6,7\n2,4, 0,1,5,4\n3,4, 1,2,6,5\n4,4, 2,3,7,6\n5,4, 3,0,4,7\n"
       "EndFaceList\n";
  return t.str();
}

std::string boxText(const std::string& name, double dx, double dy, double dz) {
  std::ostringstream volume;
  volume << dx * dy * dz;
  return boxText(name, dx, dy, dz, volume.str());
}

std::string projectText(const std::string& head, const std::vector<std::string>& parts) {
  std::string text = head + "Container\n\"container.txt\"\n";
  for (const std::string& part : parts) text += "Part\n\"" + part + "\"\nCopies\n1\n----\n";
  return text + "#EndFile\n";
}

// The message of the InputError that parsing text throws.
template <typename Parse>
std::string errorOf(const std::string& text, Parse parse) {
  std::istringstream in(text);
  try {
    parse(in);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string polyhedronError(const std::string& text) {
  return errorOf(text, [](std::istream& in) { parsePolyhedron(in, "p.txt"); });
}

std::string projectError(const std::string& text) {
  return errorOf(text, [](std::istream& in) { parseProjectFile(in, "project.txt"); });
}

// The box file with one line (1-based) replaced.
std::string boxWith(int line, const std::string& text) {
  std::istringstream in(boxText("b", 2, 2, 2));
  std::string out, l;
  for (int n = 1; std::getline(in, l); ++n) out += (n == line ? text : l) + "\n";
  return out;
}

TEST(StrictInput, NumbersThatAreNotWholeNumbersAreRefusedWithLineAndText) {
  EXPECT_EQ(polyhedronError(boxWith(10, "1,l6,0,0")),
            "文件\"p.txt\"第10行: 顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1,l6,0,0\"");
  EXPECT_EQ(polyhedronError(boxWith(10, "")),
            "文件\"p.txt\"第10行: 顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"\"");
  EXPECT_EQ(polyhedronError(boxWith(10, "1,2,0")),
            "文件\"p.txt\"第10行: 顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1,2,0\"");
  EXPECT_NE(polyhedronError(boxWith(10, "1,0x2,0,0")).find("第10行: 顶点行"), std::string::npos);
  EXPECT_EQ(polyhedronError(boxWith(5, "8 mm3")),
            "文件\"p.txt\"第5行: 体积行应为一个数, 读到 \"8 mm3\"");
  EXPECT_EQ(polyhedronError(boxWith(7, "0,0")),
            "文件\"p.txt\"第7行: 参考点行应为三个数 x,y,z, 读到 \"0,0\"");
  EXPECT_EQ(polyhedronError(boxWith(22, "0,4.5, 3,2,1,0")),
            "文件\"p.txt\"第22行: 面行应为 序号,顶点数, 和各顶点序号 (都是整数), 读到 "
            "\"0,4.5, 3,2,1,0\"");
  EXPECT_NE(polyhedronError(boxWith(22, "0,3, 3,2,1,0")).find("第22行: 面行应为"),
            std::string::npos);
  // Blanks in front of numbers and after the last, and any one-character separator, stay.
  std::istringstream relaxed(boxWith(10, " 1; 2; 0;0 \t"));
  EXPECT_EQ(parsePolyhedron(relaxed, "p.txt").vertices[1], (Point{2, 0, 0}));

  const std::string head = "PBSL=1\nRN=4\n";
  EXPECT_EQ(projectError(projectText("PBSL = 1\nRN=4\n", {"a.txt"})),
            "文件\"project.txt\"第1行: PBSL 行应为 \"PBSL=\" 后跟一个数 (单元边长), 读到 \"PBSL = 1\"");
  EXPECT_EQ(projectError(projectText("PBSL=1\nRN = 2\n", {"a.txt"})),
            "文件\"project.txt\"第2行: RN 行应为 \"RN=\" 后跟一个数, 读到 \"RN = 2\"");
  EXPECT_EQ(projectError(projectText("PBSL=1\nRN=two\n", {"a.txt"})),
            "文件\"project.txt\"第2行: RN 行应为 \"RN=\" 后跟一个数, 读到 \"RN=two\"");
  for (const char* count : {"two", "2.5", "5e3", "-5", ""}) {
    std::string text = projectText(head, {"a.txt"});
    text.replace(text.find("\n1\n") + 1, 1, count);
    EXPECT_EQ(projectError(text), std::string("文件\"project.txt\"第8行: 份数行应为一个不小于 0 "
                                              "的整数, 读到 \"") + count + "\"");
  }
  // A byte order mark is not part of the first line.
  std::istringstream marked("\xEF\xBB\xBF" + projectText("PBSL=2.5 \nRN= 4.9\n", {"a.txt"}));
  const ProjectFile project = parseProjectFile(marked, "project.txt");
  EXPECT_EQ(project.PBSL, 2.5);
  EXPECT_EQ(project.RN, 4);
  std::istringstream markedBox("\xEF\xBB\xBF" + boxText("b", 2, 2, 2));
  EXPECT_EQ(parsePolyhedron(markedBox, "p.txt").name, "b");
}

TEST(StrictInput, RnBelowOneIsRefusedSayingWhatRnDoes) {
  for (const char* rn : {"RN=0", "RN=0.9", "RN=-2"}) {
    const std::string error = projectError(projectText("PBSL=1\n" + std::string(rn) + "\n", {}));
    EXPECT_NE(error.find("第2行: RN 必须至少为 1: RN 是零件每半圈转动的步数"), std::string::npos)
        << error;
    EXPECT_NE(error.find(rn), std::string::npos) << error;
  }
}

// Loads a project of the given files (name -> text) from a scratch folder.
struct Project {
  explicit Project(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files) test::writeBytes(folder.path(name), text);
  }
  std::vector<std::string> load() {
    test::WorkingDirectory inside(folder.path(""));
    return loadProject(system, "project.txt");
  }
  std::string error() {
    try {
      load();
    } catch (const InputError& e) {
      return e.what();
    }
    return "(no error)";
  }
  test::ScratchFolder folder;
  PackingSystem system;
};

const std::pair<std::string, std::string> kContainer{"container.txt",
                                                     boxText("box", 10, 10, 12)};

std::pair<std::string, std::string> projectOf(const std::vector<std::string>& parts) {
  return {"project.txt", projectText("PBSL=2\nRN=1\n", parts)};
}

TEST(StrictInput, DeclaredVolumesMustBePositiveAndAreComparedWithTheFaces) {
  for (const char* volume : {"0", "-8", "inf"}) {
    const std::string error = polyhedronError(boxWith(5, volume));
    EXPECT_EQ(error.rfind("文件\"p.txt\"第5行: ", 0), 0u) << error;
  }
  EXPECT_EQ(polyhedronError(boxWith(5, "-8")), "文件\"p.txt\"第5行: 体积必须是正数, 读到 \"-8\"");

  Project close({kContainer, projectOf({"a.txt"}), {"a.txt", boxText("a", 2, 2, 2, "8.05")}});
  EXPECT_TRUE(close.load().empty());
  Project far({kContainer, projectOf({"a.txt"}), {"a.txt", boxText("a", 2, 2, 2, "80")}});
  const std::vector<std::string> warnings = far.load();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "警告: 文件\"a.txt\"中写明的体积 80 与其面围成的体积 8 相差甚远; "
                         "排样效率按写明的体积计算。");
  EXPECT_EQ(far.system.parts.count(), 1);
}

TEST(StrictInput, PolyhedraThatAreNotSolidsAndFlatContainersAreRefused) {
  std::string faceless = boxText("a", 2, 2, 2);
  faceless.erase(faceless.find("0,4, 3,2,1,0"), faceless.find("EndFaceList") -
                                                    faceless.find("0,4, 3,2,1,0"));
  Project noFaces({kContainer, projectOf({"a.txt"}), {"a.txt", faceless}});
  EXPECT_EQ(noFaces.error(), "文件\"a.txt\": 多面体没有面, 不是实体");
  EXPECT_TRUE(noFaces.system.parts.empty());

  std::string flat = boxText("a", 2, 2, 2);  // every face lies in z = 0
  for (std::size_t at = flat.find(",2\n"); at != std::string::npos; at = flat.find(",2\n", at))
    flat.replace(at, 2, ",0");
  Project degenerate({kContainer, projectOf({"a.txt"}), {"a.txt", flat}});
  EXPECT_EQ(degenerate.error(), "文件\"a.txt\": 多面体的面围不出体积 (面都退化了), 不是实体");

  Project thin({{"container.txt", boxText("box", 10, 0, 12, "1")}, projectOf({"a.txt"}),
                {"a.txt", boxText("a", 2, 2, 2)}});
  EXPECT_EQ(thin.error(), "文件\"container.txt\": 容器在 y 方向的尺寸为 0: 容器必须有长、宽、高");
}

TEST(StrictInput, TwoShapesUnderOneNameAreRefusedNamingBothFiles) {
  Project clash({kContainer, projectOf({"a.txt", "b.txt"}), {"a.txt", boxText("part", 2, 2, 2)},
                 {"b.txt", boxText("part", 2, 2, 3)}});
  EXPECT_EQ(clash.error(),
            "文件\"b.txt\": 与文件\"a.txt\"的名称行相同 (\"part\"), 形状却不同; "
            "不同的零件须有不同的名称");
  // The same shape twice (one file listed twice, or a copy of it) is one type, as always.
  Project same({kContainer, projectOf({"a.txt", "b.txt", "a.txt"}),
                {"a.txt", boxText("part", 2, 2, 2)}, {"b.txt", boxText("part", 2, 2, 2)}});
  same.load();
  EXPECT_EQ(same.system.parts.count(), 3);
}

TEST(StrictInput, PartsThatFitNowhereAndPartsLeftWithoutPlace) {
  PackingSystem system;
  system.container = test::box({0, 0, 0}, {10, 10, 12});
  system.RN = 1;
  system.buildOrientations();
  EXPECT_TRUE(fitsInSomeOrientation(test::box({0, 0, 0}, {10, 4, 4}), system.container,
                                    system.orientationTable));
  EXPECT_FALSE(fitsInSomeOrientation(test::box({5, 5, 5}, {17, 9, 9}), system.container,
                                     system.orientationTable));  // turns about z only
  system.RN = 2;
  system.buildOrientations();
  EXPECT_TRUE(fitsInSomeOrientation(test::box({5, 5, 5}, {17, 9, 9}), system.container,
                                    system.orientationTable));  // stands up: 4 x 4 x 12
  EXPECT_FALSE(fitsInSomeOrientation(test::box({0, 0, 0}, {13, 4, 4}), system.container,
                                     system.orientationTable));

  // Placement left part 1 where loading parked it.
  Part placed = test::box({0, 0, 0}, {2, 2, 2}, "a");
  placed.placed = true;
  system.parts.pushFront(placed);
  system.parts.pushFront(test::box({10, 10, 12}, {12, 12, 14}, "b"));
  system.parts.pushFront(test::box({10, 10, 12}, {12, 12, 13}, "a"));
  system.partTypes = {{"a", 0}, {"b", 1}};
  const std::vector<const Part*> parked = partsWithoutPlace(system);
  ASSERT_EQ(parked.size(), 2u);
  EXPECT_EQ(parked[0]->name, "a");
  EXPECT_EQ(parked[1]->name, "b");
}

TEST(StrictInput, RunNamesUnplacedPartsAndRefusesPartsLargerThanTheContainer) {
  test::ScratchFolder scratch;
  const fs::path folder = scratch.path("");
  test::copyData("search/tiny", folder);
  // As wide and long as the container: no room for the grid's cell of slack, no place.
  test::writeBytes(scratch.path("slab.txt"), boxText("slab", 10, 10, 7));
  test::writeBytes(scratch.path("plate.txt"), boxText("plate", 20, 20, 1));
  test::writeBytes(scratch.path("project.txt"),
                   projectText("PBSL=2\nRN=1\n", {"small_cube.txt", "slab.txt", "slab.txt"}));
  const test::RunResult run = test::runTessera(folder, "project.txt --iterations 1 --no-picture");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("注意: 2 个零件没有找到位置 (slab 2 个), 停在容器之外"),
            std::string::npos)
      << run.out;

  test::writeBytes(scratch.path("project.txt"),
                   projectText("PBSL=2\nRN=1\n", {"small_cube.txt", "plate.txt"}));
  const test::RunResult refused = test::runTessera(folder, "project.txt --iterations 1");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("project.txt\": 零件\"plate\" (20 x 20 x 1) 在 RN=1 的任何方向上"
                             "都大于容器 (10 x 10 x 12), 永远放不进去"),
            std::string::npos)
      << refused.err;
}

TEST(StrictInput, ResumeAfterAChangedCellSizeUsesTheEfficiencyTheLayoutNowHas) {
  test::ScratchFolder scratch;
  const fs::path folder = scratch.path("");
  test::copyData("search/tiny", folder);
  ASSERT_EQ(test::runTessera(folder, "project.txt --iterations 2 --no-picture").status, 0);
  const test::RunResult same = test::runTessera(folder, "project.txt --iterations 1 --no-picture");
  EXPECT_EQ(same.out.find("不符"), std::string::npos) << same.out;

  std::string project = test::readBytes(scratch.path("project.txt"));
  project.replace(0, project.find('\n'), "PBSL=3");
  test::writeBytes(scratch.path("project.txt"), project);
  const std::string before = test::readBytes(scratch.path("ID_Type_SequenceForPack.txt"));
  const test::RunResult changed =
      test::runTessera(folder, "project.txt --iterations 1 --no-picture");
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_NE(changed.out.find("记录的最优排样效率"), std::string::npos) << changed.out;
  EXPECT_NE(changed.out.find("原文件已保存为 \"ID_Type_SequenceForPack.txt.bak\""),
            std::string::npos);
  EXPECT_EQ(test::readBytes(scratch.path("ID_Type_SequenceForPack.txt.bak")), before);
}

TEST(StrictInput, ImportWarnsWherePartsLeaveLessThanACellOfSlack) {
  const Point buildVolume{200, 200, 180};
  EXPECT_EQ(gridSlackWarnings({{"cube", {100, 100, 100}, 4}}, buildVolume, 2),
            "warning: 'cube' and 'cube' side by side measure 200, within one cell (PBSL 2) of "
            "the container's length (x) 200: placement needs about one cell of slack there and "
            "may never place them so; leave a cell or two of room\n");
  const std::string single = gridSlackWarnings({{"rod", {10, 179.5, 10}, 1}}, buildVolume, 1);
  EXPECT_NE(single.find("'rod' measures 179.5, within one cell (PBSL 1) of the container's "
                        "height (z) 180"),
            std::string::npos)
      << single;
  EXPECT_EQ(gridSlackWarnings({{"cube", {99, 99, 99}, 2}, {"rod", {10, 178, 10}, 1}},
                              buildVolume, 1),
            "");
}

}  // namespace
}  // namespace tessera
