#include "engine/row_statement.h"

#include <gtest/gtest.h>

#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "tests/engine/table_conversion.h"
#include "tests/support/fake_cursor.h"
#include "tests/support/scripted_services.h"

namespace {

using ado::DateTime;
using ado::Null;
using ado::Value;
using engine::NumericPositions;
using testing_support::FakeRecordset;
using testing_support::ScriptedServices;

// Every row statement of a table given by its fields and rows.
std::vector<std::string> Rows(std::string_view table, std::vector<ado::ColumnInfo> columns,
                              std::vector<std::vector<Value>> rows) {
  auto recordset = FakeRecordset(std::move(columns), std::move(rows));
  engine::ConversionLog log;
  report::Trap trap("Form1.PushButton7_Click");
  return testing_support::ConvertTable(table, *recordset, log, trap).rows;
}

TEST(NumericPositions, SplitsTheDefinitionsText) {
  EXPECT_EQ(NumericPositions::Split("0, 3, ").List(), (std::vector<long>{0, 3}));
  EXPECT_EQ(NumericPositions::Split("12").List(), (std::vector<long>{12}));
  EXPECT_EQ(NumericPositions::Split(" 1 ,2,").List(), (std::vector<long>{1, 2}));
  EXPECT_TRUE(NumericPositions::Split("").Empty());
  EXPECT_TRUE(NumericPositions::Split(", ").Empty());
  EXPECT_THROW(NumericPositions::Split("0, x, "), std::invalid_argument);
  EXPECT_THROW(NumericPositions::Split("1.5"), std::invalid_argument);
}

// id INT, name VARCHAR, created TEXT (from a timestamp).
TEST(BuildRowStatement, WritesNumbersBareTextsQuotedDatesRewrittenAndNullsAfterTheComma) {
  ScriptedServices services;
  auto rows = Rows("t", {{"id", ado::adInteger}, {"name", ado::adVarWChar}, {"created", ado::adDBTimeStamp}},
                   {{1, "O'Brien", DateTime{{2021, 8, 31}, {14, 5, 0, 0}}},
                    {2, Null{}, DateTime{{2021, 8, 31}, {0, 0, 0, 0}}},
                    {Null{}, "x", Null{}}});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "INSERT INTO \"t\" VALUES(1, 'O''Brien', '08/31/2021 14:05:00')",
                      "INSERT INTO \"t\" VALUES(2,NULL, '08/31/2021')",
                      "INSERT INTO \"t\" VALUES(NULL, 'x',NULL)",
                  }));
  EXPECT_TRUE(services.messages.empty());
}

TEST(BuildRowStatement, CleansQuotesAndLineBreaksOnly) {
  ScriptedServices services;
  auto rows = Rows("t", {{"s", ado::adLongVarWChar}},
                   {{"it's Jo's"},
                    {"one\r\ntwo"},
                    {"one\rtwo"},
                    {"one\ntwo"},
                    {"a\r\r\n\n\rb"},
                    {"say \"hi\" \\ back\\slash %_*"},
                    {"Zoë – 東京 🙂"},
                    {"\r\n"},
                    {""},
                    {"'"}});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "INSERT INTO \"t\" VALUES('it''s Jo''s')",
                      "INSERT INTO \"t\" VALUES('onetwo')",
                      "INSERT INTO \"t\" VALUES('onetwo')",
                      "INSERT INTO \"t\" VALUES('onetwo')",
                      "INSERT INTO \"t\" VALUES('ab')",
                      "INSERT INTO \"t\" VALUES('say \"hi\" \\ back\\slash %_*')",
                      "INSERT INTO \"t\" VALUES('Zoë – 東京 🙂')",
                      "INSERT INTO \"t\" VALUES('')",  // only line breaks: not empty before cleaning
                      "INSERT INTO \"t\" VALUES(NULL)",  // empty text is written like Null
                      "INSERT INTO \"t\" VALUES('''')",
                  }));
}

TEST(BuildRowStatement, NumericFieldsFollowNumericPositions) {
  ScriptedServices services;
  // a INT, b VARCHAR, c DECIMAL, d FLOAT, e REAL (single): positions 0, 2, 3, 4.
  auto rows = Rows("n",
                   {{"a", ado::adInteger}, {"b", ado::adVarWChar}, {"c", ado::adDecimal}, {"d", ado::adDouble},
                    {"e", ado::adSingle}},
                   {{int64_t{-9223372036854775807LL - 1}, "7", ado::Decimal{"-12.50"}, 0.1, 1.5},
                    {true, "True", ado::Decimal{"0"}, -1e300, false},
                    {Null{}, Null{}, Null{}, Null{}, Null{}},
                    {"", "", "", "", ""},
                    {0, "3,5", ado::Decimal{"12345678901234567890.123"}, 2.5e-7, Null{}}});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "INSERT INTO \"n\" VALUES(-9223372036854775808, '7', -12.50, 0.1, 1.5)",
                      // Booleans in numeric fields become 1 and 0; in text fields they stay words.
                      "INSERT INTO \"n\" VALUES(1, 'True', 0, -1e+300, 0)",
                      "INSERT INTO \"n\" VALUES(NULL,NULL,NULL,NULL,NULL)",
                      "INSERT INTO \"n\" VALUES(NULL,NULL,NULL,NULL,NULL)",
                      // A table with numeric fields keeps the commas of its text values.
                      "INSERT INTO \"n\" VALUES(0, '3,5', 12345678901234567890.123, 2.5e-07,NULL)",
                  }));
}

