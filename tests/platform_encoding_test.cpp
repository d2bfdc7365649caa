#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"

namespace tessera::platform {
namespace {

TEST(Utf8ToGbk, KnownChineseTextsGiveTheirGbkBytes) {
  EXPECT_EQ(utf8ToGbk("秒"), "\xC3\xEB");
  EXPECT_EQ(utf8ToGbk("欢迎使用TESSERA!"), "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3TESSERA!");
  EXPECT_EQ(utf8ToGbk("文件打开失败!"), "\xCE\xC4\xBC\xFE\xB4\xF2\xBF\xAA\xCA\xA7\xB0\xDC!");
  // Full-width punctuation of the console notes has GBK forms too.
  EXPECT_EQ(utf8ToGbk("：，"), "\xA3\xBA\xA3\xAC");
}

TEST(Utf8ToGbk, AsciiAndEmptyPassUnchanged) {
  EXPECT_EQ(utf8ToGbk(""), "");
  const std::string ascii = "Press 'a' to output best packing information and continue, \n";
  EXPECT_EQ(utf8ToGbk(ascii), ascii);
}

TEST(Utf8ToGbk, EachCharacterWithoutGbkFormBecomesOneQuestionMark) {
  EXPECT_EQ(utf8ToGbk("a\U0001F600b"), "a?b");        // emoji, four bytes
  EXPECT_EQ(utf8ToGbk("한글"), "??");                 // Hangul syllables are outside GBK
  EXPECT_EQ(utf8ToGbk("x\xFFy"), "x?y");              // a byte that never starts UTF-8
  EXPECT_EQ(utf8ToGbk("x\xE7\xA7"), "x?");            // cut off at the end
  EXPECT_EQ(utf8ToGbk("\xE7\xA7z秒"), "?z\xC3\xEB");  // cut off before ASCII: text goes on
}

TEST(Utf8ToGbk, LongTextIsConvertedWhole) {
  std::string text;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    text += "秒a";
    expected +=
        "\xC3\xEB"
        "a";
  }
  EXPECT_EQ(utf8ToGbk(text), expected);
}

TEST(GbCodeset, OnlyTheGbFamilyCounts) {
  for (const char* name : {"GBK", "gbk", "GB2312", "GB18030", "EUC-CN", "CP936"}) {
    EXPECT_TRUE(isGbCodeset(name)) << name;
  }
  for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "BIG5", "GB", ""}) {
    EXPECT_FALSE(isGbCodeset(name)) << name;
  }
}

}  // namespace
}  // namespace tessera::platform
