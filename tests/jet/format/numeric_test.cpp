// Currency, Decimal, Date/Time and GUID values.

#include "platform/jet/format/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet::format;
using testing_support::BytesOf;

TEST(NumericTest, DecimalWordOrderSignAndScale) {
  auto one = DecodeDecimal(BytesOf("00 00000000 00000000 00000000 01000000"), 0);
  ASSERT_TRUE(one);
  EXPECT_EQ(DecimalText(*one), "1");
  auto minus = DecodeDecimal(BytesOf("80 00000000 00000000 00000000 E2040000"), 2);  // 1250
  ASSERT_TRUE(minus);
  EXPECT_EQ(DecimalText(*minus), "-12.50");
  // Most significant word first: hi = 1 means 2^64.
  auto big = DecodeDecimal(BytesOf("00 00000000 01000000 00000000 00000000"), 0);
  ASSERT_TRUE(big);
  EXPECT_EQ(DecimalText(*big), "18446744073709551616");
  auto small = DecodeDecimal(BytesOf("00 00000000 00000000 00000000 05000000"), 4);
  EXPECT_EQ(DecimalText(*small), "0.0005");
  jet::Decimal max{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, true, 28};
  EXPECT_EQ(DecimalText(max), "-7.9228162514264337593543950335");
  std::vector<std::byte> out(17);
  EncodeDecimal(*minus, out);
  EXPECT_EQ(out, BytesOf("80 00000000 00000000 00000000 E2040000"));
  // More than 96 bits is no value Access writes.
  EXPECT_FALSE(DecodeDecimal(BytesOf("00 01000000 00000000 00000000 00000000"), 0));
  EXPECT_FALSE(DecodeDecimal(BytesOf("00 0000"), 0));
}

TEST(NumericTest, MoneyKeepsFourDecimalsExactly) {
  EXPECT_EQ(MoneyText(jet::Money{12500}), "1.2500");
  EXPECT_EQ(MoneyText(jet::Money{-5}), "-0.0005");
  EXPECT_EQ(MoneyText(jet::Money{std::numeric_limits<int64_t>::min()}), "-922337203685477.5808");
}

TEST(NumericTest, OleDatesBeforeAndAfterTheEpoch) {
  EXPECT_EQ(OleDateText(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(OleDateText(1.5), "1899-12-31 12:00:00");
  // Before the epoch the fraction is still a positive time of day.
  EXPECT_EQ(OleDateText(-1.25), "1899-12-29 06:00:00");
  EXPECT_EQ(OleDateText(27293.0), "1974-09-21 00:00:00");
  EXPECT_EQ(OleDateText(-657434.0), "0100-01-01 00:00:00");
  EXPECT_EQ(OleDateText(2958465.0 + 86399.0 / 86400.0), "9999-12-31 23:59:59");
  // 23:59:59.7 rounds into the next day.
  EXPECT_EQ(OleDateText(1.0 + 86399.7 / 86400.0), "1900-01-01 00:00:00");
  EXPECT_FALSE(OleDateToCivil(std::nan("")));
  EXPECT_FALSE(OleDateToCivil(1e300));
  for (CivilDateTime t : {CivilDateTime{1850, 3, 1, 13, 5, 9, 0}, CivilDateTime{2100, 2, 28, 23, 59, 58, 0},
                          CivilDateTime{1899, 12, 30, 0, 0, 1, 0}}) {
    auto back = OleDateToCivil(CivilToOleDate(t));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::make_tuple(back->year, back->month, back->day, back->hour, back->minute, back->second),
              std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second));
  }
}

TEST(NumericTest, GuidInWindowsByteOrder) {
  jet::Guid g;
  auto bytes = BytesOf("FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF");
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(bytes[i]);
  EXPECT_EQ(GuidText(g), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
}

}  // namespace

namespace {

TEST(ExtendedDateTime, StoredDigitsReadAsDateAndTime) {
  auto text = [](const std::string& s) {
    std::vector<std::byte> b(42);
    for (size_t i = 0; i < s.size(); ++i) b[i] = static_cast<std::byte>(s[i]);
    return jet::format::ExtendedDateTimeText(b);
  };
  // 738033 days after 0001-01-01 is 2021-09-01; 45296 s is 12:34:56.
  EXPECT_EQ(text("0000000000000738033:0000000452961234567"), "2021-09-01 12:34:56.1234567");
  EXPECT_EQ(text("0000000000000000000:0000000000000000000"), "0001-01-01 00:00:00");
  EXPECT_EQ(text("0000000000003652058:0000000863990000000"), "9999-12-31 23:59:59");
  EXPECT_FALSE(text("0000000000003652059:0000000000000000000"));  // after 9999-12-31
  EXPECT_FALSE(text("0000000000000738033:0000000864000000000"));  // not a time of day
  EXPECT_FALSE(text("2021-09-01 12:34:56"));
}

}  // namespace
