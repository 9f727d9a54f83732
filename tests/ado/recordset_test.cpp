// Recordset and Connection semantics over a scripted cursor: the behaviour the
// conversion run and the catalogue loops rely on, independent of any provider.

#include "platform/ado/recordset.h"

#include <gtest/gtest.h>

#include "platform/ado/connection.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "tests/support/environment.h"

namespace {

// Rows given up front, handed out one by one; counts how many were asked for.
class ScriptedCursor : public ado::Cursor {
 public:
  ScriptedCursor(std::vector<ado::ColumnInfo> columns, std::vector<std::vector<ado::Value>> rows, int* fetches = nullptr)
      : columns_(std::move(columns)), rows_(std::move(rows)), fetches_(fetches) {}
  const std::vector<ado::ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<ado::Value>& row) override {
    if (fetches_) ++*fetches_;
    if (next_ >= rows_.size()) return false;
    row = rows_[next_++];
    return true;
  }

 private:
  std::vector<ado::ColumnInfo> columns_;
  std::vector<std::vector<ado::Value>> rows_;
  size_t next_ = 0;
  int* fetches_;
};

std::unique_ptr<ScriptedCursor> TwoColumns(std::vector<std::vector<ado::Value>> rows, int* fetches = nullptr) {
  return std::make_unique<ScriptedCursor>(
      std::vector<ado::ColumnInfo>{{"id", ado::adInteger}, {"Name", ado::adVarWChar}}, std::move(rows), fetches);
}

template <typename F>
long ErrorNumber(F&& f) {
  try {
    f();
  } catch (const ado::Error& e) {
    return e.Number();
  }
  return 0;
}

class RecordsetCursors : public testing::TestWithParam<int> {};

TEST_P(RecordsetCursors, EmptyResultIsAtBothEnds) {
  ado::Recordset rs;
  rs.Attach(TwoColumns({}), GetParam());
  EXPECT_TRUE(rs.IsOpen());
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(rs.FieldCount(), 2u);  // the columns are known without a row
  EXPECT_EQ(rs.RecordCount(), GetParam() == ado::adUseClient ? 0 : -1);
  EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), ado::kErrorNoCurrentRecord);
  EXPECT_EQ(ErrorNumber([&] { (void)rs.Fields(0).Value(); }), ado::kErrorNoCurrentRecord);
}

TEST_P(RecordsetCursors, WalksRowsThenStopsAtTheEnd) {
  ado::Recordset rs;
  rs.Attach(TwoColumns({{1, "a"}, {2, ado::Null{}}, {3, ""}}), GetParam());
  EXPECT_EQ(rs.RecordCount(), GetParam() == ado::adUseClient ? 3 : -1);
  EXPECT_FALSE(rs.Bof());
  EXPECT_FALSE(rs.Eof());
  std::vector<std::string> seen;
  for (; !rs.Eof(); rs.MoveNext()) {
    EXPECT_FALSE(rs.Bof());
    seen.push_back(rs.Fields(0).Value().ToText() + "/" + rs.Fields(1).Value().ToText() +
                   (rs.Fields(1).Value().IsNull() ? "(null)" : ""));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1/a", "2/(null)", "3/"}));
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), ado::kErrorNoCurrentRecord);
  EXPECT_EQ(ErrorNumber([&] { (void)rs.Fields(1).Value(); }), ado::kErrorNoCurrentRecord);
}

INSTANTIATE_TEST_SUITE_P(Recordset, RecordsetCursors, testing::Values(ado::adUseServer, ado::adUseClient),
                         [](const auto& info) { return info.param == ado::adUseClient ? "Client" : "Server"; });

TEST(Recordset, ServerCursorFetchesOneRowAhead) {
  int fetches = 0;
  ado::Recordset rs;
  rs.Attach(TwoColumns({{1, "a"}, {2, "b"}, {3, "c"}}, &fetches), ado::adUseServer);
  EXPECT_EQ(fetches, 1);  // streaming: not the whole result at open
  rs.MoveNext();
  EXPECT_EQ(fetches, 2);

  fetches = 0;
  ado::Recordset held;
  held.Attach(TwoColumns({{1, "a"}, {2, "b"}, {3, "c"}}, &fetches), ado::adUseClient);
  EXPECT_EQ(fetches, 4);  // every row and the end
}