TEST(BuildRowStatement, TextsThatReadAsNumbersStayQuotedAndDecimalCommasStayText) {
  ScriptedServices services;
  // No numeric field at all: the number test is applied to text values and a
  // decimal comma or thousands separator is not taken for a number.
  auto rows = Rows("s", {{"a", ado::adVarChar}, {"b", ado::adNumeric}, {"c", ado::adCurrency}},
                   {{"12", ado::Decimal{"3.25"}, 1234.5}, {"3,5", "1,234", "12-1"}});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "INSERT INTO \"s\" VALUES('12', '3.25', '1234.5')",
                      "INSERT INTO \"s\" VALUES('3,5', '1,234', '12-1')",
                  }));
}

TEST(BuildRowStatement, AnyTextThatReadsAsADateIsRewritten) {
  ScriptedServices services;
  auto rows = Rows("d", {{"s", ado::adVarWChar}, {"day", ado::adDBDate}, {"at", ado::adDBTime}},
                   {{"2021-08-31", ado::Date{2020, 2, 29}, ado::Time{14, 5, 0, 0}},
                    {"2021-08-31 23:59:59.999999", ado::Date{1, 1, 1}, ado::Time{0, 0, 0, 0}},
                    {"2021-02-29", "14:05:00", "2021-08-31T14:05:00"}});
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "INSERT INTO \"d\" VALUES('08/31/2021', '02/29/2020', '14:05:00')",
                      "INSERT INTO \"d\" VALUES('08/31/2021 23:59:59', '01/01/0001', '00:00:00')",
                      // Not dates: an impossible day, a bare time, another layout.
                      "INSERT INTO \"d\" VALUES('2021-02-29', '14:05:00', '2021-08-31T14:05:00')",
                  }));
}

TEST(BuildRowStatement, LongBinaryFieldsGetNoValueAndNoSeparator) {
  ScriptedServices services;
  auto rows = Rows("p",
                   {{"a", ado::adInteger}, {"pic", ado::adLongVarBinary}, {"c", ado::adDouble},
                    {"doc", ado::adLongVarBinary}},
                   {{1, ado::Binary{1, 2}, 2.5, ado::Binary{}}, {Null{}, Null{}, Null{}, Null{}}});
  EXPECT_EQ(rows, (std::vector<std::string>{"INSERT INTO \"p\" VALUES(1, 2.5)",
                                            "INSERT INTO \"p\" VALUES(NULL,NULL)"}));
  // Once per field for the definition, then once per written field of each row.
  EXPECT_EQ(services.events_processed, 4 + 2 * 2);
  auto leading = Rows("q", {{"pic", ado::adLongVarBinary}, {"s", ado::adVarChar}}, {{ado::Binary{9}, Null{}}});
  EXPECT_EQ(leading, (std::vector<std::string>{"INSERT INTO \"q\" VALUES(NULL)"}));
}

TEST(BuildRowStatement, TableWithoutValuesToWriteGivesNoStatements) {
  ScriptedServices services;
  EXPECT_TRUE(Rows("b", {{"x", ado::adLongVarBinary}}, {{ado::Binary{1}}, {Null{}}}).empty());
  // The builder alone gives the empty text too, should a caller ask.
  auto blobs = FakeRecordset({{"x", ado::adLongVarBinary}}, {{ado::Binary{1}}});
  auto nothing = FakeRecordset({}, {{}});
  report::Trap trap("Form1.PushButton7_Click");
  EXPECT_EQ(engine::BuildRowStatement("b", *blobs, {}, trap), "");
  EXPECT_EQ(engine::BuildRowStatement("e", *nothing, {}, trap), "");
  EXPECT_TRUE(services.messages.empty());
}

// A value that cannot be read (here: the record set is past its last row) is
// reported under the run's name with step 320 and written as NULL; the
// statement is still finished.
TEST(BuildRowStatement, UnreadableValuesAreReportedAndWrittenAsNull) {
  ScriptedServices services;
  auto recordset = FakeRecordset({{"a", ado::adInteger}, {"b", ado::adVarChar}}, {});
  report::Trap trap("Form1.PushButton7_Click");
  EXPECT_EQ(engine::BuildRowStatement("t", *recordset, NumericPositions::Split("0, "), trap),
            "INSERT INTO \"t\" VALUES(NULL,NULL)");
  ASSERT_EQ(services.messages.size(), 2u);
  EXPECT_NE(services.messages[0].text.find("Form1.PushButton7_Click at line 320\r\r"), std::string::npos);
}

TEST(RowStatementBuilder, StartsEveryRowAfresh) {
  ScriptedServices services;
  auto recordset = FakeRecordset({{"a", ado::adVarChar}, {"b", ado::adInteger}, {"c", ado::adVarChar}},
                                 {{"x", 1, "it's"}, {Null{}, 2, "y"}, {"z", Null{}, Null{}}});
  report::Trap trap("Form1.PushButton7_Click");
  engine::RowStatementBuilder builder("t", NumericPositions::Split("1, "), trap);
  std::vector<std::string> out;
  for (; !recordset->Eof(); recordset->MoveNext()) out.push_back(builder.Build(*recordset));
  // The numeric cursor goes back to the first position on each row.
  EXPECT_EQ(out, (std::vector<std::string>{"INSERT INTO \"t\" VALUES('x', 1, 'it''s')",
                                           "INSERT INTO \"t\" VALUES(NULL, 2, 'y')",
                                           "INSERT INTO \"t\" VALUES('z',NULL,NULL)"}));
}

}  // namespace
