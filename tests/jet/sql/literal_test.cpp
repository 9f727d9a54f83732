#include "platform/jet/sql/literal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/jet/sql/date_text.h"
#include "platform/jet/sql/number_text.h"

namespace jet::sql {
namespace {

ColumnSpec Column(ColumnType type, uint16_t max_chars = 255) {
  ColumnSpec c;
  c.name = "col";
  c.type = type;
  c.max_chars = max_chars;
  return c;
}

Literal Num(std::string text) { return Literal{Literal::Kind::kNumber, std::move(text)}; }
Literal Str(std::string text) { return Literal{Literal::Kind::kString, std::move(text)}; }

Cell MustConvert(const Literal& l, const ColumnSpec& c) {
  auto r = ConvertLiteral(l, c, "tbl");
  EXPECT_TRUE(r.has_value()) << l.text << " -> " << (r ? "" : r.error().message);
  return r ? *r : Cell{};
}

std::string MustRefuse(const Literal& l, const ColumnSpec& c) {
  auto r = ConvertLiteral(l, c, "tbl");
  EXPECT_FALSE(r.has_value()) << l.text;
  if (r) return {};
  const std::string& m = r.error().message;
  EXPECT_EQ(m.rfind("SQLException: ", 0), 0u) << m;
  EXPECT_NE(m.find("'tbl'"), std::string::npos) << m;
  EXPECT_NE(m.find("'col'"), std::string::npos) << m;
  return m;
}

TEST(SqlLiteral, WholeNumbersRoundHalfToEvenAndKeepTheirRange) {
  const auto lng = Column(ColumnType::kLong);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("2.5"), lng)), 2);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("3.5"), lng)), 4);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("-2.5"), lng)), -2);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("2.5000001"), lng)), 3);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("0.49999999999999999999"), lng)), 0);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("1.5e2"), lng)), 150);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("1e-400"), lng)), 0);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("2147483647"), lng)), 2147483647);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("-2147483648"), lng)), -2147483648LL);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Str(" 42 "), lng)), 42);
  EXPECT_NE(MustRefuse(Num("2147483648"), lng).find("overflow"), std::string::npos);
  MustRefuse(Num("2147483647.5"), lng);  // rounds to 2^31
  MustRefuse(Num("1e999999999999"), lng);
  EXPECT_NE(MustRefuse(Str("abc"), lng).find("'abc'"), std::string::npos);
  MustRefuse(Str("1,5"), lng);
  MustRefuse(Str(""), lng);
  MustRefuse(Num("NaN"), lng);
  MustRefuse(Num("-Infinity"), Column(ColumnType::kDouble));
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("255"), Column(ColumnType::kByte))), 255);
  MustRefuse(Num("256"), Column(ColumnType::kByte));
  MustRefuse(Num("-1"), Column(ColumnType::kByte));
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("-32768"), Column(ColumnType::kInteger))), -32768);
  MustRefuse(Num("40000"), Column(ColumnType::kInteger));
  EXPECT_EQ(std::get<int64_t>(MustConvert(Num("-9223372036854775808"), Column(ColumnType::kBigInt))), INT64_MIN);
}

TEST(SqlLiteral, FloatingMoneyAndDecimal) {
  EXPECT_EQ(std::get<double>(MustConvert(Num("1.7976931348623157e308"), Column(ColumnType::kDouble))), 1.7976931348623157e308);
  EXPECT_EQ(std::get<double>(MustConvert(Num("-0.1"), Column(ColumnType::kDouble))), -0.1);
  MustRefuse(Num("1e309"), Column(ColumnType::kDouble));
  EXPECT_EQ(std::get<double>(MustConvert(Num("0.1"), Column(ColumnType::kSingle))), static_cast<double>(0.1f));
  MustRefuse(Num("1e39"), Column(ColumnType::kSingle));

  const auto money = Column(ColumnType::kMoney);
  EXPECT_EQ(std::get<Money>(MustConvert(Num("12.34565"), money)).scaled, 123456);
  EXPECT_EQ(std::get<Money>(MustConvert(Num("-922337203685477.5808"), money)).scaled, INT64_MIN);
  MustRefuse(Num("922337203685477.5808"), money);

  auto dec = Column(ColumnType::kNumeric);
  dec.precision = 28;
  dec.scale = 4;
  const auto d = std::get<Decimal>(MustConvert(Num("-1234567890123456789012.34567"), dec));
  Uint128 magnitude = (Uint128{d.hi} << 64) | (Uint128{d.mid} << 32) | d.lo;
  EXPECT_TRUE(magnitude == Uint128{12345678901234567890ULL} * 1000000 + 123457);  // rounded up at 4 decimals
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(d.scale, 4);
  dec.precision = 5;
  dec.scale = 2;
  MustConvert(Num("999.99"), dec);
  MustRefuse(Num("1000"), dec);
  EXPECT_FALSE(std::get<Decimal>(MustConvert(Num("-0.001"), dec)).negative);  // rounds to zero
}

