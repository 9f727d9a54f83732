// The parsers behind values the driver hands over as text, and the UTF-16
// conversion of the wide ODBC calls.

#include "platform/odbc/text_values.h"

#include <gtest/gtest.h>

#include "platform/odbc/wide_text.h"

namespace {

// "kind:text", the way the expectations below read.
std::string Describe(const ado::Value& v) {
  if (v.Holds<std::string>()) return "text:" + v.ToText();
  if (v.Holds<ado::Decimal>()) return "decimal:" + v.ToText();
  if (v.Holds<double>()) return "double:" + v.ToText();
  if (v.Holds<ado::Date>()) return "date:" + v.ToText();
  if (v.Holds<ado::Time>()) return "time:" + v.ToText();
  if (v.Holds<ado::DateTime>()) return "datetime:" + v.ToText();
  return "other:" + v.ToText();
}

TEST(OdbcTextValues, DecimalsOnlyWhenPlainNumbers) {
  EXPECT_EQ(Describe(odbc::DecimalFromText("-12.50")), "decimal:-12.50");
  EXPECT_EQ(Describe(odbc::DecimalFromText("0")), "decimal:0");
  EXPECT_EQ(Describe(odbc::DecimalFromText("0.00000000000000000001")), "decimal:0.00000000000000000001");
  // What cannot be a decimal stays the server's text, never 0.
  EXPECT_EQ(Describe(odbc::DecimalFromText("NaN")), "text:NaN");
  EXPECT_EQ(Describe(odbc::DecimalFromText("-Infinity")), "text:-Infinity");
  EXPECT_EQ(Describe(odbc::DecimalFromText("1.")), "text:1.");
  EXPECT_EQ(Describe(odbc::DecimalFromText("")), "text:");
}

TEST(OdbcTextValues, DatesAndTimesAcceptOnlyRealValues) {
  EXPECT_EQ(Describe(odbc::DateFromText("2024-02-29")), "date:2024-02-29");
  EXPECT_EQ(Describe(odbc::DateFromText("9999-12-31")), "date:9999-12-31");
  // psqlODBC 13.02 writes an infinite date as 0000-00-00, a year past 9999 as 1234-00-00.
  EXPECT_EQ(Describe(odbc::DateFromText("0000-00-00")), "text:0000-00-00");
  EXPECT_EQ(Describe(odbc::DateFromText("1234-00-00")), "text:1234-00-00");
  EXPECT_EQ(Describe(odbc::DateFromText("2023-02-29")), "text:2023-02-29");
  EXPECT_EQ(Describe(odbc::DateFromText("1900-02-29")), "text:1900-02-29");
  EXPECT_EQ(Describe(odbc::DateFromText("infinity")), "text:infinity");

  EXPECT_EQ(Describe(odbc::TimeFromText("23:59:59.999999")), "time:23:59:59.999999");
  EXPECT_EQ(Describe(odbc::TimeFromText("12:30:00.250")), "time:12:30:00.25");
  EXPECT_EQ(Describe(odbc::TimeFromText("24:00:00")), "text:24:00:00");  // PostgreSQL allows it; a time of day cannot
  EXPECT_EQ(Describe(odbc::TimeFromText("12:00:00+02")), "text:12:00:00+02");
  EXPECT_EQ(Describe(odbc::TimeFromText("12:00:00.")), "text:12:00:00.");

  EXPECT_EQ(Describe(odbc::DateTimeFromText("2021-08-31 00:00:00")), "datetime:2021-08-31");
  EXPECT_EQ(Describe(odbc::DateTimeFromText("2021-08-31 14:05:00.5")), "datetime:2021-08-31 14:05:00.5");
  EXPECT_EQ(Describe(odbc::DateTimeFromText("9999-01-01 00:00:00 BC")), "text:9999-01-01 00:00:00 BC");
  EXPECT_EQ(Describe(odbc::DateTimeFromText("2021-08-31T14:05:00")), "text:2021-08-31T14:05:00");
}

TEST(OdbcTextValues, MoneyInTheCLocaleFormParsesOthersStayText) {
  EXPECT_EQ(Describe(odbc::MoneyFromText("$1,234.50")), "double:1234.5");
  EXPECT_EQ(Describe(odbc::MoneyFromText("-$1,234,567.89")), "double:-1234567.89");
  EXPECT_EQ(Describe(odbc::MoneyFromText("($5.00)")), "double:-5");
  EXPECT_EQ(Describe(odbc::MoneyFromText("$0.00")), "double:0");
  EXPECT_EQ(Describe(odbc::MoneyFromText("1234.56 kr")), "double:1234.56");
  EXPECT_EQ(Describe(odbc::MoneyFromText("¥1,234")), "double:1234");
  // Separators the other way round, or groups that are not thousands: ambiguous, kept.
  EXPECT_EQ(Describe(odbc::MoneyFromText("1.234,50 €")), "text:1.234,50 €");
  EXPECT_EQ(Describe(odbc::MoneyFromText("₹1,23,456.00")), "text:₹1,23,456.00");
  EXPECT_EQ(Describe(odbc::MoneyFromText("$1,2345.00")), "text:$1,2345.00");
  EXPECT_EQ(Describe(odbc::MoneyFromText("")), "text:");
}

TEST(OdbcWideText, RoundTripsEveryPlane) {
  std::string text = "a\r\nÄ日本😀'\"";
  odbc::WideString wide = odbc::ToWide(text);
  EXPECT_EQ(wide.size(), 10u);  // the emoji takes a surrogate pair
  EXPECT_EQ(wide[6], 0xD83D);
  EXPECT_EQ(wide[7], 0xDE00);
  EXPECT_EQ(odbc::FromWide(wide.data(), wide.size()), text);
}

TEST(OdbcWideText, DamagedInputBecomesReplacementCharacters) {
  // A lone continuation byte, a cut sequence, an overlong slash, an encoded surrogate.
  odbc::WideString wide = odbc::ToWide("a\x80" "b\xE6\x97" "c\xC0\xAF" "d\xED\xA0\x80");
  EXPECT_EQ(odbc::FromWide(wide.data(), wide.size()), "a\uFFFDb\uFFFDc\uFFFDd\uFFFD");
  const SQLWCHAR lone[] = {'x', 0xD800, 'y', 0xDC00};
  EXPECT_EQ(odbc::FromWide(lone, 4), "x\uFFFDy\uFFFD");
}

}  // namespace
