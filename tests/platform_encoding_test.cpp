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

TEST(MixedToUtf8, GbkBytesInsideUtf8TextBecomeTheirCharacters) {
  // 齿轮 and 你好 in GBK; C2 D6 and C4 E3 start UTF-8 sequences that do not go on.
  EXPECT_EQ(mixedToUtf8("零件\"\xB3\xDD\xC2\xD6\"无法采样"), "零件\"齿轮\"无法采样");
  EXPECT_EQ(mixedToUtf8("(\xC4\xE3\xBA\xC3 2 个)"), "(你好 2 个)");
  EXPECT_EQ(mixedToUtf8("齿轮 ok"), "齿轮 ok");
  EXPECT_EQ(mixedToUtf8("a\xFF"), "a\xEF\xBF\xBD");  // a stray byte
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
