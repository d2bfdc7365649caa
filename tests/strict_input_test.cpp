// Input that would be misread, trusted or impossible is refused or reported, naming the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "formats/polyhedron_reader.h"
#include "formats/project_loader.h"
#include "mesh/grid_slack.h"
#include "model/input_error.h"
#include "model/layout.h"
#include "model/solid_checks.h"
#include "support/packing.h"
#include "support/project.h"
#include "support/run_folder.h"
#include "support/solids.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

std::string boxText(const std::string& name, double dx, double dy, double dz,
                    const std::string& volume = "") {
  return test::boxFileText(name, dx, dy, dz, volume);
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

// The three files of a small project, as the forms below are written into them.
struct ProjectFiles {
  std::string project = projectText("PBSL=1\nRN=2\n", {"a.txt"});
  std::string part = boxText("a", 2, 2, 2);
  std::string container = boxText("box", 10, 10, 12);
  std::string& text(const std::string& file) {
    return file == "project" ? project : file == "part" ? part : container;
  }
};

// The text with line (1-based) replaced.
std::string withLine(const std::string& text, int line, const std::string& replacement) {
  std::istringstream in(text);
  std::string out, l;
  for (int n = 1; std::getline(in, l); ++n) out += (n == line ? replacement : l) + "\n";
  return out;
}

// What the readers make of the three files.
struct ReadBack {
  ProjectFile project;
  Polyhedron part;
  Polyhedron container;
  std::vector<std::string> warnings;
};

ReadBack readBack(const ProjectFiles& files) {
  ReadBack read;
  std::istringstream project(files.project), part(files.part), container(files.container);
  read.project = parseProjectFile(project, "project.txt", &read.warnings);
  read.part = parsePolyhedron(part, "a.txt", PolyhedronRole::part, &read.warnings);
  read.container =
      parsePolyhedron(container, "container.txt", PolyhedronRole::container, &read.warnings);
  return read;
}

TEST(StrictInput, EveryFormReadsAsWrittenOrIsRefusedWithItsReason) {
  // Forms read to the value they mean: text after the last number is a unit or a comment, and
  // nothing uses the container's volume and reference point.
  struct Accepted {
    const char* file;
    int line;
    const char* text;
    std::function<double(const ReadBack&)> value;
    double expected;
    const char* warning;  // part of the one warning expected, or nullptr for none
  };
  const auto digits = [](const Point& p) { return p.x + 10 * p.y + 100 * p.z; };  // (1,2,3): 321
  const auto volume = [](const ReadBack& r) { return r.part.volume; };
  const auto reference = [&](const ReadBack& r) { return digits(r.part.referencePoint); };
  const auto vertex1 = [&](const ReadBack& r) { return digits(r.part.vertices[1]); };
  const auto secondFace = [](const ReadBack& r) {  // "1,4, 4,5,6,7": the corners at z 2
    double sum = 0;
    for (const Point& p : r.part.faces[1].points) sum += p.z;
    return sum + 100 * static_cast<double>(r.part.faces[1].points.size());
  };
  const auto edgeEnd = [](const ReadBack& r) { return r.part.edges.at(0).end.x; };
  const auto containerVolume = [](const ReadBack& r) { return r.container.volume; };
  const auto containerReference = [&](const ReadBack& r) {
    return digits(r.container.referencePoint);
  };
  const auto pbsl = [](const ReadBack& r) { return r.project.PBSL; };
  const auto rn = [](const ReadBack& r) { return static_cast<double>(r.project.RN); };
  const auto copies = [](const ReadBack& r) {
    return static_cast<double>(r.project.blocks[0].copyCount);
  };
  const Accepted accepted[] = {
      {"part", 5, "8 mm^3", volume, 8, nullptr},
      {"part", 5, "8mm3", volume, 8, nullptr},
      {"part", 5, " 8.0 ", volume, 8, nullptr},
      {"part", 5, "8 9", volume, 8, "第5行: \"8 9\" 在读入的数之后还有数"},
      {"part", 7, "1,2,3,", reference, 321, nullptr},
      {"part", 7, "1,2,3 (origin)", reference, 321, nullptr},
      {"part", 10, "1,2,0,0,", vertex1, 2, nullptr},
      {"part", 10, "1,2,0,0 // corner 2", vertex1, 2, nullptr},
      {"part", 10, "1,2,0,0\f", vertex1, 2, nullptr},
      {"part", 10, " 1; 2; 0;0 \t", vertex1, 2, nullptr},
      {"part", 10, "1,2,0,0,5", vertex1, 2, "第10行: \"1,2,0,0,5\" 在读入的数之后还有数"},
      {"part", 19, "0,0,1;\nEndEdgeList", edgeEnd, 2, nullptr},
      {"part", 19, "0,0,1.0\nEndEdgeList", edgeEnd, 2, nullptr},
      {"part", 22, "1,4, 4,5,6,7,", secondFace, 408, nullptr},
      {"part", 22, "1,4, 4,5,6,7 (top)", secondFace, 408, nullptr},
      {"part", 22, "1,3, 4,5,6,7", secondFace, 306, "第22行: \"1,3, 4,5,6,7\""},
      {"container", 5, "0", containerVolume, 0, nullptr},
      {"container", 5, "-", containerVolume, 0, nullptr},
      {"container", 5, "", containerVolume, 0, nullptr},
      {"container", 5, "600 mm3", containerVolume, 600, nullptr},
      {"container", 5, "n/a", containerVolume, 0, nullptr},
      {"container", 7, "n/a", containerReference, 0, nullptr},
      {"container", 7, "1,2", containerReference, 21, nullptr},
      {"project", 1, "PBSL=1mm", pbsl, 1, nullptr},
      {"project", 1, "PBSL=1 mm", pbsl, 1, nullptr},
      {"project", 1, "PBSL=1.0 (mm)", pbsl, 1, nullptr},
      {"project", 1, "pbsl:0.5", pbsl, 0.5, nullptr},
      {"project", 2, "RN=2 steps", rn, 2, nullptr},
      {"project", 2, "RN=4.9", rn, 4, nullptr},
      {"project", 8, "3 copies", copies, 3, nullptr},
      {"project", 8, "3pcs", copies, 3, nullptr},
      {"project", 8, "3.0", copies, 3, nullptr},
      {"project", 8, "-5", copies, -5,
       "第8行: 份数 -5 小于 0, 按 0 计: 零件类型照列, 但不生成零件"},
  };
  for (const Accepted& form : accepted) {
    SCOPED_TRACE(std::string(form.file) + " line " + std::to_string(form.line) + ": " + form.text);
    ProjectFiles files;
    files.text(form.file) = withLine(files.text(form.file), form.line, form.text);
    try {
      const ReadBack read = readBack(files);
      EXPECT_EQ(form.value(read), form.expected);
      if (form.warning == nullptr) {
        EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
      } else {
        ASSERT_EQ(read.warnings.size(), 1u);
        EXPECT_NE(read.warnings[0].find(form.warning), std::string::npos) << read.warnings[0];
      }
    } catch (const InputError& error) {
      ADD_FAILURE() << error.what();
    }
  }

  // Forms whose reading would be plainly wrong: the program names the line and ends with 1.
  struct Refused {
    const char* file;
    int line;
    const char* text;
    const char* message;  // after 文件"<file>"第<line>行:
  };
  const Refused refused[] = {
      {"part", 5, "1,5", "体积行应为一个数; 逗号不能作小数点或千位分隔符, 读到 \"1,5\""},
      {"part", 5, "8,000", "体积行应为一个数; 逗号不能作小数点或千位分隔符, 读到 \"8,000\""},
      {"part", 5, "-", "体积行应为一个数, 读到 \"-\""},
      {"part", 5, "", "体积行应为一个数, 读到 \"\""},
      {"part", 5, "inf", "体积行应为一个数, 读到 \"inf\""},
      {"part", 5, "0", "体积必须是正数, 读到 \"0\""},
      {"part", 5, "0x8", "体积行应为一个数, 读到 \"0x8\""},
      {"part", 5, "1e999", "体积不是有限数"},
      {"part", 7, "0,0", "参考点行应为三个数 x,y,z, 读到 \"0,0\""},
      {"part", 10, "", "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"\""},
      {"part", 10, "1,l6,0,0", "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1,l6,0,0\""},
      {"part", 10, "1,2,0", "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1,2,0\""},
      {"part", 10, "1.0,2,0,0", "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1.0,2,0,0\""},
      {"part", 10, "1,0x2,0,0", "顶点行应为 序号,x,y,z (一个整数和三个数), 读到 \"1,0x2,0,0\""},
      {"part", 19, "0,0,1.5\nEndEdgeList", "棱行应为 序号,起点,终点 (三个整数), 读到 \"0,0,1.5\""},
      {"part", 22, "1,4.5, 4,5,6,7",
       "面行应为 序号,顶点数, 和各顶点序号 (都是整数), 读到 \"1,4.5, 4,5,6,7\""},
      {"part", 22, "1,4, 4,5,6,", "面只有 3 个顶点序号, 应有 4 个; 行末的 \",\" 之后没有序号"},
      {"project", 1, "PBSL=1,5",
       "PBSL 行应为 \"PBSL=\" 后跟一个数 (单元边长); 逗号不能作小数点或千位分隔符, 读到 "
       "\"PBSL=1,5\""},
      {"project", 1, "PBSL = 1", "PBSL 行应为 \"PBSL=\" 后跟一个数 (单元边长), 读到 \"PBSL = 1\""},
      {"project", 1, "PBSL=0", "PBSL 必须是正的有限数"},
      {"project", 2, "RN=four", "RN 行应为 \"RN=\" 后跟一个数, 读到 \"RN=four\""},
      {"project", 2, "RN=4,9",
       "RN 行应为 \"RN=\" 后跟一个数; 逗号不能作小数点或千位分隔符, 读到 \"RN=4,9\""},
      {"project", 8, "2.5", "份数行应为一个整数, 读到 \"2.5\""},
      {"project", 8, "5e3", "份数行应为一个整数, 读到 \"5e3\""},
      {"project", 8, "2,5", "份数行应为一个整数; 逗号不能作小数点或千位分隔符, 读到 \"2,5\""},
      {"project", 8, "two", "份数行应为一个整数, 读到 \"two\""},
      {"project", 8, "", "份数行应为一个整数, 读到 \"\""},
      {"project", 4, "container.txt", "路径两端缺少双引号: container.txt"},
  };
  for (const Refused& form : refused) {
    SCOPED_TRACE(std::string(form.file) + " line " + std::to_string(form.line) + ": " + form.text);
    test::ScratchFolder folder;
    ProjectFiles files;
    files.text(form.file) = withLine(files.text(form.file), form.line, form.text);
    test::writeBytes(folder.path("project.txt"), files.project);
    test::writeBytes(folder.path("a.txt"), files.part);
    test::writeBytes(folder.path("container.txt"), files.container);
    const test::RunResult run =
        test::runTessera(folder.path(""), "project.txt --iterations 1 --no-picture");
    EXPECT_EQ(run.status, 1);
    const std::string name = std::string(form.file) == "part" ? "a" : form.file;
    EXPECT_NE(run.err.find(name + ".txt\"第" + std::to_string(form.line) + "行: " + form.message),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("迭代开始"), std::string::npos);
  }
}

TEST(StrictInput, AByteOrderMarkIsNotPartOfTheFirstLine) {
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
struct LoadedFiles {
  explicit LoadedFiles(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files) test::writeBytes(folder.path(name), text);
  }
  std::vector<std::string> load() {
    test::WorkingDirectory inside(folder.path(""));
    return loadProject(project, "project.txt");
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
  Project project;
};

const std::pair<std::string, std::string> kContainer{"container.txt", boxText("box", 10, 10, 12)};

std::pair<std::string, std::string> projectOf(const std::vector<std::string>& parts) {
  return {"project.txt", projectText("PBSL=2\nRN=1\n", parts)};
}

TEST(StrictInput, DeclaredVolumesMustBePositiveAndAreComparedWithTheFaces) {
  for (const char* volume : {"0", "-8", "inf"}) {
    const std::string error = polyhedronError(boxWith(5, volume));
    EXPECT_EQ(error.rfind("文件\"p.txt\"第5行: ", 0), 0u) << error;
  }
  EXPECT_EQ(polyhedronError(boxWith(5, "-8")), "文件\"p.txt\"第5行: 体积必须是正数, 读到 \"-8\"");

  LoadedFiles close({kContainer, projectOf({"a.txt"}), {"a.txt", boxText("a", 2, 2, 2, "8.05")}});
  EXPECT_TRUE(close.load().empty());
  LoadedFiles far({kContainer, projectOf({"a.txt"}), {"a.txt", boxText("a", 2, 2, 2, "80")}});
  const std::vector<std::string> warnings = far.load();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0],
            "警告: 文件\"a.txt\"中写明的体积 80 与其面围成的体积 8 相差甚远; "
            "排样效率按写明的体积计算。");
  EXPECT_EQ(far.project.parts.count(), 1);
}

