#include "engine/table_definition.h"

#include <gtest/gtest.h>

#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "tests/support/fake_cursor.h"
#include "tests/support/scripted_services.h"

namespace {

using engine::ColumnMapping;
using engine::ConversionLog;
using testing_support::FakeRecordset;
using testing_support::ScriptedServices;

struct Built {
  engine::TableDefinition definition;
  ConversionLog log;
};

Built Define(std::string_view table, std::vector<ado::ColumnInfo> columns) {
  Built out;
  auto recordset = FakeRecordset(std::move(columns));
  report::Trap trap("Form1.PushButton7_Click");
  out.definition = engine::BuildTableDefinition(table, *recordset, out.log, trap);
  return out;
}

TEST(BuildTableDefinition, DeclaresEachFieldByItsRuleWithoutBlanksAfterCommas) {
  ScriptedServices services;
  auto built = Define("orders", {{"id", ado::adInteger}, {"name", ado::adVarWChar}, {"price", ado::adNumeric}});
  EXPECT_EQ(built.definition.statement, "CREATE TABLE \"orders\" (id INT,name VARCHAR,price VARCHAR);");
  EXPECT_EQ(built.definition.numeric_positions, "0, ");
  EXPECT_TRUE(services.messages.empty());

  auto single = Define("t", {{"id", ado::adInteger}});
  EXPECT_EQ(single.definition.statement, "CREATE TABLE \"t\" (id INT);");
  EXPECT_EQ(single.definition.numeric_positions, "0, ");

  auto characters = Define("t", {{"a", ado::adChar}, {"b", ado::adWChar}, {"c", ado::adLongVarChar}});
  EXPECT_EQ(characters.definition.statement, "CREATE TABLE \"t\" (a VARCHAR,b VARCHAR,c VARCHAR);");
  EXPECT_EQ(characters.definition.numeric_positions, "");
}

// Every name of the type table, through the ordered substring rules.
TEST(BuildTableDefinition, RuleOrderDecidesTypeLabelAndNumericFlag) {
  ScriptedServices services;
  struct Case {
    int16_t type;
    const char* declared;
    const char* label;
    const char* access;
    bool numeric;
  };
  const std::vector<Case> cases = {
      {ado::adChar, "VARCHAR", "char", "VARCHAR", false},
      {ado::adVarChar, "VARCHAR", "char", "VARCHAR", false},
      {ado::adWChar, "VARCHAR", "char", "VARCHAR", false},
      {ado::adVarWChar, "VARCHAR", "char", "VARCHAR", false},
      {ado::adLongVarChar, "VARCHAR", "char", "VARCHAR", false},
      {ado::adLongVarWChar, "VARCHAR", "char", "VARCHAR", false},  // long text is not a memo
      {ado::adDecimal, "DECIMAL", "dec", "DECIMAL", true},
      {ado::adSingle, "REAL", "single", "REAL", true},  // single precision stays a 4-byte float
      {ado::adInteger, "INT", "int", "INT", true},
      {ado::adSmallInt, "INT", "int", "INT", true},
      {ado::adTinyInt, "INT", "int", "INT", true},
      {ado::adBigInt, "INT", "int", "INT", true},
      {ado::adUnsignedTinyInt, "INT", "int", "INT", true},
      {ado::adUnsignedSmallInt, "INT", "int", "INT", true},
      {ado::adUnsignedInt, "INT", "int", "INT", true},
      {ado::adUnsignedBigInt, "INT", "int", "INT", true},
      {ado::adDate, "TEXT", "date", "VARCHAR", false},
      {ado::adDBDate, "TEXT", "date", "VARCHAR", false},
      {ado::adDBTimeStamp, "TEXT", "timestamp", "VARCHAR", false},
      {ado::adDouble, "FLOAT", "double", "FLOAT", true},
      {ado::adNumeric, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adVarNumeric, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adCurrency, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adBoolean, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adDBTime, "VARCHAR", "OTHER TYPES", "VARCHAR", false},  // neither "date" nor "timestamp"
      {ado::adBinary, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adVarBinary, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adGUID, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adBSTR, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adFileTime, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adEmpty, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adVariant, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {ado::adPropVariant, "VARCHAR", "OTHER TYPES", "VARCHAR", false},
      {1, "VARCHAR", "OTHER TYPES", "VARCHAR", false},    // unknown code: empty name
      {137, "VARCHAR", "OTHER TYPES", "VARCHAR", false},  // unknown code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    auto built = Define("t", {{"f", c.type}});
    EXPECT_EQ(built.definition.statement, std::string("CREATE TABLE \"t\" (f ") + c.declared + ");");
    EXPECT_EQ(built.definition.numeric_positions, c.numeric ? "0, " : "");
    ASSERT_EQ(built.log.RowCount(), 1u);
    EXPECT_EQ(built.log.Row(0), (ColumnMapping{"t", "f", c.label, c.access}));
  }
}

TEST(BuildTableDefinition, LongBinaryLeavesNoColumnButKeepsItsPositionAndLogRow) {
  ScriptedServices services;
  auto built = Define("pics", {{"a", ado::adInteger}, {"b", ado::adLongVarBinary}, {"c", ado::adDouble}});
  EXPECT_EQ(built.definition.statement, "CREATE TABLE \"pics\" (a INT,c FLOAT);");
  EXPECT_EQ(built.definition.numeric_positions, "0, 2, ");
  EXPECT_EQ(built.log.Rows(), (std::vector<ColumnMapping>{{"pics", "a", "int", "INT"},
                                                          {"pics", "b", "", ""},
                                                          {"pics", "c", "double", "FLOAT"}}));
}

// Nothing to declare: no CREATE TABLE at all (the caller skips the table), but
// the fields are still logged.
TEST(BuildTableDefinition, TableWithoutColumnsToDeclareGivesNoStatement) {
  ScriptedServices services;
  auto blobs = Define("blobs", {{"x", ado::adLongVarBinary}, {"y", ado::adLongVarBinary}});
  EXPECT_EQ(blobs.definition.statement, "");
  EXPECT_EQ(blobs.definition.numeric_positions, "");
  EXPECT_EQ(blobs.log.Rows(), (std::vector<ColumnMapping>{{"blobs", "x", "", ""}, {"blobs", "y", "", ""}}));

  auto none = Define("nothing", {});
  EXPECT_EQ(none.definition.statement, "");
  EXPECT_EQ(none.log.RowCount(), 0u);
  EXPECT_TRUE(services.messages.empty());
}

TEST(BuildTableDefinition, NamesAreWrittenVerbatimAndTheLogGrowsAcrossTables) {
  ScriptedServices services;
  ConversionLog log;
  report::Trap trap("Form1.PushButton7_Click");
  auto first = FakeRecordset({{"Order Date", ado::adDBTimeStamp}});
  auto second = FakeRecordset({{"n", ado::adBigInt}, {"m", ado::adBigInt}});
  auto a = engine::BuildTableDefinition("my \"odd\" table", *first, log, trap);
  auto b = engine::BuildTableDefinition("second", *second, log, trap);
  // Neither the table nor the field name is quoted or escaped.
  EXPECT_EQ(a.statement, "CREATE TABLE \"my \"odd\" table\" (Order Date TEXT);");
  EXPECT_EQ(b.statement, "CREATE TABLE \"second\" (n INT,m INT);");
  EXPECT_EQ(b.numeric_positions, "0, 1, ");  // started afresh for the second table
  EXPECT_EQ(log.Rows(), (std::vector<ColumnMapping>{{"my \"odd\" table", "Order Date", "timestamp", "VARCHAR"},
                                                    {"second", "n", "int", "INT"},
                                                    {"second", "m", "int", "INT"}}));
  EXPECT_EQ(services.events_processed, 3);  // once per field
}

// A services double whose event pump fails: each failure is reported under the
// run's name with step 194, and the definition is still complete.
class FailingEvents : public ScriptedServices {
 public:
  void ProcessEvents() override { throw ado::Error(-1, "pump failed"); }
};

TEST(BuildTableDefinition, FailingStepsAreReportedUnderTheRunAndTheBuildGoesOn) {
  FailingEvents services;
  auto built = Define("t", {{"a", ado::adInteger}, {"b", ado::adVarChar}});
  EXPECT_EQ(built.definition.statement, "CREATE TABLE \"t\" (a INT,b VARCHAR);");
  ASSERT_EQ(services.messages.size(), 2u);
  for (const auto& message : services.messages) {
    EXPECT_EQ(message.title, "Application Error");
    EXPECT_TRUE(message.text.starts_with("pump failed\r\nin Tavrix2021/08/31.Form1.PushButton7_Click at line 194\r\r"))
        << message.text;
  }

  // A closed record set has no fields: one report at the loop, no statement.
  ScriptedServices quiet;
  ado::Recordset closed;
  ConversionLog log;
  report::Trap trap("Form1.PushButton7_Click");
  auto none = engine::BuildTableDefinition("t", closed, log, trap);
  EXPECT_EQ(none.statement, "");
  ASSERT_EQ(quiet.messages.size(), 1u);
  EXPECT_NE(quiet.messages[0].text.find("at line 190\r\r"), std::string::npos);
}

TEST(ConversionLog, SubItemsGoToTheLastRowAndNeedOne) {
  ConversionLog log;
  EXPECT_THROW(log.SetLastRowSubItem(ConversionLog::kField, "x"), std::out_of_range);
  log.AddRow("t");
  log.SetLastRowSubItem(ConversionLog::kField, "f");
  log.AddRow("u");
  log.SetLastRowSubItem(ConversionLog::kAccessType, "INT");
  EXPECT_THROW(log.SetLastRowSubItem(4, "x"), std::out_of_range);
  EXPECT_EQ(log.Rows(), (std::vector<ColumnMapping>{{"t", "f", "", ""}, {"u", "", "", "INT"}}));
  log.Clear();
  EXPECT_EQ(log.RowCount(), 0u);
}

}  // namespace
