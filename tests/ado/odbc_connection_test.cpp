// The ODBC provider against the test PostgreSQL server: streaming with the
// server-side cursor, held rows with the client-side one, statements without
// rows, time-outs, the tables schema, and failures that must come back as
// ado::Error without a crash or a hang.

#include <arpa/inet.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>

#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/odbc/connection.h"
#include "platform/odbc/statement.h"
#include "tests/ado/odbc_test_database.h"

namespace {

using testing_support::OdbcTestDatabase;

class OdbcConnection : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (auto server = testing_support::TestPgServer()) database_ = std::make_unique<OdbcTestDatabase>(*server);
  }
  static void TearDownTestSuite() { database_.reset(); }
  void SetUp() override {
    REQUIRE_PG(pg);
    ASSERT_TRUE(database_) << "the test database for " << pg.host << ":" << pg.port << " was not made";
  }
  static std::unique_ptr<OdbcTestDatabase> database_;
};
std::unique_ptr<OdbcTestDatabase> OdbcConnection::database_;

// The driver's error for opening `connection_string`, or nothing if it opened.
std::optional<ado::Error> OpenError(const std::string& connection_string, long connection_timeout = 15) {
  ado::Connection connection;
  connection.ConnectionTimeout = connection_timeout;
  try {
    connection.Open(connection_string);
  } catch (const ado::Error& e) {
    EXPECT_FALSE(connection.IsOpen());
    return e;
  }
  return std::nullopt;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(OdbcConnection, ServerCursorStreamsThroughADeclaredCursor) {
  auto connection = database_->Connect(ado::adUseServer);
  // Several driver fetches and bound blocks, the last ones partial. Each row
  // carries the end of the statement that produced it, as the server saw it:
  // a FETCH of some rows from the cursor psqlODBC declared, not the SELECT.
  // Read from the rows themselves, this holds however fast either side is.
  auto rs = connection->Execute(
      "SELECT i, 'row ' || i AS label, right(lower(current_query()), 48)::varchar(48) AS sent "
      "FROM generate_series(1, 25003) AS i");
  EXPECT_EQ(rs->RecordCount(), -1);
  EXPECT_FALSE(rs->Bof());

  const std::regex fetch(R"(fetch (\d+) in "sql_cur[^"]*"$)");
  long long n = 0, largest_fetch = 0;
  bool in_order = true, all_fetched = true;
  std::string odd;
  for (; !rs->Eof(); rs->MoveNext()) {
    ++n;
    in_order = in_order && rs->Fields("i").Value().ToText() == std::to_string(n) &&
               rs->Fields("label").Value().ToText() == "row " + std::to_string(n);
    std::string sent = rs->Fields("sent").Value().ToText();
    std::smatch m;
    if (std::regex_search(sent, m, fetch)) {
      largest_fetch = std::max(largest_fetch, std::stoll(m[1]));
    } else if (all_fetched) {
      all_fetched = false;
      odd = sent;
    }
  }
  EXPECT_EQ(n, 25003);
  EXPECT_TRUE(in_order);
  EXPECT_TRUE(all_fetched) << "psqlODBC's declare/fetch mode is not on: a row came from \"" << odd << "\"";
  // No FETCH asked for all rows: they came in several, not read whole first.
  EXPECT_GT(largest_fetch, 0);
  EXPECT_LT(largest_fetch, 25003);
}

// CursorLocation counts per statement, as in ADO: a client-side statement on a
// connection opened server-side is read whole, without a cursor (so the
// server may plan it in parallel), and the next server-side one streams again.
TEST_F(OdbcConnection, ClientSideStatementOnAStreamingConnectionHasNoCursor) {
  auto connection = database_->Connect(ado::adUseServer);
  auto sent = [&] {
    auto rs = connection->Execute("SELECT lower(current_query())::varchar(400)");
    return rs->Fields(size_t{0}).Value().ToText();
  };
  EXPECT_NE(sent().find("fetch"), std::string::npos);
  connection->CursorLocation = ado::adUseClient;
  const std::string held = sent();
  EXPECT_EQ(held.find("fetch"), std::string::npos) << held;
  EXPECT_EQ(held.find("declare"), std::string::npos) << held;
  connection->CursorLocation = ado::adUseServer;
  EXPECT_NE(sent().find("fetch"), std::string::npos);
}

TEST_F(OdbcConnection, ClientCursorHoldsRowsAndKnowsTheCount) {
  auto connection = database_->Connect(ado::adUseClient);
  auto rs = connection->Execute("select tablename from pg_tables;");  // the catalogue query, as written
  long long count = rs->RecordCount();
  EXPECT_GT(count, 50);  // the system catalogues
  EXPECT_EQ(rs->Fields(0).Type(), ado::adVarWChar);
  for (long long i = 0; i < count; ++i) rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  auto empty = connection->Execute("SELECT 1 AS x WHERE false");
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->Bof());
}

TEST_F(OdbcConnection, StatementsWithoutRowsTakeEffectAndGiveAClosedRecordset) {
  auto connection = database_->Connect(ado::adUseServer);
  EXPECT_FALSE(connection->Execute("CREATE TABLE effects (a integer)")->IsOpen());
  EXPECT_FALSE(connection->Execute("INSERT INTO effects VALUES (1), (2)")->IsOpen());
  EXPECT_FALSE(connection->Execute("UPDATE effects SET a = 3 WHERE a = 99")->IsOpen());  // no row matched
  // Visible at once to another connection: no transaction was left open.
  auto other = database_->Connect(ado::adUseClient);
  EXPECT_EQ(other->Execute("SELECT count(*) FROM effects")->Fields(0).Value().ToText(), "2");
  connection->Execute("DROP TABLE effects");
  EXPECT_THROW(other->Execute("SELECT * FROM effects"), ado::Error);
}

TEST_F(OdbcConnection, RejectedStatementCarriesTheServersMessage) {
  auto connection = database_->Connect(ado::adUseServer);
  try {
    connection->Execute("SELECT * FROM no_such_table");
    FAIL() << "no error";
  } catch (const ado::Error& e) {
    EXPECT_EQ(e.Number(), ado::kErrorProvider);
    EXPECT_EQ(e.Kind(), ado::ErrorKind::kStatementRefused);
    EXPECT_NE(e.Description().find("relation \"no_such_table\" does not exist"), std::string::npos)
        << e.Description();
  }
  // The connection is still usable.
  EXPECT_EQ(connection->Execute("SELECT 2")->Fields(0).Value().ToText(), "2");
}

TEST_F(OdbcConnection, CommandTimeoutStopsALongStatement) {
  auto connection = ado::CreateConnection();
  connection->CommandTimeout = 1;
  connection->Open(database_->ConnectionString());
  try {
    connection->Execute("SELECT pg_sleep(30)");
    FAIL() << "no time-out";
  } catch (const ado::Error& e) {
    EXPECT_EQ(e.Number(), ado::kErrorTimeout) << e.Description();
    EXPECT_EQ(e.Kind(), ado::ErrorKind::kTimeout);
    EXPECT_NE(e.Description().find("statement timeout"), std::string::npos) << e.Description();
  }
}

TEST_F(OdbcConnection, TablesSchemaNamesTableAndType) {
  database_->Run({"CREATE TABLE IF NOT EXISTS \"Schema Probe\" (a integer)",
                  "CREATE OR REPLACE VIEW probe_view AS SELECT 1 AS a"});
  auto connection = database_->Connect(ado::adUseServer);
  auto rs = connection->OpenSchema(ado::adSchemaTables);
  EXPECT_GE(rs->RecordCount(), 2);
  std::map<std::string, std::string> types;
  for (; !rs->Eof(); rs->MoveNext())
    types[rs->Fields("TABLE_NAME").Value().ToText()] = rs->Fields("TABLE_TYPE").Value().ToText();
  EXPECT_EQ(types["Schema Probe"], "TABLE");
  EXPECT_EQ(types["probe_view"], "VIEW");
  EXPECT_THROW(connection->OpenSchema(4), ado::Error);  // only the tables schema is offered
}

TEST_F(OdbcConnection, LongValuesArriveWhole) {
  auto connection = database_->Connect(ado::adUseServer);
  auto rs = connection->Execute(
      "SELECT repeat('ä', 100000) AS t, decode(repeat('0102', 50000), 'hex') AS b, i "
      "FROM generate_series(1, 3) AS i");
  int rows = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++rows) {
    const ado::Value& text = rs->Fields("t").Value();
    ASSERT_TRUE(text.Holds<std::string>());
    EXPECT_EQ(text.As<std::string>().size(), 200000u);  // two bytes per ä in UTF-8
    EXPECT_EQ(text.As<std::string>().find_first_not_of("\xC3\xA4"), std::string::npos);
    const ado::Value& bytes = rs->Fields("b").Value();
    ASSERT_TRUE(bytes.Holds<ado::Binary>());
    EXPECT_EQ(bytes.As<ado::Binary>().size(), 100000u);
    EXPECT_EQ(bytes.As<ado::Binary>()[99999], 0x02);
    EXPECT_EQ(rs->Fields("i").Value().ToText(), std::to_string(rows + 1));
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(OdbcConnection, BlockNarrowWideAndRowByRowReadingAgree) {
  // Bound row arrays with whole re-reads of long values, texts bound as UTF-8
  // or as UTF-16, and SQLGetData alone (for drivers that cannot combine the
  // two), over every value form.
  const char* query =
      "SELECT i, i::numeric / 3 AS n, (i * 1.5)::float8 AS d, (i * 100)::money AS m, "
      "date '2021-08-31' + i AS dt, time '10:00' + i * interval '1 second' AS tm, "
      "timestamp '2021-08-31' + i * interval '1 hour' AS ts, repeat('é', i * 700) AS t, "
      "decode(repeat('ab', i * 200), 'hex') AS b, md5(i::text)::uuid AS u, "
      "CASE WHEN i % 2 = 0 THEN NULL ELSE 'x' END AS maybe, "
      "repeat(E'\\u00C4\\U0001F600\\r\\n', i * 60)::varchar(500) AS e "
      "FROM generate_series(1, 7) AS i";
  const auto* dm = odbc::LoadDriverManager();
  ASSERT_NE(dm, nullptr);
  // psqlODBC converts narrow texts to the locale's encoding, which it takes
  // from the environment as it connects: a UTF-8 one, for the narrow way.
  const char* locale = std::getenv("LC_ALL");
  const std::string saved = locale ? locale : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  enum Way { kNarrow, kWide, kRowByRow };
  std::vector<std::vector<std::string>> results;
  for (Way way : {kNarrow, kWide, kRowByRow}) {
    ado::ConnectionOptions options;
    odbc::OdbcConnection connection(*dm, database_->ConnectionString(), options);
    EXPECT_TRUE(connection.NarrowTextIsUtf8());
    if (way != kNarrow) connection.UseWideTexts();
    if (way == kRowByRow) connection.UseRowByRowFetch();
    auto cursor = connection.Execute(query);
    // Block reading comes read ahead on a second thread; row-by-row reading does not.
    const bool read_ahead = dynamic_cast<odbc::StatementCursor*>(cursor.get()) == nullptr;
    EXPECT_EQ(read_ahead, way != kRowByRow);
    if (way == kRowByRow) {
      EXPECT_EQ(dynamic_cast<odbc::StatementCursor&>(*cursor).RowsetSize(), 1u);
    }
    std::vector<std::string> texts;
    std::vector<ado::Value> row;
    while (cursor->Fetch(row))
      for (const auto& value : row) texts.push_back(value.IsNull() ? "(null)" : value.ToText());
    results.push_back(texts);
  }
  if (locale) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");
  ASSERT_EQ(results[0].size(), 7u * 12u);
  EXPECT_EQ(results[0], results[1]);
  EXPECT_EQ(results[0], results[2]);
  EXPECT_EQ(results[0][3], "100");          // money
  EXPECT_EQ(results[0][7].size(), 1400u);  // 700 two-byte characters
  std::string repeated;
  for (int i = 0; i < 60; ++i) repeated += "\xC3\x84\xF0\x9F\x98\x80\r\n";
  EXPECT_EQ(results[0][11], repeated);  // the later rows outgrow a narrow buffer: read again whole
}

TEST_F(OdbcConnection, ClosingTheConnectionClosesItsRecordsets) {
  auto connection = database_->Connect(ado::adUseServer);
  auto rs = connection->Execute("SELECT i FROM generate_series(1, 50000) AS i");
  connection->Close();
  try {
    for (int i = 0; i < 5000 && !rs->Eof(); ++i) rs->MoveNext();
    FAIL() << "the rows of a closed connection were still read";
  } catch (const ado::Error& e) {
    EXPECT_EQ(e.Number(), ado::kErrorObjectClosed);
  }
  rs.reset();  // releasing it afterwards touches nothing freed
  connection->Open(database_->ConnectionString());
  EXPECT_TRUE(connection->IsOpen());
}

TEST_F(OdbcConnection, RefusedLoginAndMissingDatabaseAreErrors) {
  const testing_support::PgServer& pg = database_->Server();
  testing_support::PgServer wrong = pg;
  wrong.password = "not-the-password";
  auto refused = OpenError(wrong.ConnectionString());
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->Number(), ado::kErrorProvider);
  EXPECT_NE(refused->Description().find("password authentication failed"), std::string::npos)
      << refused->Description();

  auto missing = OpenError(pg.ConnectionString("pelmora_no_such_database"));
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->Description().find("database \"pelmora_no_such_database\" does not exist"), std::string::npos)
      << missing->Description();
}

