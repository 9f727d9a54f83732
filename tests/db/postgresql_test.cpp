#include "db/postgresql.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/source_probe.h"
#include "db/test_connection.h"
#include "tests/db/pg_scratch.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::Fields;
using testing_support::FreshDatabase;
using testing_support::Psql;
using testing_support::ScriptedServices;

using Pointers = std::vector<std::pair<std::string, int>>;

// Nothing listens on port 1 of the loopback address: refused at once.
const db::SourceFields kRefused{"127.0.0.1", "1", "nobody", "secret", "nothing"};

TEST(PostgreSQLConnectionString, ConcatenatesTheFieldsAsDisplayed) {
  EXPECT_EQ(db::PostgreSQLConnectionString({"localhost", "5432", "sa", "pw", "shop"}),
            "Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Uid=sa;Pwd=pw;Database=shop");
  // Empty fields give empty values; nothing is trimmed.
  EXPECT_EQ(db::PostgreSQLConnectionString({}),
            "Driver={PostgreSQL Unicode};Server=;Port=;Uid=;Pwd=;Database=");
  EXPECT_EQ(db::PostgreSQLConnectionString({" db.example ", "5432 ", "o'neil", "p}w=x", "my db"}),
            "Driver={PostgreSQL Unicode};Server= db.example ;Port=5432 ;Uid=o'neil;Pwd=p}w=x;Database=my db");
}

// A value with ";" (or a leading "{") would otherwise add keys of its own.
TEST(PostgreSQLConnectionString, BracesValuesThatCouldAddKeys) {
  EXPECT_EQ(db::PostgreSQLConnectionString({"h", "1", "u", "a;Database=other", "d"}),
            "Driver={PostgreSQL Unicode};Server=h;Port=1;Uid=u;Pwd={a;Database=other};Database=d");
  EXPECT_EQ(db::PostgreSQLConnectionString({"h;Driver=x", "1", "{u}", "p", "d}}"}),
            "Driver={PostgreSQL Unicode};Server={h;Driver=x};Port=1;Uid={{u}}};Pwd=p;Database=d}}");
}

TEST(PostgreSQLCatalogue, FilterSkipsOnlyNamesStartingWithSqlUnderscore) {
  for (const char* name : {"sql_features", "sql_", " sql_x", "sql_x  ", "  sql_parts  "})
    EXPECT_FALSE(db::IsListedTableName(name)) << name;
  for (const char* name : {"SQL_Notes", "Sql_x", "sql", "sq", "", "sqlx", "my_sql_x", "pg_statistic", "\tsql_x",
                           "sql-x"})
    EXPECT_TRUE(db::IsListedTableName(name)) << name;
}

TEST(PostgreSQLCatalogue, RefusedConnectionIsReportedOnceAndAddsNothing) {
  ScriptedServices services;
  db::MemoryListBox list;
  list.AddItem("kept");  // the procedure appends and never clears
  db::AddTablesToPostgreSQLListbox(list, kRefused);
  EXPECT_EQ(list.Items(), std::vector<std::string>{"kept"});
  ASSERT_EQ(services.messages.size(), 1u);
  EXPECT_EQ(services.messages[0].title, "Application Error");
  EXPECT_NE(services.messages[0].text.find("\r\nin Tavrix2021/08/31.PostgreSQL.AddTablesToPostgreSQLListbox at line 106\r\r"),
            std::string::npos)
      << services.messages[0].text;
}

TEST(CanConnectToPostgreSQL, FalseWithoutAMessageWhenRefusedOrUnreachable) {
  ScriptedServices services;
  EXPECT_FALSE(db::CanConnectToPostgreSQL(kRefused));
  EXPECT_FALSE(db::CanConnectToPostgreSQL({"no-such-host.invalid", "5432", "u", "p", "d"}));
  EXPECT_FALSE(db::CanConnectToPostgreSQL({}));
  EXPECT_TRUE(services.messages.empty());
}

// What the check tells its window, in order.
struct RecordedCheck : db::ConnectionCheckWindow {
  void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  void Connected() override {
    events.push_back("connected");
    if (fail_on_connected) throw std::runtime_error("the box could not be shown");
  }
  void NotConnected() override { events.push_back("not connected"); }
  std::vector<std::string> events;
  bool fail_on_connected = false;
};
using Events = std::vector<std::string>;