TEST(StrictInput, PolyhedraThatAreNotSolidsAndFlatContainersAreRefused) {
  std::string faceless = boxText("a", 2, 2, 2);
  faceless.erase(faceless.find("0,4, 3,2,1,0"),
                 faceless.find("EndFaceList") - faceless.find("0,4, 3,2,1,0"));
  LoadedFiles noFaces({kContainer, projectOf({"a.txt"}), {"a.txt", faceless}});
  EXPECT_EQ(noFaces.error(), "文件\"a.txt\": 多面体没有面, 不是实体");
  EXPECT_TRUE(noFaces.project.parts.empty());

  std::string flat = boxText("a", 2, 2, 2);  // every face lies in z = 0
  for (std::size_t at = flat.find(",2\n"); at != std::string::npos; at = flat.find(",2\n", at))
    flat.replace(at, 2, ",0");
  LoadedFiles degenerate({kContainer, projectOf({"a.txt"}), {"a.txt", flat}});
  EXPECT_EQ(degenerate.error(), "文件\"a.txt\": 多面体的面围不出体积 (面都退化了), 不是实体");

  LoadedFiles thin({{"container.txt", boxText("box", 10, 0, 12, "1")},
                    projectOf({"a.txt"}),
                    {"a.txt", boxText("a", 2, 2, 2)}});
  EXPECT_EQ(thin.error(), "文件\"container.txt\": 容器在 y 方向的尺寸为 0: 容器必须有长、宽、高");
}

