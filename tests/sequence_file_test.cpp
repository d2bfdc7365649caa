#include "formats/sequence_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "formats/atomic_file.h"
#include "model/input_error.h"
#include "support/file_size_limit.h"
#include "support/project.h"
#include "support/solids.h"

namespace tessera {
namespace {

PackingSequence sequenceOf(std::vector<std::int32_t> items, double efficiency) {
  return {std::move(items), efficiency};
}

std::string example() { return test::readBytes(test::dataPath("golden/sequence_example.txt")); }

/// The example's project: ids 0..2 of type 0, ids 3..4 of type 1.
Project exampleProject() { return test::projectWithTypes({3, 2}); }

SequenceFileContents read(const Project& project, const std::string& text) {
  std::istringstream in(text);
  return readSequenceFile(project, in);
}

std::string written(const Project& project, const SequenceFileContents& contents) {
  std::ostringstream out;
  writeSequenceFile(out, project, contents.archive, contents.idSequence);
  return out.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(SequenceFile, EmptyArchiveGivesFourLinesAndNoPartsNoItemLines) {
  const PackingSequence best = sequenceOf({3, 0, 1, 4, 2}, 0.634521);
  std::ostringstream out;
  writeSequenceFile(out, exampleProject(), TypeSequenceArchive{}, best);
  EXPECT_EQ(out.str(),
            "Optimal IDSequenceForPack\nPacking Efficiency=0.634521\n3,0,1,4,2\n#FileEnd\n");

  TypeSequenceArchive archive;
  archive.insertSorted(sequenceOf({}, 0.5));
  std::ostringstream none;
  writeSequenceFile(none, test::projectWithTypes({}), archive, sequenceOf({}, 0.25));
  EXPECT_EQ(none.str(),
            "Optimal IDSequenceForPack\nPacking Efficiency=0.25\nTypeSequenceForPack\n"
            "Packing Efficiency=0.5\n#FileEnd\n");
}

TEST(SequenceFile, DocumentedExampleReadsAndWritesBackLineForLine) {
  const Project project = exampleProject();
  const SequenceFileContents contents = read(project, example());
  ASSERT_TRUE(contents.hasIdSequence);
  EXPECT_TRUE(contents.hasFileEnd);
  EXPECT_EQ(contents.idSequence.items, (std::vector<std::int32_t>{3, 0, 1, 4, 2}));
  EXPECT_EQ(contents.idSequence.efficiency, 0.634521);
  ASSERT_EQ(contents.archive.count(), 2);
  EXPECT_EQ(contents.archive.entries().front().items, (std::vector<std::int32_t>{1, 0, 0, 1, 0}));
  EXPECT_EQ(contents.archive.entries().back().items, (std::vector<std::int32_t>{0, 0, 0, 1, 1}));
  EXPECT_EQ(contents.archive.entries().back().efficiency, 0.6012);
  EXPECT_EQ(checkSequenceFile(project, contents), std::nullopt);

  EXPECT_EQ(written(project, contents), example());
  test::ScratchFolder folder;
  const std::string path = folder.path("ID_Type_SequenceForPack.txt");
  writeSequenceFile(project, contents.archive, path, contents.idSequence);
  EXPECT_EQ(test::readBytes(path), example());
}

TEST(SequenceFile, ReadingFollowsTheScanRules) {
  const Project project = exampleProject();

  // Stored order is re-sorted on reading; an equal efficiency goes after the earlier entry.
  const std::string unsorted =
      "TypeSequenceForPack\nPacking Efficiency=0.5\n0,0,0,1,1\n"
      "TypeSequenceForPack\nPacking Efficiency=0.7\n1,1,0,0,0\n"
      "TypeSequenceForPack\nPacking Efficiency=0.5\n0,1,0,1,0\n"
      "a comment line\n"
      "Optimal IDSequenceForPack\nPacking Efficiency=0.1\n0,1,2,3,4\n"
      "Optimal IDSequenceForPack\nPacking Efficiency=0.2\n4,3,2,1,0\n#FileEnd\n"
      "TypeSequenceForPack\nPacking Efficiency=0.9\n1,1,0,0,0\n";
  SequenceFileContents contents = read(project, unsorted);
  EXPECT_EQ(contents.idSequence.items, (std::vector<std::int32_t>{4, 3, 2, 1, 0}));
  EXPECT_EQ(contents.idSequence.efficiency, 0.2);
  std::vector<std::vector<std::int32_t>> order;
  for (const PackingSequence& entry : contents.archive) order.push_back(entry.items);
  EXPECT_EQ(order, (std::vector<std::vector<std::int32_t>>{
                       {1, 1, 0, 0, 0}, {0, 0, 0, 1, 1}, {0, 1, 0, 1, 0}}));
  EXPECT_EQ(checkSequenceFile(project, contents), std::nullopt);

  // Windows line ends, blanks after commas and a missing final line end all read.
  std::string crlf;
  for (char c : replaced(example(), "3,0,1,4,2", "3, 0,\t1,  4, 2"))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.resize(crlf.size() - 2);
  contents = read(project, crlf);
  EXPECT_EQ(contents.idSequence.items, (std::vector<std::int32_t>{3, 0, 1, 4, 2}));
  EXPECT_EQ(written(project, contents), example());
  EXPECT_EQ(checkSequenceFile(project, contents), std::nullopt);

  // A blank before a comma stops the scan; the rest of the line is skipped.
  contents = read(project, replaced(example(), "3,0,1,4,2", "3 ,0,1,4,2"));
  ASSERT_TRUE(checkSequenceFile(project, contents).has_value());
  EXPECT_EQ(*checkSequenceFile(project, contents), "第3行: 各项之间不是单个逗号");
  EXPECT_EQ(contents.archive.count(), 2);
  EXPECT_TRUE(contents.hasFileEnd);
}

TEST(SequenceFile, CheckNamesWhyAFileDoesNotFitTheProject) {
  const Project project = exampleProject();
  const std::string text = example();
  const std::string junk(150, 'j');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {replaced(text, "#FileEnd\n", ""), "缺少 \"#FileEnd\" 行"},
      {text.substr(text.find("TypeSequenceForPack")), "缺少 \"Optimal IDSequenceForPack\" 段"},
      {replaced(text, "=0.634521\n3", "=abc\n3"), "第2行: \"Packing Efficiency=\" 后面没有数"},
      {replaced(text, "3,0,1,4,2", "3,0,1,4"), "第3行: 项数少于项目的 5 个零件"},
      {replaced(text, "3,0,1,4,2", "3,0,1,4,2,5"), "第3行: 项数多于项目的 5 个零件"},
      {replaced(text, "3,0,1,4,2", "3,0,1,4,"), "第3行: 项数少于项目的 5 个零件 (行末多一个逗号)"},
      {replaced(text, "3,0,1,4,2", "3,0,x,4,2"), "第3行: 有一项不是整数"},
      {replaced(text, "3,0,1,4,2", "3,0,1,99999999999,2"), "第3行: 有一项不是整数"},
      {replaced(text, "3,0,1,4,2", "3,0,1,4,4"), "ID序列: 不是零件编号 0..4 的一个排列"},
      {replaced(text, "3,0,1,4,2", "3,0,1,5,2"), "ID序列: 不是零件编号 0..4 的一个排列"},
      {replaced(text, "=0.634521\n3", "=nan\n3"), "ID序列: 效率不是有限数"},
      {replaced(text, "0,0,0,1,1", "0,0,2,1,1"),
       "第2个类型序列 (效率 0.6012): 类型序号 2 超出项目的 2 个零件类型"},
      {replaced(text, "0,0,0,1,1", "0,0,1,1,1"),
       "第2个类型序列 (效率 0.6012): 零件类型与项目的零件不符"},
      {replaced(text, "=0.6012", "=-inf"), "第2个类型序列 (效率 -inf): 效率不是有限数"},
      {replaced(text, "#FileEnd", junk + "\n#FileEnd"), "第10行: 超过 98 个字符"},
  };
  for (const auto& [file, reason] : cases) {
    const std::optional<std::string> found = checkSequenceFile(project, read(project, file));
    EXPECT_EQ(found.value_or("fits"), reason) << file;
  }

  // A comma after the last item closes the line, as the writer never puts it: the same file.
  const SequenceFileContents closed = read(
      project, replaced(replaced(text, "3,0,1,4,2", "3,0,1,4,2,"), "0,0,0,1,1", "0,0,0,1,1, "));
  EXPECT_EQ(checkSequenceFile(project, closed).value_or("fits"), "fits");
  EXPECT_EQ(closed.idSequence.items, read(project, text).idSequence.items);
  EXPECT_EQ(closed.archive.count(), 2);

  // The file of a smaller project does not fit a larger one.
  const Project larger = test::projectWithTypes({3, 3});
  EXPECT_EQ(checkSequenceFile(larger, read(larger, text)).value_or("fits"),
            "第3行: 项数少于项目的 6 个零件");
  // Contents built elsewhere are held to the same counts.
  SequenceFileContents contents = read(project, text);
  contents.idSequence.items.pop_back();
  EXPECT_EQ(checkSequenceFile(project, contents).value_or("fits"),
            "ID序列: 有 4 项, 而项目有 5 个零件");
}

TEST(SequenceFile, FailedWriteKeepsTheOldFileAndIsReported) {
  test::ScratchFolder folder;
  const Project project = exampleProject();
  const std::string path = folder.path("pause_ID_Type_SequenceForPack.txt");
  test::writeBytes(path, example());

  // A file size limit makes the write fail part way, as a full disk does.
  TypeSequenceArchive big;
  for (int i = 0; i < 2000; ++i) big.insertSorted(sequenceOf({0, 0, 0, 1, 1}, i));
  bool reported = false;
  {
    const test::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.active());
    try {
      writeSequenceFile(project, big, path, sequenceOf({0, 1, 2, 3, 4}, 0.5));
    } catch (const InputError& error) {
      reported = true;
      EXPECT_STREQ(error.what(), "ID_Type_SequenceForPack.txt file open error!");
      EXPECT_EQ(error.channel(), InputError::Channel::StandardError);
    }
  }
  EXPECT_TRUE(reported);
  EXPECT_EQ(test::readBytes(path), example());
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"pause_ID_Type_SequenceForPack.txt"}));

  // Content that is never committed never reaches the disk.
  {
    AtomicFile file(path);
    file.stream() << "half";
  }
  EXPECT_EQ(test::readBytes(path), example());
  EXPECT_EQ(folder.entries().size(), 1u);
}

}  // namespace
}  // namespace tessera