TEST_F(OdbcConnection, BooleanIsABitWhenTheConnectionStringSaysSo) {
  // With the connection string unchanged psqlODBC sends "1"/"0" as SQL_VARCHAR
  // (see the boolean type case); BoolsAsChar=0 makes it SQL_BIT.
  auto connection = ado::CreateConnection();
  connection->Open(database_->ConnectionString() + ";BoolsAsChar=0");
  auto rs = connection->Execute("SELECT b FROM (VALUES (1, true), (2, false), (3, NULL)) AS v(i, b) ORDER BY i");
  EXPECT_EQ(rs->Fields(0).Type(), ado::adBoolean);
  std::vector<std::string> values;
  for (; !rs->Eof(); rs->MoveNext()) {
    const ado::Value& v = rs->Fields(0).Value();
    values.push_back(v.IsNull() ? "null" : (v.Holds<bool>() ? "bool:" : "other:") + v.ToText());
  }
  EXPECT_EQ(values, (std::vector<std::string>{"bool:True", "bool:False", "null"}));
}

TEST_F(OdbcConnection, BracedPasswordReachesTheDriverUnchanged) {
  // ODBC's braces let a value hold ";" and "}" ("}}"); psqlODBC takes them off
  // Pwd. Nothing inside may be read as another key, Provider included.
  const testing_support::PgServer& pg = database_->Server();
  std::string role = fmt::format("pelmora_semi_{}", getpid());
  database_->Run({fmt::format("DROP ROLE IF EXISTS {}", role),
                  fmt::format("CREATE ROLE {} LOGIN PASSWORD 'pa;Provider=x;}}word'", role)});
  testing_support::PgServer user = pg;
  user.user = role;
  user.password = "{pa;Provider=x;}}word}";
  auto error = OpenError(user.ConnectionString(pg.database));
  database_->Run({fmt::format("DROP ROLE {}", role)});
  EXPECT_FALSE(error) << error->Description();
}