TEST(StrictInput, TwoShapesUnderOneNameAreRefusedNamingBothFiles) {
  LoadedFiles clash({kContainer,
                     projectOf({"a.txt", "b.txt"}),
                     {"a.txt", boxText("part", 2, 2, 2)},
                     {"b.txt", boxText("part", 2, 2, 3)}});
  EXPECT_EQ(clash.error(),
            "文件\"b.txt\": 与文件\"a.txt\"的名称行相同 (\"part\"), 形状却不同; "
            "不同的零件须有不同的名称");
  // The same solid with its vertices listed the other way round (faces renumbered to match)
  // is one type too: its copies are placed alike.
  std::string reordered = boxText("part", 2, 2, 2);
  const std::size_t vertices = reordered.find("Vertex list\n") + 12;
  const std::size_t end = reordered.find("EndVertexList");
  std::istringstream lines(reordered.substr(vertices, end - vertices));
  std::vector<std::string> vertexLines;
  for (std::string line; std::getline(lines, line);) vertexLines.insert(vertexLines.begin(), line);
  std::string reversed;
  for (const std::string& line : vertexLines) reversed += line + "\n";
  reordered.replace(vertices, end - vertices, reversed);
  for (const char* face : {"0,4, 3,2,1,0", "1,4, 4,5,6,7", "2,4, 0,1,5,4", "3,4, 1,2,6,5",
                           "4,4, 2,3,7,6", "5,4, 3,0,4,7"}) {
    std::string renumbered = std::string(face).substr(0, 5);
    for (std::size_t at = 5; at < std::string(face).size(); at += 2)
      renumbered += std::string(at > 5 ? "," : "") + std::to_string(7 - (face[at] - '0'));
    reordered.replace(reordered.find(face), renumbered.size(), renumbered);
  }
  LoadedFiles permuted({kContainer,
                        projectOf({"a.txt", "b.txt"}),
                        {"a.txt", boxText("part", 2, 2, 2)},
                        {"b.txt", reordered}});
  EXPECT_EQ(permuted.error(), "(no error)") << reordered;
  EXPECT_EQ(permuted.project.partTypes.size(), 2u);
  EXPECT_EQ(permuted.project.parts.count(), 2);

  // The same shape twice (one file listed twice, or a copy of it) is one type, as always.
  LoadedFiles same({kContainer,
                    projectOf({"a.txt", "b.txt", "a.txt"}),
                    {"a.txt", boxText("part", 2, 2, 2)},
                    {"b.txt", boxText("part", 2, 2, 2)}});
  same.load();
  EXPECT_EQ(same.project.parts.count(), 3);
}

