#include "formats/number_format.h"

#include <gtest/gtest.h>

namespace tessera {
namespace {

TEST(NumberFormat, NumbersReadAsTextStreamsWriteThem) {
  EXPECT_EQ(formatNumber(12.5), "12.5");
  EXPECT_EQ(formatNumber(1.0 / 3.0), "0.333333");
  EXPECT_EQ(formatNumber(123456.7), "123457");
  EXPECT_EQ(formatNumber(1234567.4), "1.23457e+06");
  EXPECT_EQ(formatNumber(60), "60");
}

}  // namespace
}  // namespace tessera