TEST(Recordset, FieldsByNameIgnoreCaseAndByPosition) {
  ado::Recordset rs;
  rs.Attach(TwoColumns({{7, "x"}}), ado::adUseServer);
  EXPECT_EQ(rs.Fields("name").Value().ToText(), "x");
  EXPECT_EQ(rs.Fields("NAME").Name(), "Name");
  EXPECT_EQ(rs.Fields("ID").Type(), ado::adInteger);
  EXPECT_EQ(rs.Fields(1).Type(), ado::adVarWChar);
  ASSERT_EQ(rs.Fields().size(), 2u);
  EXPECT_EQ(rs.Fields()[0].Name(), "id");
  EXPECT_EQ(ErrorNumber([&] { rs.Fields("nam"); }), ado::kErrorItemNotFound);
  EXPECT_EQ(ErrorNumber([&] { rs.Fields(2); }), ado::kErrorItemNotFound);
}

TEST(Recordset, ClosedRecordsetRefusesEveryRead) {
  ado::Recordset rs;
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(ErrorNumber([&] { (void)rs.Eof(); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { (void)rs.Bof(); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { (void)rs.RecordCount(); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { rs.Fields(0); }), ado::kErrorObjectClosed);

  ado::Recordset closed;
  closed.Attach(TwoColumns({{1, "a"}}), ado::adUseClient);
  closed.Close();
  closed.Close();  // closing twice is harmless
  EXPECT_EQ(ErrorNumber([&] { (void)closed.Eof(); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { closed.Fields("id"); }), ado::kErrorObjectClosed);

  // A statement without rows gives a closed record set.
  ado::Recordset no_rows;
  no_rows.Attach(nullptr, ado::adUseServer);
  EXPECT_FALSE(no_rows.IsOpen());
}

TEST(Connection, CreatedByProgrammaticName) {
  EXPECT_EQ(ErrorNumber([] { ado::CreateConnection("ADODB.Nothing"); }), ado::kErrorCannotCreateObject);
  EXPECT_EQ(ErrorNumber([] { ado::CreateRecordset("ADODB.Connection"); }), ado::kErrorCannotCreateObject);
  EXPECT_NE(ado::CreateRecordset("ADODB.RecordSet"), nullptr);
  PELMORA_REQUIRE(ado::OdbcDriverManagerAvailable(), "the ODBC driver manager (unixodbc)");
  auto connection = ado::CreateConnection("ADODB.Connection");
  ASSERT_NE(connection, nullptr);
  // ADO's defaults.
  EXPECT_EQ(connection->CursorLocation, ado::adUseServer);
  EXPECT_EQ(connection->CommandTimeout, 30);
  EXPECT_EQ(connection->ConnectionTimeout, 15);
}

TEST(Connection, ClosedConnectionRefusesWork) {
  ado::Connection connection;
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(ErrorNumber([&] { connection.Execute("select 1"); }), ado::kErrorObjectClosed);
  EXPECT_EQ(ErrorNumber([&] { connection.OpenSchema(ado::adSchemaTables); }), ado::kErrorObjectClosed);
  ado::Recordset rs;
  EXPECT_EQ(ErrorNumber([&] { rs.Open("select 1", connection); }), ado::kErrorObjectClosed);
  connection.Close();  // closing a closed connection is harmless
}

TEST(Connection, ProviderWeDoNotHaveIsNotFound) {
  for (const char* cs : {"Provider=SQLOLEDB;Data Source=x", "Provider=Microsoft.Jet.OLEDB.3.51;Data Source=a.mdb"}) {
    ado::Connection connection;
    try {
      connection.Open(cs);
      ADD_FAILURE() << cs << " opened";
    } catch (const ado::Error& e) {
      EXPECT_EQ(e.Number(), ado::kErrorProviderNotFound) << cs;
      EXPECT_EQ(e.Description(), "Provider cannot be found. It may not be properly installed.");
    }
    EXPECT_FALSE(connection.IsOpen());
  }
}

}  // namespace
