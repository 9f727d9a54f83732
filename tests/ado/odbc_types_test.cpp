// Every common PostgreSQL type through psqlODBC ("PostgreSQL Unicode", Debian
// 12's 13.02) and the ODBC provider: the ADO type code each column reports and
// the kind and text of each value, for awkward values. What the driver really
// delivers is expected, including its limits (noted where they show).

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <optional>

#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "tests/ado/odbc_test_database.h"

namespace {

using testing_support::OdbcTestDatabase;

std::string Describe(const ado::Value& v) {
  struct Kind {
    std::string operator()(const ado::Null&) const { return "null"; }
    std::string operator()(const std::string&) const { return "text"; }
    std::string operator()(int64_t) const { return "int"; }
    std::string operator()(uint64_t) const { return "uint"; }
    std::string operator()(double) const { return "double"; }
    std::string operator()(const ado::Decimal&) const { return "decimal"; }
    std::string operator()(const ado::Date&) const { return "date"; }
    std::string operator()(const ado::Time&) const { return "time"; }
    std::string operator()(const ado::DateTime&) const { return "datetime"; }
    std::string operator()(bool) const { return "bool"; }
    std::string operator()(const ado::Binary&) const { return "binary"; }
  };
  if (v.IsNull()) return "null";
  return std::visit(Kind{}, v.Get()) + ":" + v.ToText();
}

struct TypeCase {
  std::string name;      // for the test name
  std::string sql_type;  // the column's declared type
  std::vector<std::string> literals;
  int16_t ado_type;
  std::vector<std::string> expected;  // Describe() of each value, in order
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.sql_type; }

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::vector<TypeCase> Cases() {
  std::string long_json = "{\"k\": \"" + Repeat("v", 300) + "\"}";
  return {
      {"smallint", "smallint", {"0", "-32768", "32767", "NULL"}, ado::adSmallInt,
       {"int:0", "int:-32768", "int:32767", "null"}},
      {"integer", "integer", {"-2147483648", "2147483647", "NULL"}, ado::adInteger,
       {"int:-2147483648", "int:2147483647", "null"}},
      {"bigint", "bigint", {"-9223372036854775808", "9223372036854775807", "0"}, ado::adBigInt,
       {"int:-9223372036854775808", "int:9223372036854775807", "int:0"}},
      // psqlODBC reports oid as an unsigned integer.
      {"oid", "oid", {"4294967295", "0"}, ado::adUnsignedInt, {"uint:4294967295", "uint:0"}},
      {"real", "real", {"0.1", "-1.5", "3.4028235e38", "'NaN'", "'-Infinity'", "'-0'", "NULL"}, ado::adSingle,
       {"double:0.1", "double:-1.5", "double:3.4028235e+38", "double:NaN", "double:-Infinity", "double:-0", "null"}},
      {"double", "double precision",
       {"0.1", "1e20", "-1e-300", "1.7976931348623157e308", "123456789.125", "'NaN'", "'Infinity'"}, ado::adDouble,
       {"double:0.1", "double:1e+20", "double:-1e-300", "double:1.7976931348623157e+308", "double:123456789.125",
        "double:NaN", "double:Infinity"}},
      // Exactly the server's digits; NaN and Infinity are no decimal and stay text (as SQL_C_NUMERIC they became 0).
      {"numeric", "numeric",
       {"0", "-12.50", "12345678901234567890.123456789", "1e-20", "'NaN'", "'Infinity'", "NULL"}, ado::adNumeric,
       {"decimal:0", "decimal:-12.50", "decimal:12345678901234567890.123456789", "decimal:0.00000000000000000001",
        "text:NaN", "text:Infinity", "null"}},
      {"numeric_scale", "numeric(10,2)", {"5", "-0.5"}, ado::adNumeric, {"decimal:5.00", "decimal:-0.50"}},
      // psqlODBC reports money as SQL_FLOAT; its text "$1,234.50" is parsed, not copied.
      {"money", "money", {"1234.5", "-1234567.891", "0", "NULL"}, ado::adDouble,
       {"double:1234.5", "double:-1234567.89", "double:0", "null"}},
      // psqlODBC's default BoolsAsChar: boolean arrives as SQL_VARCHAR "1"/"0".
      {"boolean", "boolean", {"true", "false", "NULL"}, ado::adVarChar, {"text:1", "text:0", "null"}},
      {"char", "char(5)", {"'ab'", "'O''Br'", "''", "'é😀'", "NULL"}, ado::adWChar,
       {"text:ab   ", "text:O'Br ", "text:     ", "text:é😀   ", "null"}},
      {"varchar", "varchar(40)", {"''", R"('O''Brien "q" \')", R"(E'a\r\nb')", "'Grüße 😀'", "NULL"}, ado::adVarWChar,
       {"text:", R"(text:O'Brien "q" \)", "text:a\r\nb", "text:Grüße 😀", "null"}},
      // Long texts arrive in pieces; a run of emoji after an even and an odd
      // number of letters puts a piece's end inside a surrogate pair.
      {"text", "text",
       {"''", R"(E'one\r\ntwo\nthree\r')", "repeat('xyz', 5000)", "'Ünïcödé 日本語 😀'", "NULL",
        "repeat('😀', 20000)", "'a' || repeat('😀', 20000)"},
       ado::adLongVarWChar,
       {"text:", "text:one\r\ntwo\nthree\r", "text:" + Repeat("xyz", 5000), "text:Ünïcödé 日本語 😀", "null",
        "text:" + Repeat("😀", 20000), "text:a" + Repeat("😀", 20000)}},
      {"bytea", "bytea", {R"('\x00ff10')", "''", "NULL", "decode(repeat('ab', 3000), 'hex')"}, ado::adLongVarBinary,
       {"binary:00FF10", "binary:", "null", "binary:" + Repeat("AB", 3000)}},
      // psqlODBC 13.02 writes both infinite dates as 0000-00-00: no date, so kept as that text.
      {"date", "date",
       {"'2021-08-31'", "'2024-02-29'", "'0001-01-01'", "'9999-12-31'", "'infinity'", "'-infinity'", "NULL"},
       ado::adDBDate,
       {"date:2021-08-31", "date:2024-02-29", "date:0001-01-01", "date:9999-12-31", "text:0000-00-00",
        "text:0000-00-00", "null"}},
      {"time", "time", {"'00:00:00'", "'14:05:00'", "'23:59:59.999999'", "'12:30:00.25'", "'24:00:00'", "NULL"},
       ado::adDBTime,
       {"time:00:00:00", "time:14:05:00", "time:23:59:59.999999", "time:12:30:00.25", "text:24:00:00", "null"}},
      // psqlODBC 13.02 writes 'infinity' as 9999-12-31 23:59:59, indistinguishable from that
      // instant; '-infinity' and BC values keep a " BC" suffix and so stay text.
      {"timestamp", "timestamp",
       {"'2021-08-31 00:00:00'", "'2021-08-31 14:05:00'", "'2021-08-31 14:05:00.5'", "'2000-01-01 00:00:00.000001'",
        "'infinity'", "'-infinity'", "'0044-03-15 10:00 BC'", "NULL"},
       ado::adDBTimeStamp,
       {"datetime:2021-08-31", "datetime:2021-08-31 14:05:00", "datetime:2021-08-31 14:05:00.5",
        "datetime:2000-01-01 00:00:00.000001", "datetime:9999-12-31 23:59:59", "text:9999-01-01 00:00:00 BC",
        "text:0044-03-15 10:00:00 BC", "null"}},
      // In the session's time zone (UTC here), as the server shows it.
      {"timestamptz", "timestamptz",
       {"'2021-08-31 14:05:00+02'", "'2021-08-31 00:00:00+00'", "'2021-08-31 10:00:00.123-03:30'"},
       ado::adDBTimeStamp,
       {"datetime:2021-08-31 12:05:00", "datetime:2021-08-31", "datetime:2021-08-31 13:30:00.123"}},
      // ADO gives a GUID as text in braces, upper case.
      {"uuid", "uuid", {"'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'", "NULL"}, ado::adGUID,
       {"text:{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}", "null"}},
      // An unknown type to psqlODBC: SQL_WVARCHAR with a declared size of 255, whatever the length.
      {"json", "json", {R"('{"a": "O''Brien", "b": [1, 2]}')", R"('"😀"')", "'" + long_json + "'", "NULL"},
       ado::adVarWChar, {R"(text:{"a": "O'Brien", "b": [1, 2]})", R"(text:"😀")", "text:" + long_json, "null"}},
  };
}

class OdbcTypes : public testing::TestWithParam<TypeCase> {
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
std::unique_ptr<OdbcTestDatabase> OdbcTypes::database_;

TEST_P(OdbcTypes, ReportsTypeCodeAndValues) {
  const TypeCase& c = GetParam();
  std::string table = "t_" + c.name;
  std::vector<std::string> setup = {fmt::format("CREATE TABLE {} (id serial, v {})", table, c.sql_type)};
  for (const auto& literal : c.literals) setup.push_back(fmt::format("INSERT INTO {} (v) VALUES ({})", table, literal));
  database_->Run(setup);

  for (int location : {ado::adUseServer, ado::adUseClient}) {
    SCOPED_TRACE(location == ado::adUseServer ? "server cursor" : "client cursor");
    auto connection = database_->Connect(location);
    auto rs = connection->Execute(fmt::format("SELECT v FROM {} ORDER BY id", table));
    ASSERT_EQ(rs->FieldCount(), 1u);
    EXPECT_EQ(rs->Fields(0).Name(), "v");
    EXPECT_EQ(rs->Fields(0).Type(), c.ado_type);
    std::vector<std::string> values;
    for (; !rs->Eof(); rs->MoveNext()) values.push_back(Describe(rs->Fields(0).Value()));
    ASSERT_EQ(values.size(), c.expected.size());
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i], c.expected[i]) << "value " << c.literals[i];
  }
}

INSTANTIATE_TEST_SUITE_P(OdbcPostgres, OdbcTypes, testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
