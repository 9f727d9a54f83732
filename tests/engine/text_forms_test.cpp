#include "engine/text_forms.h"

#include <gtest/gtest.h>

namespace {

using engine::DateForm;
using engine::IsDate;
using engine::IsNumber;
using engine::ParseDate;

TEST(IsNumber, AcceptsTheFormsTheSourceDelivers) {
  for (const char* text : {"0", "-12", "+7", "3.5", "-0.25", ".5", "5.", "1e10", "-2.5E-3", "1e+300",
                           "123456789012345678901234567890.000000001", "00042"})
    EXPECT_TRUE(IsNumber(text)) << text;
}

TEST(IsNumber, RejectsOrdinaryTextAndRegionalForms) {
  // A decimal comma, thousands separators, dates, blanks and words are text.
  for (const char* text : {"", "-", "+", ".", "-.", "1.2.3", "12-1", "1,234", "3,5", " 12", "12 ", "1e", "1e+",
                           "e5", "1e5.5", "NaN", "Infinity", "-Infinity", "0x10", "1_000", "$12", "12%",
                           "2021-08-31", "\xEF\xBC\x91\xEF\xBC\x92" /* full-width 12 */})
    EXPECT_FALSE(IsNumber(text)) << text;
}

TEST(IsDate, AcceptsDatesAndDateTimesWithOptionalFraction) {
  for (const char* text : {"2021-08-31", "2021-08-31 14:05:00", "2021-08-31 14:05:00.123456", "0001-01-01",
                           "9999-12-31 23:59:59.9", "2000-02-29", "2024-02-29 00:00:00"})
    EXPECT_TRUE(IsDate(text)) << text;
}

TEST(IsDate, RejectsTimesOtherLayoutsAndImpossibleDates) {
  for (const char* text :
       {"", "14:05:00", "12-1", "2021-8-31", "21-08-31", "2021/08/31", "31.08.2021", "08/31/2021",
        "2021-08-31T14:05:00", "2021-08-31 14:05", "2021-08-31 ", "2021-08-31 14:05:00.", "2021-08-31 14:05:00.1x",
        "2021-08-31 14:05:00+02", " 2021-08-31", "2021-02-29", "1900-02-29", "2100-02-29", "2021-04-31",
        "2021-13-01", "2021-00-10", "2021-01-00", "0000-01-01", "2021-08-31 24:00:00", "2021-08-31 14:60:00",
        "2021-08-31 14:05:60", "-044-03-15", "10000-01-01"})
    EXPECT_FALSE(IsDate(text)) << text;
}

TEST(FormatDate, WritesTheTwoFormsWithSlashesAndColons) {
  auto d = ParseDate("2021-08-31 04:05:06.789");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->has_time);
  EXPECT_EQ(engine::FormatDate(*d, DateForm::kDateTime), "08/31/2021 04:05:06");  // fraction dropped
  EXPECT_EQ(engine::FormatDate(*d, DateForm::kDate), "08/31/2021");
  auto early = ParseDate("0099-01-02");
  ASSERT_TRUE(early);
  EXPECT_FALSE(early->has_time);
  EXPECT_EQ(engine::FormatDate(*early, DateForm::kDateTime), "01/02/0099 00:00:00");
}

}  // namespace
