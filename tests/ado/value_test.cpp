// The text forms the statement builders write: made from the value, never
// copied from a driver's formatting.

#include "platform/ado/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ValueText, Integers) {
  EXPECT_EQ(ado::Value(0).ToText(), "0");
  EXPECT_EQ(ado::Value(std::numeric_limits<int64_t>::min()).ToText(), "-9223372036854775808");
  EXPECT_EQ(ado::Value(std::numeric_limits<uint64_t>::max()).ToText(), "18446744073709551615");
}

TEST(ValueText, FloatingIsShortestRoundTripWithFullStop) {
  EXPECT_EQ(ado::Value(0.1).ToText(), "0.1");
  EXPECT_EQ(ado::Value(1234.5).ToText(), "1234.5");
  EXPECT_EQ(ado::Value(-1.5).ToText(), "-1.5");
  EXPECT_EQ(ado::Value(100.0).ToText(), "100");
  EXPECT_EQ(ado::Value(1e20).ToText(), "1e+20");  // shorter than 21 digits, reads back the same
  EXPECT_EQ(ado::Value(1e-7).ToText(), "1e-07");
  EXPECT_EQ(ado::Value(123456789.125).ToText(), "123456789.125");
  EXPECT_EQ(ado::Value(0.1 + 0.2).ToText(), "0.30000000000000004");
  EXPECT_EQ(ado::Value(std::numeric_limits<double>::max()).ToText(), "1.7976931348623157e+308");
  EXPECT_EQ(ado::Value(std::numeric_limits<double>::denorm_min()).ToText(), "5e-324");
  // Negative zero keeps its sign, as PostgreSQL prints it: "-0" reads back as -0.0.
  EXPECT_EQ(ado::Value(-0.0).ToText(), "-0");
  // Not numbers: PostgreSQL's own words.
  EXPECT_EQ(ado::Value(std::nan("")).ToText(), "NaN");
  EXPECT_EQ(ado::Value(-HUGE_VAL).ToText(), "-Infinity");
}

TEST(ValueText, DecimalsKeepTheServersDigits) {
  EXPECT_EQ(ado::Value(ado::Decimal{"-12.50"}).ToText(), "-12.50");
  EXPECT_EQ(ado::Value(ado::Decimal{"12345678901234567890.123456789"}).ToText(), "12345678901234567890.123456789");
}

TEST(ValueText, DatesTimesAndDateTimes) {
  EXPECT_EQ(ado::Value(ado::Date{2021, 8, 31}).ToText(), "2021-08-31");
  EXPECT_EQ(ado::Value(ado::Date{1, 1, 1}).ToText(), "0001-01-01");
  EXPECT_EQ(ado::Value(ado::Time{0, 0, 0, 0}).ToText(), "00:00:00");
  EXPECT_EQ(ado::Value(ado::Time{14, 5, 0, 250000000}).ToText(), "14:05:00.25");
  // Midnight: the date alone, which the row builder then writes as a date.
  EXPECT_EQ(ado::Value(ado::DateTime{{2021, 8, 31}, {0, 0, 0, 0}}).ToText(), "2021-08-31");
  EXPECT_EQ(ado::Value(ado::DateTime{{2021, 8, 31}, {14, 5, 0, 0}}).ToText(), "2021-08-31 14:05:00");
  EXPECT_EQ(ado::Value(ado::DateTime{{2021, 8, 31}, {0, 0, 0, 1}}).ToText(), "2021-08-31 00:00:00.000000001");
  EXPECT_EQ(ado::Value(ado::DateTime{{2021, 8, 31}, {23, 59, 59, 500000000}}).ToText(), "2021-08-31 23:59:59.5");
}

TEST(ValueText, NullBooleanAndBinary) {
  EXPECT_EQ(ado::Value().ToText(), "");
  EXPECT_TRUE(ado::Value().IsNull());
  EXPECT_FALSE(ado::Value("").IsNull());  // empty text is a value
  EXPECT_EQ(ado::Value(true).ToText(), "True");
  EXPECT_EQ(ado::Value(false).ToText(), "False");
  EXPECT_EQ(ado::Value(ado::Binary{0x00, 0xff, 0x10, 0xab}).ToText(), "00FF10AB");
  EXPECT_EQ(ado::Value(ado::Binary{}).ToText(), "");
}

}  // namespace