TEST(SqlLiteral, TextColumns) {
  const auto text = Column(ColumnType::kText, 5);
  EXPECT_EQ(std::get<std::string>(MustConvert(Num("-1.50"), text)), "-1.50");  // a number keeps its text
  EXPECT_EQ(std::get<std::string>(MustConvert(Str("äöü😀"), text)), "äöü😀");  // 5 UTF-16 units
  EXPECT_NE(MustRefuse(Str("äöü😀x"), text).find("too small"), std::string::npos);
  EXPECT_EQ(std::get<std::string>(MustConvert(Str(""), text)), "");
  const auto t255 = Column(ColumnType::kText, 255);
  MustConvert(Str(std::string(255, 'a')), t255);
  MustRefuse(Str(std::string(256, 'a')), t255);
  const std::string memo(1 << 20, 'm');
  EXPECT_EQ(std::get<std::string>(MustConvert(Str(memo), Column(ColumnType::kMemo))).size(), memo.size());
  EXPECT_EQ(std::get<std::string>(MustConvert(Str("08/31/2021 14:05:00"), Column(ColumnType::kMemo))),
            "08/31/2021 14:05:00");
  // The moving overload checks the same way.
  EXPECT_EQ(std::get<std::string>(*ConvertLiteral(Str(memo), Column(ColumnType::kMemo), "tbl")).size(), memo.size());
  EXPECT_FALSE(ConvertLiteral(Str(std::string(256, 'a')), t255, "tbl").has_value());
  EXPECT_EQ(std::get<int64_t>(*ConvertLiteral(Str("7"), Column(ColumnType::kLong), "tbl")), 7);
  const std::string refused = MustRefuse(Str(memo), t255);
  EXPECT_LT(refused.size(), 300u);  // the message shows only the start of the value
}

TEST(SqlLiteral, DatesBooleansGuidsBinaryAndNull) {
  const auto date = Column(ColumnType::kDateTime);
  EXPECT_EQ(std::get<DateTimeValue>(MustConvert(Str("08/31/2021"), date)).days, 44439.0);
  EXPECT_EQ(std::get<DateTimeValue>(MustConvert(Str("2021-08-31 18:00:00"), date)).days, 44439.75);
  EXPECT_EQ(std::get<DateTimeValue>(MustConvert(Str("12/30/1899"), date)).days, 0.0);
  EXPECT_EQ(std::get<DateTimeValue>(MustConvert(Str("1899-12-29 06:00"), date)).days, -1.25);
  EXPECT_EQ(std::get<DateTimeValue>(MustConvert(Literal{Literal::Kind::kDate, "1/1/1900"}, date)).days, 2.0);
  MustConvert(Str("12/31/9999 23:59:59"), date);
  MustConvert(Str("0100-01-01"), date);
  // Milliseconds, as a Date/Time holds them: a fraction of the day.
  EXPECT_DOUBLE_EQ(std::get<DateTimeValue>(MustConvert(Str("2021-08-31 18:00:00.5"), date)).days,
                   44439.75 + 0.5 / 86400);
  EXPECT_DOUBLE_EQ(std::get<DateTimeValue>(MustConvert(Literal{Literal::Kind::kDate, "1899-12-30 00:00:01.250"},
                                                       date)).days,
                   1.25 / 86400);
  for (const char* bad : {"02/30/2021", "13/01/2021", "2021-08-31 24:00:00", "08/31/21", "yesterday", "0099-12-31",
                          "2021-08-31 18:00:00.1234", "2021-08-31 18:00:00.", "2021-08-31 18:00.5"}) {
    MustRefuse(Str(bad), date);
  }

  const auto yesno = Column(ColumnType::kBoolean);
  for (const char* word : {"True", "yes", "ON", "-1", "1"}) EXPECT_TRUE(std::get<bool>(MustConvert(Str(word), yesno)));
  for (const char* word : {"False", "NO", "off", "0"}) EXPECT_FALSE(std::get<bool>(MustConvert(Str(word), yesno)));
  EXPECT_TRUE(std::get<bool>(MustConvert(Num("-1"), yesno)));
  EXPECT_FALSE(std::get<bool>(MustConvert(Literal{}, yesno)));  // Yes/No holds no Null
  MustRefuse(Str("maybe"), yesno);
  EXPECT_EQ(std::get<int64_t>(MustConvert(Literal{Literal::Kind::kBoolean, "True"}, Column(ColumnType::kLong))), -1);

  const auto guid = std::get<Guid>(MustConvert(Str("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), Column(ColumnType::kGuid)));
  const uint8_t expected[16] = {0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0,
                                0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF};
  EXPECT_EQ(0, memcmp(guid.bytes, expected, 16));
  MustRefuse(Str("{6F9619FF-8B86-D011-B42D-00C04FC964F}"), Column(ColumnType::kGuid));

  EXPECT_EQ(std::get<Bytes>(MustConvert(Literal{Literal::Kind::kBinary, "0aFF"}, Column(ColumnType::kBinary, 2))),
            (Bytes{0x0A, 0xFF}));
  MustRefuse(Literal{Literal::Kind::kBinary, "0aFF01"}, Column(ColumnType::kBinary, 2));
  MustRefuse(Str("abc"), Column(ColumnType::kOle));

  EXPECT_TRUE(IsNull(MustConvert(Literal{}, Column(ColumnType::kText))));
  auto required = Column(ColumnType::kText);
  required.not_null = true;
  MustRefuse(Literal{}, required);
}

}  // namespace
}  // namespace jet::sql