TEST(StrictInput, PartsThatFitNowhereAndPartsLeftWithoutPlace) {
  Project project;
  project.container = test::box({0, 0, 0}, {10, 10, 12});
  project.RN = 1;
  buildOrientations(project);
  EXPECT_TRUE(fitsInSomeOrientation(test::box({0, 0, 0}, {10, 4, 4}), project.container,
                                    project.orientationTable));
  EXPECT_FALSE(fitsInSomeOrientation(test::box({5, 5, 5}, {17, 9, 9}), project.container,
                                     project.orientationTable));  // turns about z only
  project.RN = 2;
  buildOrientations(project);
  EXPECT_TRUE(fitsInSomeOrientation(test::box({5, 5, 5}, {17, 9, 9}), project.container,
                                    project.orientationTable));  // stands up: 4 x 4 x 12
  EXPECT_FALSE(fitsInSomeOrientation(test::box({0, 0, 0}, {13, 4, 4}), project.container,
                                     project.orientationTable));

  // Placement left parts 0 and 1 where loading parked them.
  const Project three = test::loadedProject(
      project.container,
      {test::box({0, 0, 0}, {2, 2, 1}, "a"), test::box({0, 0, 0}, {2, 2, 2}, "b"),
       test::box({0, 0, 0}, {2, 2, 2}, "a")},
      2, 1);
  const Layout layout = makeLayout(three, {parkedPlacement(three, 0), parkedPlacement(three, 1),
                                           posedPlacement(three, 2, -1, {0, 0, 0})});
  EXPECT_EQ(unplacedParts(layout), (std::vector<int>{0, 1}));
  EXPECT_EQ(layout.measure.placedCount, 1);
  EXPECT_EQ(layout.measure.copiesPerType, (std::vector<int>{2, 1}));
  EXPECT_EQ(layout.measure.placedPerType, (std::vector<int>{1, 0}));
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
  EXPECT_NE(run.out.find("注意: 2 个零件没有找到位置 (slab 2 个), 停在容器之外"), std::string::npos)
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
  EXPECT_EQ(
      gridSlackWarnings({{"cube", {99, 99, 99}, 2}, {"rod", {10, 178, 10}, 1}}, buildVolume, 1),
      "");
}

TEST(StrictInput, ANegativeCopyCountListsTheTypeAndMakesNoPart) {
  LoadedFiles loaded({kContainer,
                      {"project.txt",
                       "PBSL=2\nRN=1\nContainer\n\"container.txt\"\nPart\n\"a.txt\"\n"
                       "Copies\n-2\n----\nPart\n\"b.txt\"\nCopies\n2\n----\n#EndFile\n"},
                      {"a.txt", boxText("a", 2, 2, 2)},
                      {"b.txt", boxText("b", 2, 2, 3)}});
  const std::vector<std::string> warnings = loaded.load();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0],
            "警告: 文件\"project.txt\"第8行: 份数 -2 小于 0, 按 0 计: "
            "零件类型照列, 但不生成零件");
  ASSERT_EQ(loaded.project.partTypes.size(), 2u);
  EXPECT_EQ(loaded.project.partTypes[1].typeIndex, 1);
  EXPECT_EQ(loaded.project.parts.count(), 2);
  for (const Part& part : loaded.project.parts) EXPECT_EQ(part.name, "b");
}

}  // namespace
}  // namespace tessera