// These need the driver manager and the driver, not the server.
TEST(OdbcConnect, MissingDriverIsAnErrorFromTheDriverManager) {
  PELMORA_REQUIRE(ado::OdbcDriverManagerAvailable(), "the ODBC driver manager (unixodbc)");
  auto error = OpenError("Driver={Pelmora No Such Driver};Server=127.0.0.1;Port=5432;Uid=x;Pwd=y;Database=z");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), ado::kErrorProvider);
  EXPECT_NE(error->Description().find("[unixODBC][Driver Manager]"), std::string::npos) << error->Description();
}

// A port nobody listens on: bind one, note it, close it.
int ClosedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

TEST(OdbcConnect, RefusedPortFailsAtOnce) {
  PELMORA_REQUIRE(ado::OdbcDriverManagerAvailable(), "the ODBC driver manager (unixodbc)");
  auto error = OpenError(fmt::format(
      "Driver={{PostgreSQL Unicode}};Server=127.0.0.1;Port={};Uid=pelmora;Pwd=x;Database=postgres", ClosedPort()));
  ASSERT_TRUE(error);
  EXPECT_NE(error->Description().find("Connection refused"), std::string::npos) << error->Description();
  EXPECT_EQ(error->Kind(), ado::ErrorKind::kIo);
}

TEST(OdbcConnect, ServerThatNeverAnswersTimesOut) {
  PELMORA_REQUIRE(ado::OdbcDriverManagerAvailable(), "the ODBC driver manager (unixodbc)");
  // The kernel completes the TCP handshake for a listening socket; nobody ever reads or writes.
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(s, 4), 0);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  auto start = std::chrono::steady_clock::now();
  auto error = OpenError(fmt::format("Driver={{PostgreSQL Unicode}};Server=127.0.0.1;Port={};Uid=pelmora;Pwd=x;"
                                     "Database=postgres",
                                     ntohs(address.sin_port)),
                         2);
  double seconds = SecondsSince(start);
  close(s);
  ASSERT_TRUE(error);
  EXPECT_NE(error->Description().find("timeout expired"), std::string::npos) << error->Description();
  EXPECT_LT(seconds, 30) << "the login time-out of 2 s was not applied";
}

TEST(OdbcConnect, MissingDriverManagerIsProviderNotFound) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, which loads nothing before
  EXPECT_EXIT(
      {
        setenv("PELMORA_ODBC_LIBRARY", "libpelmora-no-such-odbc.so", 1);
        int status = 1;
        try {
          ado::CreateConnection("ADODB.Connection");
        } catch (const ado::Error& e) {
          if (e.Number() == 3706 && e.Description() == "Provider cannot be found. It may not be properly installed.")
            status = 0;
        }
        if (status == 0) {
          // The Open of an ODBC string says the same.
          try {
            ado::Connection connection;
            connection.Open("Driver={PostgreSQL Unicode};Server=x");
            status = 2;
          } catch (const ado::Error& e) {
            if (e.Number() != 3706) status = 3;
          }
        }
        std::exit(status);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
