#include "formats/project_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "model/input_error.h"
#include "support/solids.h"

namespace tessera {
namespace {

// Project paths are relative to the working directory: tests run inside the project folder.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(saved_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path saved_;
};

const char* const kWorkedExample =
    "PBSL=1\nRN=4\nContainer\n\"D:\\task\\box.txt\"\nParts\n\"D:\\task\\partA.txt\"\nCopies\n3\n"
    "----\nNext part\n\"D:\\task\\partB.txt\"\nCopies\n2\n----\n#EndFile\n";

ProjectFile parseText(const std::string& text) {
  std::istringstream in(text);
  return parseProjectFile(in, "p.txt");
}

// The worked example with one line replaced (1-based).
std::string exampleWith(int line, const std::string& text) {
  std::istringstream in(kWorkedExample);
  std::string out, l;
  for (int n = 1; std::getline(in, l); ++n) out += (n == line ? text : l) + "\n";
  return out;
}

std::string inputErrorOf(const std::string& text) {
  try {
    parseText(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ProjectFile, WorkedExample) {
  const ProjectFile p = parseText(kWorkedExample);
  EXPECT_EQ(p.PBSL, 1.0);
  EXPECT_EQ(p.RN, 4);
  EXPECT_EQ(p.containerPath, "D:\\task\\box.txt");
  ASSERT_EQ(p.blocks.size(), 2u);
  EXPECT_EQ(p.blocks[0].partPath, "D:\\task\\partA.txt");
  EXPECT_EQ(p.blocks[0].copyCount, 3);
  EXPECT_EQ(p.blocks[0].pathLine, 6);
  EXPECT_EQ(p.blocks[0].countLine, 8);
  EXPECT_EQ(p.blocks[1].partPath, "D:\\task\\partB.txt");
  EXPECT_EQ(p.blocks[1].copyCount, 2);
  EXPECT_EQ(p.blocks[1].countLine, 13);
}

TEST(ProjectFile, FieldConversions) {
  EXPECT_EQ(parseText(exampleWith(1, "cell: 2.5e-1 ")).PBSL, 0.25);
  EXPECT_EQ(parseText(exampleWith(1, "PBSL=1 mm")).PBSL, 1.0);
  EXPECT_EQ(parseText(exampleWith(2, "RN=4.9")).RN, 4);
  EXPECT_EQ(parseText(exampleWith(4, "\"\"")).containerPath, "");
  EXPECT_EQ(parseText(exampleWith(8, "  7 ")).blocks[0].copyCount, 7);
  EXPECT_EQ(parseText(exampleWith(8, "0")).blocks[0].copyCount, 0);
  EXPECT_TRUE(parseText(exampleWith(5, "#EndFile")).blocks.empty());
}

TEST(ProjectFile, Refusals) {
  const std::string pbslForm =
      "文件\"p.txt\"第1行: PBSL 行应为 \"PBSL=\" 后跟一个数 (单元边长), 读到 ";
  EXPECT_EQ(inputErrorOf(exampleWith(1, "PBSL=0")), "文件\"p.txt\"第1行: PBSL 必须是正的有限数");
  EXPECT_EQ(inputErrorOf(exampleWith(1, "PBSL=x")), pbslForm + "\"PBSL=x\"");
  EXPECT_EQ(inputErrorOf(exampleWith(1, "PBSL=inf")), pbslForm + "\"PBSL=inf\"");
  EXPECT_EQ(inputErrorOf(exampleWith(1, "PBSL=1e999")),
            "文件\"p.txt\"第1行: PBSL 必须是正的有限数");
  EXPECT_NE(inputErrorOf(exampleWith(2, "RN=-2.5")).find("第2行: RN 必须至少为 1"),
            std::string::npos);
  EXPECT_EQ(inputErrorOf(exampleWith(2, "RN=nan")),
            "文件\"p.txt\"第2行: RN 行应为 \"RN=\" 后跟一个数, 读到 \"RN=nan\"");
  EXPECT_EQ(inputErrorOf(exampleWith(2, "RN=")),
            "文件\"p.txt\"第2行: RN 行应为 \"RN=\" 后跟一个数, 读到 \"RN=\"");
  EXPECT_EQ(inputErrorOf(exampleWith(2, "RN=814")), "文件\"p.txt\"第2行: RN 过大");
  EXPECT_EQ(parseText(exampleWith(2, "RN=813")).RN, 813);
  EXPECT_EQ(inputErrorOf(exampleWith(2, "RN=1e300")), "文件\"p.txt\"第2行: RN 过大");
  EXPECT_EQ(inputErrorOf(exampleWith(13, "999998")), "文件\"p.txt\"第13行: 零件总数超过 1000000");
  EXPECT_EQ(parseText(exampleWith(13, "999997")).blocks[1].copyCount, 999997);
  EXPECT_EQ(inputErrorOf(exampleWith(8, "99999999999999999999999")),
            "文件\"p.txt\"第8行: 零件总数超过 1000000");
  // Without its quotes a path would lose its first and last characters.
  EXPECT_EQ(inputErrorOf(exampleWith(4, "box.txt")),
            "文件\"p.txt\"第4行: 路径两端缺少双引号: box.txt");
  EXPECT_EQ(inputErrorOf(exampleWith(6, "\"lab.txt")),
            "文件\"p.txt\"第6行: 路径两端缺少双引号: \"lab.txt");
  EXPECT_EQ(inputErrorOf(exampleWith(3, std::string(299, '-'))),
            "文件\"p.txt\"第3行: 行过长 (最多 298 个字符)");
}

TEST(ProjectFile, EndsOnlyAtAnExactEndFileLine) {
  EXPECT_EQ(parseText(exampleWith(15, "#EndFile\r")).blocks.size(), 2u);
  EXPECT_EQ(inputErrorOf(exampleWith(15, "#EndFile ")),
            "文件\"p.txt\"第16行: 文件提前结束, 缺少#EndFile");
  std::string cut = kWorkedExample;
  cut.resize(cut.find("#EndFile"));
  EXPECT_EQ(inputErrorOf(cut), "文件\"p.txt\"第15行: 文件提前结束, 缺少#EndFile");
  EXPECT_EQ(inputErrorOf("PBSL=1\nRN=4\n"), "文件\"p.txt\"第3行: 文件提前结束, 缺少容器文件行");
}

const std::string kSmall = test::dataPath("projects/small");

TEST(ProjectLoader, StartingState) {
  InFolder here(kSmall);
  Project project;
  loadProject(project, "project.txt");

  EXPECT_EQ(project.PBSL, 1.5);
  EXPECT_EQ(project.RN, 4);
  EXPECT_EQ(project.container.name, "Box_30x31x50");
  EXPECT_EQ(project.container.boxMax, (Point{30, 31, 50}));
  ASSERT_EQ(project.partTypes.size(), 3u);
  const char* names[] = {"Cube_A", "Brick_B", "Cube_C"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(project.partTypes[i].name, names[i]);
    EXPECT_EQ(project.partTypes[i].typeIndex, i);
  }

  ASSERT_EQ(project.sequenceLength, 5);
  ASSERT_EQ(project.parts.count(), 5);
  for (int i = 0; i < 5; ++i) {
    const Part& p = project.parts[i];
    EXPECT_EQ(p.name, i < 3 ? "Cube_A" : "Brick_B");
    EXPECT_EQ(p.id, i);
    EXPECT_EQ(p.cellSide, 1.5);
    EXPECT_EQ(p.boxMin, project.container.boxMax);
    if (i > 0) {
      EXPECT_GE(project.parts[i - 1].volume, p.volume);
    }
  }
  // Brick_B spans (5,5,5)-(6,7,8) with its reference point at (5.5,6,5) in its file.
  const Part& brick = project.parts[3];
  EXPECT_EQ(brick.boxMax, (Point{31, 33, 53}));
  EXPECT_EQ(brick.referencePoint, (Point{30.5, 32, 50}));
  EXPECT_EQ(brick.edges[9].direction, (Point{0, 0, 3}));
  EXPECT_EQ(brick.faces[0].d, 50.0);

  ASSERT_EQ(project.parts.count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(project.parts[i].id, project.parts[i].id);
    EXPECT_EQ(project.parts[i].vertices, project.parts[i].vertices);
    EXPECT_EQ(project.parts[i].referencePoint, project.parts[i].referencePoint);
  }
}

TEST(ProjectLoader, EqualVolumesKeepReversedBlockOrder) {
  InFolder here(kSmall);
  Project project;
  loadProject(project, "tie.txt");  // CR LF lines; Cube_A x2, Brick_B x0, Cube_C x2
  ASSERT_EQ(project.partTypes.size(), 3u);
  EXPECT_EQ(project.partTypes[1].name, "Brick_B");
  ASSERT_EQ(project.sequenceLength, 4);
  EXPECT_EQ(project.parts[0].name, "Cube_C");
  EXPECT_EQ(project.parts[1].name, "Cube_C");
  EXPECT_EQ(project.parts[2].name, "Cube_A");
  EXPECT_EQ(project.parts[3].name, "Cube_A");
  EXPECT_EQ(project.parts[0].boxMin, project.parts[3].boxMin);
}

TEST(ProjectLoader, EndFileOnLineFiveGivesNoParts) {
  InFolder here(kSmall);
  Project project;
  loadProject(project, "no_parts.txt");
  EXPECT_EQ(project.container.boxMax, (Point{30, 31, 50}));
  EXPECT_TRUE(project.partTypes.empty());
  EXPECT_EQ(project.sequenceLength, 0);
  EXPECT_TRUE(project.parts.empty());
  EXPECT_TRUE(project.parts.empty());
}

TEST(ProjectLoader, UnreadableFilesLeaveTheSystemUnchanged) {
  InFolder here(kSmall);
  Project project;
  project.RN = 7;
  try {
    loadProject(project, "missing_part.txt");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "文件\"nowhere.txt\"读取失败!");
  }
  EXPECT_EQ(project.RN, 7);
  EXPECT_EQ(project.container.vertexCount(), 0);
  try {
    loadProject(project, "");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "文件\"\"读取失败!");
    EXPECT_EQ(e.channel(), InputError::Channel::WarningBox);
  }
}

}  // namespace
}  // namespace tessera
