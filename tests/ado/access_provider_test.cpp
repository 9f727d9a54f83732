// The Access provider: connection strings as the program builds them, the
// tables schema with ADO's TABLE_TYPE values, SELECT * record sets with ADO
// type codes, and the failures the program tests for.

#include <gtest/gtest.h>

#include "platform/access_provider/connection_string.h"
#include "platform/ado/connection.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "tests/support/environment.h"

namespace {

using testing_support::AccessFixture;

TEST(JetProviderTest, ConnectionStringKeepsSemicolonsInPathAndPassword) {
  auto a = access_provider::ParseAccessConnectionString(
      "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/tmp/a;b.accdb;JET OLEDB:Database Password=p;w=d;");
  EXPECT_EQ(a.path, "/tmp/a;b.accdb");
  EXPECT_EQ(a.password, "p;w=d;");
  auto b = access_provider::ParseAccessConnectionString(
      "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\x y\\db.mdb;JET OLEDB:Database Password=");
  EXPECT_EQ(b.path, "C:\\x y\\db.mdb");
  EXPECT_EQ(b.password, "");
  auto c = access_provider::ParseAccessConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;data source=db.mdb");
  EXPECT_EQ(c.path, "db.mdb");
  EXPECT_EQ(c.password, "");
}

std::string Jet(const std::string& path, const std::string& password = "") {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";JET OLEDB:Database Password=" + password;
}
std::string Ace(const std::string& path, const std::string& password = "") {
  return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path + ";JET OLEDB:Database Password=" + password;
}

TEST(JetProviderTest, TablesSchemaHasAdoTableTypes) {
  REQUIRE_FIXTURE(file, "indexes-2007.accdb");
  ado::Connection conn;
  conn.Open(Jet(file));  // the provider name does not decide the format
  auto rs = conn.OpenSchema(ado::adSchemaTables);
  std::vector<std::pair<std::string, std::string>> rows;
  for (; !rs->Eof(); rs->MoveNext())
    rows.emplace_back(rs->Fields("TABLE_TYPE").Value().ToText(), rs->Fields("TABLE_NAME").Value().ToText());
  auto has = [&](const std::string& type, const std::string& name) {
    return std::find(rows.begin(), rows.end(), std::make_pair(type, name)) != rows.end();
  };
  EXPECT_TRUE(has("TABLE", "Table1"));
  EXPECT_TRUE(has("TABLE", "MSysCompactError"));  // flags 0: a table like any other
  EXPECT_TRUE(has("SYSTEM TABLE", "MSysObjects"));
  EXPECT_TRUE(has("ACCESS TABLE", "MSysNavPaneGroups"));
  EXPECT_FALSE(has("TABLE", "Tables"));  // containers are no tables
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(rows[i - 1].first, rows[i].first) << "ordered by type";
  conn.Close();
}

TEST(JetProviderTest, SelectAllGivesAdoTypesAndValues) {
  REQUIRE_FIXTURE(file, "content-2000.mdb");
  ado::Connection conn;
  conn.CursorLocation = ado::adUseClient;
  conn.Open(Ace(file));
  auto rs = conn.Execute("SELECT * FROM \"Table1\"");
  ASSERT_TRUE(rs->IsOpen());
  EXPECT_EQ(rs->RecordCount(), 2);
  std::vector<int16_t> types;
  for (auto& f : rs->Fields()) types.push_back(f.Type());
  EXPECT_EQ(types, (std::vector<int16_t>{ado::adVarWChar, ado::adVarWChar, ado::adUnsignedTinyInt, ado::adSmallInt,
                                         ado::adInteger, ado::adDouble, ado::adDate, ado::adCurrency,
                                         ado::adBoolean}));
  EXPECT_EQ(rs->Fields("A").Value().ToText(), "abcdefg");
  EXPECT_EQ(rs->Fields("E").Value().ToText(), "333333333");
  EXPECT_EQ(rs->Fields("F").Value().ToText(), "444.555");
  EXPECT_EQ(rs->Fields("G").Value().ToText(), "1974-09-21");
  EXPECT_EQ(rs->Fields("H").Value().ToText(), "3.5");
  EXPECT_EQ(rs->Fields("I").Value().ToText(), "True");
  auto bracketed = conn.Execute("select * from [table1];");  // names match without regard to case
  EXPECT_EQ(bracketed->RecordCount(), 2);
}

TEST(JetProviderTest, FailuresCarryClearDescriptions) {
  REQUIRE_FIXTURE(plain, "content-2000.mdb");
  REQUIRE_FIXTURE(protected_file, "password-2003.mdb");
  REQUIRE_FIXTURE(encrypted, "password-2010.accdb");
  auto open_error = [](const std::string& cs) -> std::string {
    try {
      ado::Connection conn;
      conn.Open(cs);
    } catch (const ado::Error& e) {
      EXPECT_EQ(e.Number(), ado::kErrorProvider);
      // A file that cannot be opened is never a refused statement: the SQL
      // Preview must report it rather than stop at a row.
      EXPECT_NE(e.Kind(), ado::ErrorKind::kStatementRefused) << e.Description();
      if (e.Description() == "Not a valid password.") {
        EXPECT_EQ(e.Kind(), ado::ErrorKind::kLoginRefused);
      }
      return e.Description();
    }
    return "";
  };
  EXPECT_EQ(open_error(Jet(protected_file, "wrong")), "Not a valid password.");
  EXPECT_EQ(open_error(Jet(protected_file)), "Not a valid password.");
  EXPECT_EQ(open_error(Ace(encrypted, "wrong")), "Not a valid password.");
  EXPECT_EQ(open_error(Ace(encrypted)), "Not a valid password.");
  EXPECT_EQ(open_error(Ace(encrypted, "password")), "");
  EXPECT_NE(open_error(Jet("/nonexistent/x.mdb")).find("Could not find file"), std::string::npos);

  ado::Connection ok;
  ok.Open(Jet(protected_file, "password"));
  ok.Close();
  ado::Connection conn;
  conn.Open(Jet(plain, "a password the file does not have"));  // ignored, as Jet does
  try {
    conn.Execute("DROP TABLE \"Table1\"");
    ADD_FAILURE() << "a connection opened without Mode = adModeReadWrite is read-only";
  } catch (const ado::Error& e) {
    EXPECT_EQ(e.Description().rfind("SQLException: ", 0), 0u) << e.Description();
    EXPECT_EQ(e.Kind(), ado::ErrorKind::kStatementRefused);
    EXPECT_NE(e.Description().find("read-only"), std::string::npos) << e.Description();
  }
  try {
    conn.Execute("SELECT * FROM \"no such table\"");
    ADD_FAILURE() << "a missing table must fail";
  } catch (const ado::Error& e) {
    EXPECT_NE(e.Description().find("no such table"), std::string::npos) << e.Description();
  }
}

// What the conversion run does on the target: Mode 3, then DROP / CREATE /
// INSERT texts; refusals carry one "SQLException: " prefix and the refused
// statement's kind (what the SQL Preview stops at), except on a closed
// connection (3704).
TEST(JetProviderTest, ExecutesStatementsOnAWritableConnection) {
  REQUIRE_FIXTURE(fixture, "empty-2007.accdb");
  std::string path = testing_support::CopyFile(fixture, testing_support::ScratchFolder("jet_provider_execute"));
  auto failure = [](ado::Connection& conn, const std::string& sql) -> std::string {
    try {
      auto rs = conn.Execute(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const ado::Error& e) {
      EXPECT_EQ(e.Number(), ado::kErrorProvider) << sql;
      EXPECT_EQ(e.Kind(), ado::ErrorKind::kStatementRefused) << sql;
      return e.Description();
    }
    return "";
  };
  {
    ado::Connection conn;
    conn.Mode = ado::adModeReadWrite;
    conn.Open(Ace(path));
    std::string missing = failure(conn, "DROP TABLE \"orders\"");
    EXPECT_EQ(missing.rfind("SQLException: ", 0), 0u) << missing;
    EXPECT_EQ(missing.find("SQLException: ", 1), std::string::npos) << "one prefix: " << missing;
    auto created = conn.Execute("CREATE TABLE \"orders\" (id INT,name VARCHAR,price VARCHAR);");
    EXPECT_FALSE(created && created->IsOpen()) << "statements give no open record set";
    conn.Execute("INSERT INTO \"orders\" VALUES(1, 'O''Brien', '08/31/2021')");
    conn.Execute("INSERT INTO \"orders\" VALUES(2,NULL, '3.5')");
    std::string wrong = failure(conn, "INSERT INTO \"orders\" VALUES('x', 'y', 'z')");
    EXPECT_EQ(wrong.rfind("SQLException: ", 0), 0u) << wrong;
    EXPECT_EQ(wrong.find("SQLException: ", 1), std::string::npos) << "one prefix: " << wrong;
    auto rs = conn.Execute("SELECT * FROM \"ORDERS\"");
    std::vector<std::string> names;
    for (; !rs->Eof(); rs->MoveNext()) names.push_back(rs->Fields("name").Value().ToText());
    EXPECT_EQ(names, (std::vector<std::string>{"O'Brien", ""}));
    conn.Close();
    try {
      conn.Execute("DROP TABLE \"orders\"");
      ADD_FAILURE() << "a closed connection executes nothing";
    } catch (const ado::Error& e) {
      EXPECT_EQ(e.Number(), ado::kErrorObjectClosed);
      EXPECT_EQ(e.Description().find("SQLException"), std::string::npos) << e.Description();
      EXPECT_NE(e.Kind(), ado::ErrorKind::kStatementRefused);
    }
  }
  // Close put everything on disk: a new connection sees the rows, and drops the table.
  ado::Connection again;
  again.Mode = ado::adModeReadWrite;
  again.Open(Ace(path));
  int rows = 0;
  for (auto rs = again.Execute("SELECT * FROM orders"); !rs->Eof(); rs->MoveNext()) ++rows;
  EXPECT_EQ(rows, 2);
  again.Execute("DROP TABLE \"Orders\"");
  auto schema = again.OpenSchema(ado::adSchemaTables);
  for (; !schema->Eof(); schema->MoveNext())
    EXPECT_NE(schema->Fields("TABLE_NAME").Value().ToText(), "orders");
  again.Close();
}

}  // namespace