TEST(TestConnection, RefusedIsToldBusyThenNotConnectedThenIdle) {
  ScriptedServices services;
  RecordedCheck window;
  db::TestPostgreSQLConnection(kRefused, window);
  EXPECT_EQ(window.events, (Events{"busy", "not connected", "idle"}));
  EXPECT_TRUE(services.messages.empty());  // no report: the failure is the check's own
}

// --- Against the test server -------------------------------------------------

TEST(TestConnection, AgainstTheServer) {
  REQUIRE_PG(pg);
  ScriptedServices services;
  RecordedCheck connected;
  db::TestPostgreSQLConnection(Fields(pg, pg.database), connected);
  EXPECT_EQ(connected.events, (Events{"busy", "connected", "idle"}));

  // Telling of the success failed: the user hears that the check failed.
  RecordedCheck unlucky;
  unlucky.fail_on_connected = true;
  db::TestPostgreSQLConnection(Fields(pg, pg.database), unlucky);
  EXPECT_EQ(unlucky.events, (Events{"busy", "connected", "not connected", "idle"}));

  // A refused login and a missing database are told the same way.
  RecordedCheck refused;
  auto wrong = Fields(pg, pg.database);
  wrong.password = "not-the-password";
  db::TestPostgreSQLConnection(wrong, refused);
  EXPECT_EQ(refused.events, (Events{"busy", "not connected", "idle"}));
  RecordedCheck missing;
  db::TestPostgreSQLConnection(Fields(pg, "no_such_database"), missing);
  EXPECT_EQ(missing.events, (Events{"busy", "not connected", "idle"}));
  EXPECT_TRUE(services.messages.empty());
}

TEST(CanConnectToPostgreSQL, AgainstTheServer) {
  REQUIRE_PG(pg);
  ScriptedServices services;
  EXPECT_TRUE(db::CanConnectToPostgreSQL(Fields(pg, pg.database)));
  auto wrong = Fields(pg, pg.database);
  wrong.user = "nobody";
  EXPECT_FALSE(db::CanConnectToPostgreSQL(wrong));
  EXPECT_TRUE(services.messages.empty());
}

TEST(PostgreSQLCatalogue, ListsEveryVisibleTableExceptSqlUnderscoreNames) {
  REQUIRE_PG(pg);
  const std::string database = "pelmora_db_catalogue";
  ASSERT_TRUE(FreshDatabase(pg, database));
  ASSERT_EQ(Psql(pg, database,
                 "CREATE TABLE sql_parts (a int);\n"
                 "CREATE TABLE \"SQL_Notes\" (a int);\n"
                 "CREATE TABLE \" sql_x\" (a int);\n"
                 "CREATE TABLE sql (a int);\n"
                 "CREATE TABLE orders (a int);\n"
                 "CREATE SCHEMA second;\n"
                 "CREATE TABLE second.orders (a int);\n"
                 "CREATE VIEW order_view AS SELECT * FROM orders;\n"),
            0);
  std::string expected_text;
  // The server's own order for the same query, read with psql.
  ASSERT_EQ(Psql(pg, database, std::string(db::kCatalogueQuery), &expected_text), 0);
  std::vector<std::string> expected;
  long rows = 0;
  for (size_t pos = 0; pos < expected_text.size();) {
    size_t end = expected_text.find('\n', pos);
    std::string name = expected_text.substr(pos, end - pos);
    ++rows;
    if (db::IsListedTableName(name)) expected.push_back(name);
    pos = end == std::string::npos ? expected_text.size() : end + 1;
  }

  ScriptedServices services;
  db::MemoryListBox list;
  db::AddTablesToPostgreSQLListbox(list, Fields(pg, database));
  EXPECT_TRUE(services.messages.empty()) << services.messages[0].text;
  EXPECT_EQ(list.Items(), expected);
  EXPECT_EQ(services.events_processed, rows);  // once per row read, listed or not
  EXPECT_GT(rows, static_cast<long>(expected.size()));

  auto count = [&](const std::string& name) { return std::count(list.Items().begin(), list.Items().end(), name); };
  EXPECT_EQ(count("orders"), 2);       // listed once per schema
  EXPECT_EQ(count("SQL_Notes"), 1);    // the filter is case-sensitive
  EXPECT_EQ(count("sql"), 1);          // too short to match
  EXPECT_EQ(count("pg_statistic"), 1); // system tables are listed
  EXPECT_EQ(count("sql_parts"), 0);
  EXPECT_EQ(count(" sql_x"), 0);
  EXPECT_EQ(count("sql_features"), 0);
  EXPECT_EQ(count("order_view"), 0);  // not a table
}

}  // namespace
