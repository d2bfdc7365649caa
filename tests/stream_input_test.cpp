// The console's input rules, which the terminal and every other console share.
#include "platform/stream_input.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tessera::platform {
namespace {

TEST(StreamInput, IntegersFollowFormattedExtraction) {
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
    std::istringstream in(c.input);
    int value = 500;
    EXPECT_EQ(extractInt(in, value), c.ok) << c.input;
    EXPECT_EQ(value, c.value) << c.input;
  }
}

TEST(StreamInput, WhatFollowsANumberStaysButARejectedLineIsDropped) {
  std::istringstream in("42xyz\nabc def\nname\n");
  int value = 0;
  ASSERT_TRUE(extractInt(in, value));
  std::string token;
  ASSERT_TRUE(extractToken(in, token));
  EXPECT_EQ(token, "xyz");

  EXPECT_FALSE(extractInt(in, value));
  ASSERT_TRUE(extractToken(in, token));
  EXPECT_EQ(token, "name");
  EXPECT_FALSE(extractToken(in, token));
  EXPECT_EQ(token, "name");
}

TEST(StreamInput, LinesLoseTheirLineEndOnly) {
  std::istringstream in("  a b.txt \r\n\nlast");
  std::string text;
  ASSERT_TRUE(extractLine(in, text));
  EXPECT_EQ(text, "  a b.txt ");
  ASSERT_TRUE(extractLine(in, text));
  EXPECT_EQ(text, "");
  ASSERT_TRUE(extractLine(in, text));
  EXPECT_EQ(text, "last");
  EXPECT_FALSE(extractLine(in, text));
  EXPECT_EQ(text, "last");
}

}  // namespace
}  // namespace tessera::platform
