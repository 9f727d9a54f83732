// pelmora-access against two independent readers, mdbtools (mdb-tables,
// mdb-schema, mdb-export) and the npm package mdb-reader, on every Access file
// of ../shared/fixtures/access: table names, column types and every value
// must agree. Formatting is normalised (quoting, number and date forms), content
// is not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/jet/mini_json.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Json;
using readers::ShellQuote;
using testing_support::RunCommand;

std::string Tool() { return std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access"; }

struct Fixture {
  std::string path;
  std::string password;  // "" when the file has none
  bool encrypted = false;
};

// Every Access file of ../shared/fixtures/access, in name order.
std::vector<Fixture> Fixtures(const std::string& shared) {
  std::vector<Fixture> files;
  for (const auto& entry : fs::directory_iterator(fs::path(shared) / "fixtures" / "access")) {
    std::string ext = entry.path().extension().string();
    if (ext != ".mdb" && ext != ".accdb") continue;
    std::string name = entry.path().filename().string();
    Fixture f;
    f.path = entry.path().string();
    if (name.rfind("password-", 0) == 0 || name.rfind("encrypted-", 0) == 0) f.password = "password";
    f.encrypted = name == "password-2010.accdb" || name == "encrypted-agile.accdb";
    files.push_back(f);
  }
  std::sort(files.begin(), files.end(), [](const Fixture& a, const Fixture& b) { return a.path < b.path; });
  return files;
}

std::string PasswordOption(const Fixture& f) {
  return f.password.empty() ? "" : " --password " + ShellQuote(f.password);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// --- mdb-reader -----------------------------------------------------------

std::optional<Json> MdbReaderDump(const Fixture& f, const std::string& extra = "") {
  std::string out;
  std::string cmd = "node " + ShellQuote(readers::ReadersDir() + "/dump.mjs") + " " + ShellQuote(f.path) +
                    (f.password.empty() ? "" : " --password " + ShellQuote(f.password)) + extra;
  if (RunCommand(cmd, &out) != 0) return std::nullopt;
  Json json;
  if (!testing_support::JsonParser(out).Parse(json)) return std::nullopt;
  return json;
}

// --- column types, normalised to one vocabulary ----------------------------

std::string OurType(const std::string& sql) {
  static const std::map<std::string, std::string> kNames = {
      {"BIT", "boolean"}, {"BYTE", "byte"},     {"SHORT", "integer"},     {"LONG", "long"},
      {"COUNTER", "long"}, {"CURRENCY", "currency"}, {"SINGLE", "single"}, {"DOUBLE", "double"},
      {"DATETIME", "datetime"}, {"LONGBINARY", "ole"}, {"MEMO", "memo"}, {"GUID", "guid"},
      {"BIGINT", "bigint"}};
  std::smatch m;
  if (std::regex_match(sql, m, std::regex(R"(TEXT\((\d+)\))"))) return "text(" + m[1].str() + ")";
  if (std::regex_match(sql, m, std::regex(R"(BINARY\((\d+)\))"))) return "binary";
  if (std::regex_match(sql, m, std::regex(R"(DECIMAL\((\d+),(\d+)\))")))
    return "decimal(" + m[1].str() + "," + m[2].str() + ")";
  auto it = kNames.find(sql);
  return it == kNames.end() ? "?" + sql : it->second;
}

std::string MdbtoolsType(std::string t) {
  static const std::map<std::string, std::string> kNames = {
      {"Boolean", "boolean"}, {"Byte", "byte"}, {"Integer", "integer"}, {"Long Integer", "long"},
      {"Currency", "currency"}, {"Single", "single"}, {"Double", "double"}, {"DateTime", "datetime"},
      {"OLE", "ole"}, {"Replication ID", "guid"}, {"Binary", "binary"}, {"Big Int", "bigint"}};
  t = std::regex_replace(t, std::regex(R"( NOT NULL$)"), "");
  std::smatch m;
  if (std::regex_match(t, m, std::regex(R"(Text \((\d+)\))"))) return "text(" + m[1].str() + ")";
  if (std::regex_match(t, m, std::regex(R"(Memo/Hyperlink.*)"))) return "memo";
  if (std::regex_match(t, m, std::regex(R"(Numeric \((\d+), ?(\d+)\))")))
    return "decimal(" + m[1].str() + "," + m[2].str() + ")";
  auto it = kNames.find(t);
  return it == kNames.end() ? "?" + t : it->second;
}

std::string MdbReaderType(const Json& c) {
  const std::string& t = c["type"].text;
  if (t == "text") return "text(" + std::to_string(std::atoi(c["size"].text.c_str()) / 2) + ")";
  if (t == "numeric") return "decimal(" + c["precision"].text + "," + c["scale"].text + ")";
  static const std::map<std::string, std::string> kNames = {
      {"boolean", "boolean"}, {"byte", "byte"}, {"integer", "integer"}, {"long", "long"},
      {"currency", "currency"}, {"float", "single"}, {"double", "double"}, {"datetime", "datetime"},
      {"ole", "ole"}, {"memo", "memo"}, {"repid", "guid"}, {"binary", "binary"}, {"bigint", "bigint"}};
  auto it = kNames.find(t);
  return it == kNames.end() ? "?" + t : it->second;
}

using Schema = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;  // table -> (column, type)

Schema OurSchema(const Fixture& f) {
  std::string out;
  EXPECT_EQ(RunCommand(Tool() + " schema " + ShellQuote(f.path) + PasswordOption(f), &out), 0);
  Schema schema;
  std::regex table_re(R"(^CREATE TABLE \[([^\]]+)\] \((.*)\);$)");
  std::regex column_re(R"(\[([^\]]+)\] ([A-Z]+(\(\d+(,\d+)?\))?))");
  for (const auto& line : Lines(out)) {
    std::smatch m;
    // Columns only: indexes and relationships are compared elsewhere.
    if (line.starts_with("CREATE INDEX ") || line.starts_with("CREATE UNIQUE INDEX ") ||
        line.starts_with("ALTER TABLE "))
      continue;
    if (!std::regex_match(line, m, table_re)) {
      ADD_FAILURE() << "unexpected schema line: " << line;
      continue;
    }
    auto& cols = schema[m[1].str()];
    std::string body = m[2].str();
    body = body.substr(0, body.find(", CONSTRAINT "));  // the primary key follows the columns
    for (std::sregex_iterator it(body.begin(), body.end(), column_re), end; it != end; ++it)
      cols.emplace_back((*it)[1].str(), OurType((*it)[2].str()));
  }
  return schema;
}

Schema MdbtoolsSchema(const Fixture& f) {
  std::string out;
  RunCommand("mdb-schema " + ShellQuote(f.path) + " access 2>/dev/null", &out);
  Schema schema;
  std::string current;
  std::regex table_re(R"(^CREATE TABLE \[(.+)\]$)");
  std::regex column_re(R"(^\s*\[(.+)\]\s+(.+?),?\s*$)");
  for (const auto& line : Lines(out)) {
    std::smatch m;
    if (std::regex_match(line, m, table_re)) {
      current = m[1].str();
      schema[current];
    } else if (!current.empty() && std::regex_match(line, m, column_re)) {
      schema[current].emplace_back(m[1].str(), MdbtoolsType(m[2].str()));
    } else if (line.rfind(");", 0) == 0) {
      current.clear();
    }
  }
  return schema;
}

// --- CSV (readers.h) ----------------------------------------------------------

using Field = readers::Value;
using readers::ParseCsv;
using readers::Rows;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Whether two renderings of one value of a column of type `type` agree.
bool SameValue(const std::string& type, const Field& a, const Field& b, std::string* why) {
  if (a.null != b.null) {
    *why = a.null ? "NULL vs '" + b.text + "'" : "'" + a.text + "' vs NULL";
    return false;
  }
  if (a.null) return true;
  bool numeric = type == "byte" || type == "integer" || type == "long" || type == "bigint" || type == "single" ||
                 type == "double" || type == "currency" || type.rfind("decimal", 0) == 0;
  if (numeric) {
    char* end_a = nullptr;
    char* end_b = nullptr;
    long double x = std::strtold(a.text.c_str(), &end_a), y = std::strtold(b.text.c_str(), &end_b);
    long double tolerance = type == "single" ? 1e-6L : 1e-12L;
    if (*end_a || *end_b || std::fabs(x - y) > tolerance * std::max<long double>(1, std::fabs(x))) {
      *why = a.text + " vs " + b.text;
      return false;
    }
    return true;
  }
  if (type == "boolean") {
    auto norm = [](const std::string& t) { return t == "1" || Upper(t) == "TRUE" ? "1" : "0"; };
    if (std::string(norm(a.text)) == norm(b.text)) return true;
  } else if (type == "guid" || type == "binary" || type == "ole") {
    if (Upper(a.text) == Upper(b.text)) return true;
  } else if (a.text == b.text) {
    return true;
  }
  *why = "'" + a.text + "' vs '" + b.text + "'";
  return false;
}

// mdbtools 1.0 writes each character outside the Basic Multilingual Plane as "??"
// (it converts through UCS-2); the same text, seen as mdbtools renders it.
std::string AsMdbtoolsText(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xF0 && c < 0xF8 && i + 3 < s.size()) {
      out += "??";
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

void CompareRows(const std::string& table, const std::vector<std::pair<std::string, std::string>>& columns,
                 const Rows& ours_as_read, const Rows& theirs, const std::string& reader) {
  Rows ours = ours_as_read;
  if (reader == "mdbtools")
    for (auto& row : ours)
      for (auto& field : row) field.text = AsMdbtoolsText(field.text);
  ASSERT_EQ(ours.size(), theirs.size()) << reader << ": row count of table " << table;
  for (size_t r = 0; r < ours.size(); ++r) {
    ASSERT_EQ(ours[r].size(), columns.size()) << "table " << table << " row " << r;
    ASSERT_EQ(theirs[r].size(), columns.size()) << reader << ": table " << table << " row " << r;
    for (size_t c = 0; c < columns.size(); ++c) {
      std::string why;
      EXPECT_TRUE(SameValue(columns[c].second, ours[r][c], theirs[r][c], &why))
          << reader << ": table " << table << " row " << r << " column " << columns[c].first << ": " << why;
    }
  }
}

Rows MdbReaderRows(const Json& table) {
  Rows rows;
  for (const auto& r : table["rows"].items) {
    std::vector<Field> row;
    for (const auto& v : r.items) {
      Field f;
      f.null = v.kind == Json::kNull;
      if (v.kind == Json::kBool) f.text = v.boolean ? "1" : "0";
      else f.text = v.text;
      row.push_back(f);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

#define REQUIRE_PREREQUISITES(files)                                                          \
  REQUIRE_SHARED(shared);                                                                     \
  PELMORA_REQUIRE(fs::exists(Tool()), "pelmora-access (build target pelmora-access)"); \
  const std::vector<Fixture> files = Fixtures(shared)

// mdbtools cannot read encrypted .accdb files: they are judged by mdb-reader alone.
TEST(ReadersCompareTest, EncryptedAccdbFilesAgreeWithMdbReader) {
  REQUIRE_PREREQUISITES(files);
  REQUIRE_MDB_READER();
  int seen = 0;
  for (const auto& f : files) {
    if (!f.encrypted) continue;
    ++seen;
    SCOPED_TRACE(f.path);
    std::string names;
    ASSERT_EQ(RunCommand(Tool() + " tables " + ShellQuote(f.path) + PasswordOption(f), &names), 0) << names;
    Schema schema = OurSchema(f);
    auto dump = MdbReaderDump(f);
    ASSERT_TRUE(dump);
    std::vector<std::string> theirs;
    for (const auto& t : (*dump)["tables"].items) theirs.push_back(t["name"].text);
    EXPECT_EQ(Lines(names), theirs);
    for (const auto& [table, columns] : schema) {
      std::string ours;
      ASSERT_EQ(RunCommand(Tool() + " export " + ShellQuote(f.path) + " " + ShellQuote(table) + PasswordOption(f), &ours),
                0);
      for (const auto& t : (*dump)["tables"].items)
        if (t["name"].text == table) CompareRows(table, columns, ParseCsv(ours), MdbReaderRows(t), "mdb-reader");
    }
    std::string wrong;
    EXPECT_EQ(RunCommand(Tool() + " tables " + ShellQuote(f.path) + " --password nope 2>&1", &wrong), 1);
    EXPECT_NE(wrong.find("Not a valid password."), std::string::npos) << wrong;
  }
  EXPECT_EQ(seen, 2);
}

TEST(ReadersCompareTest, TableNamesAgreeWithMdbtoolsAndMdbReader) {
  REQUIRE_PREREQUISITES(files);
  REQUIRE_MDBTOOLS();
  const bool reader = testing_support::HaveMdbReader();
  for (const auto& f : files) {
    if (f.encrypted) continue;
    SCOPED_TRACE(f.path);
    std::string ours, tools;
    ASSERT_EQ(RunCommand(Tool() + " tables " + ShellQuote(f.path) + PasswordOption(f), &ours), 0);
    RunCommand("mdb-tables -1 " + ShellQuote(f.path), &tools);
    EXPECT_EQ(Lines(ours), Lines(tools));
    if (reader) {
      auto dump = MdbReaderDump(f);
      ASSERT_TRUE(dump) << "mdb-reader could not read the file";
      std::vector<std::string> names;
      for (const auto& t : (*dump)["tables"].items) names.push_back(t["name"].text);
      EXPECT_EQ(Lines(ours), names);
    }
  }
  REQUIRE_MDB_READER();  // so far compared with mdbtools only
}

TEST(ReadersCompareTest, ColumnTypesAgreeWithMdbtoolsAndMdbReader) {
  REQUIRE_PREREQUISITES(files);
  REQUIRE_MDBTOOLS();
  const bool reader = testing_support::HaveMdbReader();
  for (const auto& f : files) {
    if (f.encrypted) continue;
    SCOPED_TRACE(f.path);
    Schema ours = OurSchema(f);
    EXPECT_EQ(ours, MdbtoolsSchema(f));
    if (!reader) continue;
    auto dump = MdbReaderDump(f);
    ASSERT_TRUE(dump);
    Schema theirs;
    for (const auto& t : (*dump)["tables"].items) {
      auto& cols = theirs[t["name"].text];
      for (const auto& c : t["columns"].items) cols.emplace_back(c["name"].text, MdbReaderType(c));
    }
    EXPECT_EQ(ours, theirs);
  }
  REQUIRE_MDB_READER();  // so far compared with mdbtools only
}

TEST(ReadersCompareTest, EveryValueAgreesWithMdbtoolsAndMdbReader) {
  REQUIRE_PREREQUISITES(files);
  REQUIRE_MDBTOOLS();
  const bool reader = testing_support::HaveMdbReader();
  size_t tables = 0;
  for (const auto& f : files) {
    if (f.encrypted) continue;
    SCOPED_TRACE(f.path);
    Schema schema = OurSchema(f);
    std::optional<Json> dump;
    if (reader) {
      dump = MdbReaderDump(f);
      ASSERT_TRUE(dump);
    }
    for (const auto& [table, columns] : schema) {
      ++tables;
      std::string ours, tools;
      ASSERT_EQ(RunCommand(Tool() + " export " + ShellQuote(f.path) + " " + ShellQuote(table) + PasswordOption(f), &ours),
                0);
      RunCommand("mdb-export -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " + ShellQuote(f.path) + " " +
                     ShellQuote(table),
                 &tools);
      Rows our_rows = ParseCsv(ours);
      CompareRows(table, columns, our_rows, ParseCsv(tools), "mdbtools");
      if (dump) {
        const Json* found = nullptr;
        for (const auto& t : (*dump)["tables"].items)
          if (t["name"].text == table) found = &t;
        ASSERT_NE(found, nullptr) << "mdb-reader has no table " << table;
        CompareRows(table, columns, our_rows, MdbReaderRows(*found), "mdb-reader");
      }
    }
  }
  EXPECT_GT(tables, 10u);
  REQUIRE_MDB_READER();  // so far compared with mdbtools only
}

}  // namespace
