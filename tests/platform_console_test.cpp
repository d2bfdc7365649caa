#include <gtest/gtest.h>

#include <string>

#include "platform/console.h"

namespace tessera::platform {
namespace {

TEST(BufferConsoleInput, IntegersFollowFormattedExtraction) {
  struct Case {
    const char* input;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"-3\n", true, -3},    {"  42xyz\n", true, 42}, {"+7\n", true, 7},
      {"abc\n", false, 500}, {"", false, 500},        {"99999999999\n", false, 500},
      {"- 5\n", false, 500}, {"\n\n 12\n", true, 12},
  };
  for (const Case& c : cases) {
    BufferConsole console(c.input);
    int value = 500;
    EXPECT_EQ(console.readInt(value), c.ok) << c.input;
    EXPECT_EQ(value, c.value) << c.input;
  }
}

TEST(BufferConsoleInput, WhatFollowsANumberStaysButARejectedLineIsDropped) {
  BufferConsole console("42xyz\nabc def\nname\n");
  int value = 0;
  ASSERT_TRUE(console.readInt(value));
  std::string token;
  ASSERT_TRUE(console.readToken(token));
  EXPECT_EQ(token, "xyz");

  EXPECT_FALSE(console.readInt(value));
  ASSERT_TRUE(console.readToken(token));
  EXPECT_EQ(token, "name");
  EXPECT_FALSE(console.readToken(token));
  EXPECT_EQ(token, "name");
}

TEST(BufferConsoleInput, LinesLoseTheirLineEndOnly) {
  BufferConsole console("  a b.txt \r\n\nlast");
  std::string text;
  ASSERT_TRUE(console.readLine(text));
  EXPECT_EQ(text, "  a b.txt ");
  ASSERT_TRUE(console.readLine(text));
  EXPECT_EQ(text, "");
  ASSERT_TRUE(console.readLine(text));
  EXPECT_EQ(text, "last");
  EXPECT_FALSE(console.readLine(text));
  EXPECT_EQ(text, "last");
}

TEST(BufferConsoleKeys, QueueIsSeparateFromInputText) {
  BufferConsole console("typed\n", "a");
  EXPECT_TRUE(console.keyWaiting());
  EXPECT_EQ(console.readKey(), 'a');
  EXPECT_FALSE(console.keyWaiting());
  EXPECT_EQ(console.readKey(), -1);
  console.pressKeys("\xE9");
  EXPECT_EQ(console.readKey(), 0xE9);  // bytes above 127 stay positive, as a key code does
  std::string token;
  ASSERT_TRUE(console.readToken(token));
  EXPECT_EQ(token, "typed");
}

TEST(BufferConsoleOutput, WaitsAndWarningsConsumeKeysOnlyWhenInteractive) {
  BufferConsole batch({}, "xy");
  batch.line("欢迎使用TESSERA!");
  batch.waitForKey();
  batch.warning("文件打开失败!");
  EXPECT_EQ(batch.output(), "欢迎使用TESSERA!\nPress any key to continue . . . \n");
  EXPECT_EQ(batch.errorOutput(), "Warning!\n文件打开失败!\n");
  EXPECT_EQ(batch.keysLeft(), 2u);

  BufferConsole user({}, "xab\nz", true);
  user.waitForKey();
  user.warning("w");
  EXPECT_EQ(user.readKey(), 'z');
  EXPECT_EQ(user.output(), "Press any key to continue . . . \n");
}

}  // namespace
}  // namespace tessera::platform
