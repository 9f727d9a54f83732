// The statement builders over real PostgreSQL tables read through the ODBC
// provider: every text below is written out by hand from the mapping and
// value rules, for one table per common type and awkward values.
//
// What psqlODBC reports (Debian 12, the connection string unchanged): boolean
// as adVarChar "1"/"0", bytea as adLongVarBinary, text as adLongVarWChar,
// varchar as adVarWChar, char as adWChar, numeric as adNumeric, money as
// adDouble, real as adSingle, timestamps as adDBTimeStamp.

#include <gtest/gtest.h>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "tests/db/pg_scratch.h"
#include "tests/engine/table_conversion.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_services.h"

namespace {

using engine::ColumnMapping;
using testing_support::FreshDatabase;
using testing_support::PgServer;
using testing_support::Psql;
using testing_support::ScriptedServices;

struct Expected {
  std::string table;
  std::string create;
  std::vector<ColumnMapping> log;
  std::string numeric_positions;
  std::vector<std::string> rows;
};

// Reads the table as the conversion run does: server-side cursor, its
// timeouts, SELECT * FROM "t".
void Check(const PgServer& pg, const std::string& database, const Expected& expected) {
  SCOPED_TRACE(expected.table);
  ScriptedServices services;
  auto connection = ado::CreateConnection();
  connection->CursorLocation = 2;
  connection->CommandTimeout = 5000;
  connection->ConnectionTimeout = 5000;
  connection->Open(pg.ConnectionString(database));
  auto recordset = ado::CreateRecordset();
  recordset->Open("SELECT * FROM \"" + expected.table + "\"", *connection);
  engine::ConversionLog log;
  report::Trap trap("Form1.PushButton7_Click");
  auto converted = testing_support::ConvertTable(expected.table, *recordset, log, trap);
  EXPECT_EQ(converted.definition.statement, expected.create);
  EXPECT_EQ(log.Rows(), expected.log);
  EXPECT_EQ(converted.definition.numeric_positions, expected.numeric_positions);
  EXPECT_EQ(converted.rows, expected.rows);
  for (const auto& message : services.messages) ADD_FAILURE() << message.text;
}

bool MakeDatabase(const PgServer& pg, const std::string& database, const std::string& sql) {
  if (!FreshDatabase(pg, database)) return false;
  std::string out;
  // Fixed session settings so that the texts do not depend on the server's.
  int status = Psql(pg, database,
                    "ALTER DATABASE \"" + database + "\" SET timezone = 'UTC';\n"
                    "ALTER DATABASE \"" + database + "\" SET lc_monetary = 'C';\n" + sql,
                    &out);
  if (status != 0) ADD_FAILURE() << out;
  return status == 0;
}

TEST(PgStatements, NumericTypes) {
  REQUIRE_PG(pg);
  const std::string db = "pelmora_engine_numbers";
  ASSERT_TRUE(MakeDatabase(pg, db, R"(
    CREATE TABLE t_smallint (v smallint);
    INSERT INTO t_smallint VALUES (0), (-32768), (32767), (NULL);
    CREATE TABLE t_integer (v integer);
    INSERT INTO t_integer VALUES (-2147483648), (2147483647), (NULL);
    CREATE TABLE t_bigint (v bigint);
    INSERT INTO t_bigint VALUES (-9223372036854775808), (9223372036854775807), (0);
    CREATE TABLE t_real (v real);
    INSERT INTO t_real VALUES (1.5), (-0.25), (0.1), (1e10), (NULL);
    CREATE TABLE t_double (v double precision);
    INSERT INTO t_double VALUES (0.1), (-1.5e-300), (1e300), (123456789.123), (NULL);
    CREATE TABLE t_numeric (v numeric);
    INSERT INTO t_numeric VALUES (12.50), (-0.001), (12345678901234567890.123456789), (NULL), ('NaN');
    CREATE TABLE t_money (v money);
    INSERT INTO t_money VALUES (1234.5), (-0.01), (NULL);
  )"));

  Check(pg, db, {"t_smallint", "CREATE TABLE \"t_smallint\" (v INT);", {{"t_smallint", "v", "int", "INT"}}, "0, ",
                 {"INSERT INTO \"t_smallint\" VALUES(0)", "INSERT INTO \"t_smallint\" VALUES(-32768)",
                  "INSERT INTO \"t_smallint\" VALUES(32767)", "INSERT INTO \"t_smallint\" VALUES(NULL)"}});
  Check(pg, db, {"t_integer", "CREATE TABLE \"t_integer\" (v INT);", {{"t_integer", "v", "int", "INT"}}, "0, ",
                 {"INSERT INTO \"t_integer\" VALUES(-2147483648)", "INSERT INTO \"t_integer\" VALUES(2147483647)",
                  "INSERT INTO \"t_integer\" VALUES(NULL)"}});
  Check(pg, db, {"t_bigint", "CREATE TABLE \"t_bigint\" (v INT);", {{"t_bigint", "v", "int", "INT"}}, "0, ",
                 {"INSERT INTO \"t_bigint\" VALUES(-9223372036854775808)",
                  "INSERT INTO \"t_bigint\" VALUES(9223372036854775807)", "INSERT INTO \"t_bigint\" VALUES(0)"}});
  // A single becomes REAL and is written bare, in its own shortest form.
  Check(pg, db, {"t_real", "CREATE TABLE \"t_real\" (v REAL);", {{"t_real", "v", "single", "REAL"}}, "0, ",
                 {"INSERT INTO \"t_real\" VALUES(1.5)", "INSERT INTO \"t_real\" VALUES(-0.25)",
                  "INSERT INTO \"t_real\" VALUES(0.1)", "INSERT INTO \"t_real\" VALUES(1e+10)",
                  "INSERT INTO \"t_real\" VALUES(NULL)"}});
  Check(pg, db, {"t_double", "CREATE TABLE \"t_double\" (v FLOAT);", {{"t_double", "v", "double", "FLOAT"}}, "0, ",
                 {"INSERT INTO \"t_double\" VALUES(0.1)", "INSERT INTO \"t_double\" VALUES(-1.5e-300)",
                  "INSERT INTO \"t_double\" VALUES(1e+300)", "INSERT INTO \"t_double\" VALUES(123456789.123)",
                  "INSERT INTO \"t_double\" VALUES(NULL)"}});
  // Numeric is no numeric rule: VARCHAR, quoted, digits exactly as the server sent them.
  Check(pg, db, {"t_numeric", "CREATE TABLE \"t_numeric\" (v VARCHAR);",
                 {{"t_numeric", "v", "OTHER TYPES", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_numeric\" VALUES('12.50')", "INSERT INTO \"t_numeric\" VALUES('-0.001')",
                  "INSERT INTO \"t_numeric\" VALUES('12345678901234567890.123456789')",
                  "INSERT INTO \"t_numeric\" VALUES(NULL)", "INSERT INTO \"t_numeric\" VALUES('NaN')"}});
  // Money arrives as a double: no currency sign, no thousands separator.
  Check(pg, db, {"t_money", "CREATE TABLE \"t_money\" (v FLOAT);", {{"t_money", "v", "double", "FLOAT"}}, "0, ",
                 {"INSERT INTO \"t_money\" VALUES(1234.5)", "INSERT INTO \"t_money\" VALUES(-0.01)",
                  "INSERT INTO \"t_money\" VALUES(NULL)"}});
}

TEST(PgStatements, TextTypes) {
  REQUIRE_PG(pg);
  const std::string db = "pelmora_engine_texts";
  const std::string long_text(5000, 'x');
  ASSERT_TRUE(MakeDatabase(pg, db, R"(
    CREATE TABLE t_boolean (v boolean);
    INSERT INTO t_boolean VALUES (true), (false), (NULL);
    CREATE TABLE t_char (v char(5));
    INSERT INTO t_char VALUES ('ab'), (''), (NULL);
    CREATE TABLE t_varchar (v varchar(50));
    INSERT INTO t_varchar VALUES ('O''Brien'), (''), (NULL), (E'one\r\ntwo'), (E'a\rb\nc'), ('Zoë – 東京 🙂'),
      ('2021-08-31'), ('14:05:00'), ('3,5'), ('1,234'), ('42'), ('say "hi" \ back');
    CREATE TABLE t_text (v text);
    INSERT INTO t_text VALUES (repeat('x', 5000)), (E'it''s\r\n''quoted'''), ('2021-08-31 14:05:00.25');
    CREATE TABLE t_uuid (v uuid);
    INSERT INTO t_uuid VALUES ('a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'), (NULL);
    CREATE TABLE t_json (v json);
    INSERT INTO t_json VALUES ('{"a": "it''s", "b": [1, 2]}'), (NULL);
    CREATE TABLE t_bytea (v bytea);
    INSERT INTO t_bytea VALUES ('\x0102'), (NULL);
  )"));

  // Booleans come as the characters 1 and 0.
  Check(pg, db, {"t_boolean", "CREATE TABLE \"t_boolean\" (v VARCHAR);", {{"t_boolean", "v", "char", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_boolean\" VALUES('1')", "INSERT INTO \"t_boolean\" VALUES('0')",
                  "INSERT INTO \"t_boolean\" VALUES(NULL)"}});
  // char(5) is padded by the server; an empty char(5) is five blanks, not empty.
  Check(pg, db, {"t_char", "CREATE TABLE \"t_char\" (v VARCHAR);", {{"t_char", "v", "char", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_char\" VALUES('ab   ')", "INSERT INTO \"t_char\" VALUES('     ')",
                  "INSERT INTO \"t_char\" VALUES(NULL)"}});
  Check(pg, db, {"t_varchar", "CREATE TABLE \"t_varchar\" (v VARCHAR);", {{"t_varchar", "v", "char", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_varchar\" VALUES('O''Brien')",
                  "INSERT INTO \"t_varchar\" VALUES(NULL)",  // empty text
                  "INSERT INTO \"t_varchar\" VALUES(NULL)",
                  "INSERT INTO \"t_varchar\" VALUES('onetwo')",
                  "INSERT INTO \"t_varchar\" VALUES('abc')",
                  "INSERT INTO \"t_varchar\" VALUES('Zoë – 東京 🙂')",
                  "INSERT INTO \"t_varchar\" VALUES('08/31/2021')",  // a text that reads as a date
                  "INSERT INTO \"t_varchar\" VALUES('14:05:00')",
                  "INSERT INTO \"t_varchar\" VALUES('3,5')",
                  "INSERT INTO \"t_varchar\" VALUES('1,234')",
                  "INSERT INTO \"t_varchar\" VALUES('42')",
                  "INSERT INTO \"t_varchar\" VALUES('say \"hi\" \\ back')"}});
  Check(pg, db, {"t_text", "CREATE TABLE \"t_text\" (v VARCHAR);", {{"t_text", "v", "char", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_text\" VALUES('" + long_text + "')",
                  "INSERT INTO \"t_text\" VALUES('it''s''quoted''')",
                  "INSERT INTO \"t_text\" VALUES('08/31/2021 14:05:00')"}});
  Check(pg, db, {"t_uuid", "CREATE TABLE \"t_uuid\" (v VARCHAR);", {{"t_uuid", "v", "OTHER TYPES", "VARCHAR"}}, "",
                 // A GUID value's text is ADO's: braced, upper case.
                 {"INSERT INTO \"t_uuid\" VALUES('{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}')",
                  "INSERT INTO \"t_uuid\" VALUES(NULL)"}});
  Check(pg, db, {"t_json", "CREATE TABLE \"t_json\" (v VARCHAR);", {{"t_json", "v", "char", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_json\" VALUES('{\"a\": \"it''s\", \"b\": [1, 2]}')",
                  "INSERT INTO \"t_json\" VALUES(NULL)"}});
  // Nothing to declare: no CREATE TABLE, no rows, but the field is logged.
  Check(pg, db, {"t_bytea", "", {{"t_bytea", "v", "", ""}}, "", {}});
}

TEST(PgStatements, DateAndTimeTypes) {
  REQUIRE_PG(pg);
  const std::string db = "pelmora_engine_dates";
  ASSERT_TRUE(MakeDatabase(pg, db, R"(
    CREATE TABLE t_date (v date);
    INSERT INTO t_date VALUES ('2021-08-31'), ('2000-02-29'), ('0001-01-01'), (NULL);
    CREATE TABLE t_time (v time);
    INSERT INTO t_time VALUES ('14:05:00'), ('00:00:00'), ('23:59:59.123456'), (NULL);
    CREATE TABLE t_timestamp (v timestamp);
    INSERT INTO t_timestamp VALUES ('2021-08-31 14:05:00'), ('2021-08-31 00:00:00'), ('2021-08-31 14:05:00.5'),
      ('1999-12-31 23:59:59.999999'), (NULL);
    CREATE TABLE t_timestamptz (v timestamptz);
    INSERT INTO t_timestamptz VALUES ('2021-08-31 14:05:00+00'), ('2021-08-31 02:00:00+02'), (NULL);
  )"));

  Check(pg, db, {"t_date", "CREATE TABLE \"t_date\" (v TEXT);", {{"t_date", "v", "date", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_date\" VALUES('08/31/2021')", "INSERT INTO \"t_date\" VALUES('02/29/2000')",
                  "INSERT INTO \"t_date\" VALUES('01/01/0001')", "INSERT INTO \"t_date\" VALUES(NULL)"}});
  // A time of day is no date: VARCHAR, written as it reads.
  Check(pg, db, {"t_time", "CREATE TABLE \"t_time\" (v VARCHAR);", {{"t_time", "v", "OTHER TYPES", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_time\" VALUES('14:05:00')", "INSERT INTO \"t_time\" VALUES('00:00:00')",
                  "INSERT INTO \"t_time\" VALUES('23:59:59.123456')", "INSERT INTO \"t_time\" VALUES(NULL)"}});
  // Midnight reads as a bare date; fractions of a second are dropped.
  Check(pg, db, {"t_timestamp", "CREATE TABLE \"t_timestamp\" (v TEXT);",
                 {{"t_timestamp", "v", "timestamp", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_timestamp\" VALUES('08/31/2021 14:05:00')",
                  "INSERT INTO \"t_timestamp\" VALUES('08/31/2021')",
                  "INSERT INTO \"t_timestamp\" VALUES('08/31/2021 14:05:00')",
                  "INSERT INTO \"t_timestamp\" VALUES('12/31/1999 23:59:59')",
                  "INSERT INTO \"t_timestamp\" VALUES(NULL)"}});
  // In the session's time zone (UTC here).
  Check(pg, db, {"t_timestamptz", "CREATE TABLE \"t_timestamptz\" (v TEXT);",
                 {{"t_timestamptz", "v", "timestamp", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_timestamptz\" VALUES('08/31/2021 14:05:00')",
                  "INSERT INTO \"t_timestamptz\" VALUES('08/31/2021')",
                  "INSERT INTO \"t_timestamptz\" VALUES(NULL)"}});
}

// A value the driver cannot represent must not turn into another value (the
// driver alone makes today's date, or a zero date, of an infinite one).
// psqlODBC 13.02 converts dates and timestamps itself, even when they are
// fetched as text, so the server's 'infinity' never reaches us. What it hands
// over instead is recorded here: the provider keeps every text it cannot read
// as a date, so only 'infinity' timestamps become a real instant. If a driver
// update changes this, this test says so.
TEST(PgStatements, InfiniteDatesAsTheDriverDeliversThem) {
  REQUIRE_PG(pg);
  const std::string db = "pelmora_engine_infinity";
  ASSERT_TRUE(MakeDatabase(pg, db, R"(
    CREATE TABLE t_infinite (d date, ts timestamp);
    INSERT INTO t_infinite VALUES ('infinity', '-infinity'), ('-infinity', 'infinity');
  )"));
  Check(pg, db, {"t_infinite", "CREATE TABLE \"t_infinite\" (d TEXT,ts TEXT);",
                 {{"t_infinite", "d", "date", "VARCHAR"}, {"t_infinite", "ts", "timestamp", "VARCHAR"}}, "",
                 {"INSERT INTO \"t_infinite\" VALUES('0000-00-00', '9999-01-01 00:00:00 BC')",
                  "INSERT INTO \"t_infinite\" VALUES('0000-00-00', '12/31/9999 23:59:59')"}});
}

TEST(PgStatements, MixedTableWithLongBinaryInTheMiddle) {
  REQUIRE_PG(pg);
  const std::string db = "pelmora_engine_mixed";
  ASSERT_TRUE(MakeDatabase(pg, db, R"(
    CREATE TABLE "Order Lines" (id integer, "Name" text, pic bytea, price numeric(10,2),
      created timestamp, ratio double precision, flag boolean, qty smallint);
    INSERT INTO "Order Lines" VALUES
      (1, 'O''Brien', '\x0102', 12.50, '2021-08-31 14:05:00', 0.5, true, 3),
      (2, NULL, NULL, NULL, '2021-08-31 00:00:00', NULL, false, NULL),
      (NULL, '', '\x', -0.01, NULL, -1e-5, NULL, -7),
      (4, '3,5', NULL, 0, NULL, 1e20, true, 0);
  )"));

  Check(pg, db,
        {"Order Lines",
         "CREATE TABLE \"Order Lines\" (id INT,Name VARCHAR,price VARCHAR,created TEXT,ratio FLOAT,flag VARCHAR,"
         "qty INT);",
         {{"Order Lines", "id", "int", "INT"},
          {"Order Lines", "Name", "char", "VARCHAR"},
          {"Order Lines", "pic", "", ""},
          {"Order Lines", "price", "OTHER TYPES", "VARCHAR"},
          {"Order Lines", "created", "timestamp", "VARCHAR"},
          {"Order Lines", "ratio", "double", "FLOAT"},
          {"Order Lines", "flag", "char", "VARCHAR"},
          {"Order Lines", "qty", "int", "INT"}},
         "0, 5, 7, ",
         {"INSERT INTO \"Order Lines\" VALUES(1, 'O''Brien', '12.50', '08/31/2021 14:05:00', 0.5, '1', 3)",
          "INSERT INTO \"Order Lines\" VALUES(2,NULL,NULL, '08/31/2021',NULL, '0',NULL)",
          "INSERT INTO \"Order Lines\" VALUES(NULL,NULL, '-0.01',NULL, -1e-05,NULL, -7)",
          // A table with numeric fields keeps the commas of its texts.
          "INSERT INTO \"Order Lines\" VALUES(4, '3,5', '0.00',NULL, 1e+20, '1', 0)"}});
}

}  // namespace
