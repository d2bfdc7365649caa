// The layout file of poses: what is written reads back bit for bit; what is damaged is refused
// at its line.
#include "formats/pose_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "model/input_error.h"

namespace tessera {
namespace {

PoseFile awkwardFile() {
  PoseFile file;
  file.partCount = 3;
  file.RN = 4;
  file.orientationCount = 64;
  file.height = 12.856430556961111;
  file.poses = {
      {0, "slab.txt", 7, 0.1, -0.0, 1.0 / 3.0, 0},
      {1, "dir with space/angle, one.txt", 63, 9.7971743931788257e-16,
       std::numeric_limits<double>::denorm_min(), -1e300, 0},
      {2, "slab.txt", 0, 22.999999999999996, std::nextafter(30.0, 31.0), 5e-324, 0},
  };
  return file;
}

std::string textOf(const PoseFile& file) {
  std::ostringstream out;
  writePoseFile(out, file);
  return out.str();
}

PoseFile readText(const std::string& text) {
  std::istringstream in(text);
  return readPoseFile(in, "poses.txt");
}

TEST(PoseFile, WhatIsWrittenReadsBackBitForBit) {
  const PoseFile written = awkwardFile();
  const PoseFile read = readText(textOf(written));
  EXPECT_EQ(read.partCount, written.partCount);
  EXPECT_EQ(read.RN, written.RN);
  EXPECT_EQ(read.orientationCount, written.orientationCount);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(read.height),
            std::bit_cast<std::uint64_t>(written.height));
  ASSERT_EQ(read.poses.size(), written.poses.size());
  for (std::size_t i = 0; i < read.poses.size(); ++i) {
    const PoseRecord& r = read.poses[i];
    const PoseRecord& w = written.poses[i];
    EXPECT_EQ(r.part, w.part);
    EXPECT_EQ(r.partFile, w.partFile);
    EXPECT_EQ(r.orientation, w.orientation);
    EXPECT_EQ(r.line, static_cast<int>(6 + i));
    for (const auto& [a, b] : {std::pair{r.x, w.x}, {r.y, w.y}, {r.z, w.z}})
      EXPECT_EQ(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b)) << "part " << i;
  }
  // CR LF line ends read the same.
  std::string crlf;
  for (char c : textOf(written)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(readText(crlf).poses, read.poses);
}

/// The text of the file with the first occurrence of from replaced by to.
std::string damaged(const std::string& from, const std::string& to) {
  std::string text = textOf(awkwardFile());
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(PoseFile, DamagedFilesAreRefusedAtTheirLine) {
  const std::string text = textOf(awkwardFile());
  const struct {
    std::string text;
    std::string where;
    std::string what;
  } cases[] = {
      {text.substr(0, text.find("#FileEnd")), "第9行", "缺少 \"#FileEnd\""},
      {text.substr(0, text.find("2,\"slab")), "第8行", "缺少 \"#FileEnd\""},
      {damaged("Optimal PoseLayoutForPack", "Optimal IDSequenceForPack"), "第1行",
       "不是排样位姿文件"},
      {damaged("Part Count=3", "Part Count=three"), "第2行", "Part Count="},
      {damaged("Part Count=3", "Part Count=-3"), "第2行", "不在 0 到"},
      {damaged("RN=4", "RN 4"), "第3行", "RN="},
      {damaged("Packing Height=12.856430556961111", "Packing Height=nan"), "第5行", "排样高度"},
      {damaged("1,\"dir", "2,\"dir"), "第7行", "零件序号应为 1"},
      {damaged(",63,", ",63.5,"), "第7行", "零件行应为"},
      {damaged(",7,0.10000000000000001,", ",7,0.1x,"), "第6行", "零件行应为"},
      {damaged("-1.0000000000000001e+300", "inf"), "第7行", "零件行应为"},
      {damaged(",\"slab.txt\",0,", ",slab.txt,0,"), "第8行", "零件行应为"},
      {damaged("#FileEnd", "3,\"slab.txt\",0,0,0,0"), "第10行", "缺少 \"#FileEnd\""},
      {damaged("Part Count=3", "Part Count=4"), "第2行", "零件数 4, 文件中却有 3 个零件行"},
  };
  for (const auto& c : cases) {
    try {
      readText(c.text);
      ADD_FAILURE() << "accepted:\n" << c.text;
    } catch (const InputError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("文件\"poses.txt\"" + c.where), std::string::npos) << message;
      EXPECT_NE(message.find(c.what), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace tessera
