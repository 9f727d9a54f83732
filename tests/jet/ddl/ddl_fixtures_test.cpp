// CREATE TABLE, INSERT INTO and DROP TABLE through Database::Execute on a
// copy of every Access fixture we can write and in new .accdb files of every
// version: tables with every SQL type word, rows with edge values, drops and
// creations after drops. mdbtools and mdb-reader must then read exactly the
// tables, types and values written, the file's own tables as before, and
// `pelmora-access check` must find nothing.

#include <gtest/gtest.h>

#include <string>

#include "platform/jet/create/blank_database.h"
#include "tests/jet/ddl/ddl_session.h"

namespace {

using ddl_test::Session;

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// Every type word of the SQL layer, one column each (one AutoNumber per table).
const char* kEveryType =
    "CREATE TABLE [Every Type] (c_varchar VARCHAR, c_char CHAR, c_text TEXT, c_text20 TEXT(20), "
    "c_varchar30 VARCHAR(30), c_char5 CHAR(5), c_memo MEMO, c_longtext LONGTEXT, c_longchar LONGCHAR, "
    "c_note NOTE, c_int INT, c_integer INTEGER, c_long LONG, c_smallint SMALLINT, c_short SHORT, "
    "c_byte BYTE, c_tinyint TINYINT, c_real REAL, c_single SINGLE, c_float FLOAT, c_double DOUBLE, "
    "c_decimal DECIMAL, c_numeric NUMERIC(10,2), c_dec28 DECIMAL(28,6), c_money MONEY, c_currency CURRENCY, "
    "c_datetime DATETIME, c_date DATE, c_time TIME, c_bit BIT, c_yesno YESNO, c_logical LOGICAL, "
    "c_counter COUNTER, c_guid GUID, c_binary BINARY(16), c_varbinary VARBINARY(50), c_longbinary LONGBINARY, "
    "c_oleobject OLEOBJECT)";

// Tables of every type with edge values, drops and creations after drops.
void CreateInsertDrop(Session& s) {
  s.Run(kEveryType);
  s.Run("INSERT INTO [Every Type] VALUES ('v', 'c', 'text memo', 'twenty', 'thirty', 'five5', 'memo', 'long', "
        "'char', 'note', 1, 2, 3, 4, 5, 6, 7, 8.5, 9.25, 10.125, 11.0625, 12, 13.45, 14.123456, 15.5, 16.25, "
        "'01/02/2003 04:05:06', '2004-05-06', '1899-12-30 07:08:09', True, Yes, On, NULL, "
        "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}', 0x00FF10, 0x0102030405, 0xCAFE, 0xBABE)");
  s.Run("INSERT INTO [Every Type] (c_int, c_counter) VALUES (-1, 100)");
  s.Run("INSERT INTO [Every Type] (c_varchar) VALUES (NULL)");  // everything NULL, the counter goes on from 100
  if (s.db->header().version >= jet::format::Version::kAce16) {
    s.Run("CREATE TABLE big (n BIGINT)");
    s.Run("INSERT INTO big VALUES (-9223372036854775808)");
    s.Run("INSERT INTO big VALUES (9223372036854775807)");
  } else {
    EXPECT_NE(s.Refused("CREATE TABLE big (n BIGINT)").find("Access 2016"), std::string::npos);
  }

  s.Run("CREATE TABLE \"edge\" (id INT, t TEXT(255), m MEMO, o LONGBINARY, d DOUBLE, f REAL, i SMALLINT, "
        "b BYTE, l LONG, c CURRENCY, w DATETIME, y BIT, n DECIMAL(28,4))");
  s.Run("INSERT INTO edge VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  s.Run("INSERT INTO edge (id, t, m) VALUES (2, '', '')");
  s.Run("INSERT INTO edge (id, t, m) VALUES (3, '" + Repeat("x", 255) + "', '" + Repeat("0123456789", 10000) + "')");
  s.Run("INSERT INTO edge (id, t, m, o) VALUES (4, '" + Repeat("\xC3\xA9", 255) + "', '" +
        Repeat("Grüße, Ελληνικά, Кириллица, 日本語 😀 ", 1024 * 1024 / 64) + "', 0x" + Repeat("00FF7F80", 300) + ")");
  s.Run("INSERT INTO edge (id, t, m) VALUES (5, 'O''Brien said \"hi\"', 'line 1\r\nline 2\nline 3\r')");
  s.Run("INSERT INTO edge (id, t, m) VALUES (6, 'emoji 😀👍🏽 and 𝄞', '\xEF\xBB\xBF" "starts with a BOM')");
  s.Run("INSERT INTO edge VALUES (7, 'limits low', 'm', 0x00, -1.7976931348623157E308, -3.402823E38, -32768, 0, "
        "-2147483648, -922337203685477.5808, '0100-01-01', False, -999999999999999999999999.9999)");
  s.Run("INSERT INTO edge VALUES (8, 'limits high', 'm', 0x00, 1.7976931348623157E308, 3.402823E38, 32767, 255, "
        "2147483647, 922337203685477.5807, '9999-12-31 23:59:59', True, 999999999999999999999999.9999)");
  s.Run("INSERT INTO edge (id, d, f, w) VALUES (9, 4.9E-324, 1.4E-45, '01/01/1800')");
  s.Run("INSERT INTO edge (id, d, w, y) VALUES (10, -0.5, '12/31/2199 12:30:00', 1)");
  s.Run("INSERT INTO edge (id, w) VALUES (11, '1899-12-29 06:00:00')");
  std::string too_long = s.Refused("INSERT INTO edge (id, t) VALUES (12, '" + Repeat("y", 256) + "')");
  EXPECT_NE(too_long.find("'t'"), std::string::npos) << too_long;

  // Drops (any case) and creations after them, reusing the freed pages.
  s.Run("CREATE TABLE DropMe (a INT, b MEMO)");
  s.Run("INSERT INTO dropme VALUES (1, '" + Repeat("long value ", 1000) + "')");
  s.Run("CREATE TABLE [drop me too] (a TEXT(10))");
  s.Run("DROP TABLE \"DROPME\"");
  s.Run("DROP TABLE [Drop Me Too]");
  s.Run("CREATE TABLE after_drop (a INT, b TEXT(50), c MEMO)");
  s.Run("INSERT INTO after_drop VALUES (1, 'one', 'memo one')");
  s.Run("CREATE TABLE dropme (x DOUBLE)");  // the dropped name is free again
  s.Run("INSERT INTO DropMe VALUES (2.5)");
}

class DdlOnFixture : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(DdlOnFixture, CreateInsertDropReadBackByBothReaders) {
  REQUIRE_READERS();
  Session s;
  const auto& [fixture, password] = GetParam();
  std::string test = "ddl_" + fixture;
  for (char& c : test)
    if (c == '.' || c == '-') c = '_';
  REQUIRE_FIXTURES(fixture);
  ASSERT_TRUE(s.Open(fixture, test, password));
  ASSERT_NO_FATAL_FAILURE(CreateInsertDrop(s));
  s.Close();
  s.ExpectReadersAgree();
}

// The same in new .accdb files of each version, made by our engine.
TEST(DdlOnNewAccdb, CreateInsertDropReadBackByBothReaders) {
  REQUIRE_READERS();
  for (auto format : {jet::BlankFormat::kAccess2007, jet::BlankFormat::kAccess2010, jet::BlankFormat::kAccess2016,
                      jet::BlankFormat::kAccess2019}) {
    SCOPED_TRACE(jet::DescribeFormat(format));
    std::string path = testing_support::ScratchFolder("ddl_new_accdb_" + std::to_string(static_cast<int>(format))) +
                       "/new.accdb";
    ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = format}));
    Session s;
    ASSERT_TRUE(s.OpenFile(path));
    ASSERT_NO_FATAL_FAILURE(CreateInsertDrop(s));
    s.Close();
    s.ExpectReadersAgree();
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DdlOnFixture, ::testing::ValuesIn(ddl_test::WritableFixtures()),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
