#pragma once
// Statements executed on a writable copy of an Access fixture through
// Database::Execute, with a model of what the file should then hold (tables,
// column types, rows), and the comparison of that model with what the
// independent readers (mdbtools, mdb-reader) see.
//
//   ddl_test::Session s;
//   REQUIRE_FIXTURES("empty-2000.mdb");
//   ASSERT_TRUE(s.Open("empty-2000.mdb", "MyTest"));
//   s.Run("CREATE TABLE t (id INT)");          // must succeed; the model follows
//   s.Refused("INSERT INTO t VALUES (1, 2)");  // must fail with "SQLException: "
//   s.Close();
//   s.ExpectReadersAgree();
//
// Expected cells come from the SQL layer's conversion of each literal (its
// own tests check the conversions); what is checked here is that every value
// arrives in the file as converted, as both readers read it.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/jet/public/database.h"
#include "platform/jet/sql/literal.h"
#include "platform/jet/sql/names.h"
#include "platform/jet/sql/parser.h"
#include "tests/jet/write/readers.h"
#include "tests/jet/write/writable_copy.h"

namespace ddl_test {

struct ModelTable {
  std::string name;
  std::vector<jet::ColumnSpec> columns;
  std::vector<std::vector<jet::Cell>> rows;
  int64_t counter = 0;  // last AutoNumber handed out
};

// The type as mdb-reader names it, with its size where it has one.
inline std::string MdbReaderType(const jet::ColumnSpec& c) {
  using jet::ColumnType;
  switch (c.type) {
    case ColumnType::kBoolean: return "boolean";
    case ColumnType::kByte: return "byte";
    case ColumnType::kInteger: return "integer";
    case ColumnType::kLong: return "long";
    case ColumnType::kMoney: return "currency";
    case ColumnType::kSingle: return "float";
    case ColumnType::kDouble: return "double";
    case ColumnType::kDateTime: return "datetime";
    case ColumnType::kBinary: return "binary";
    case ColumnType::kText: return fmt::format("text({})", 2 * c.max_chars);
    case ColumnType::kOle: return "ole";
    case ColumnType::kMemo: return "memo";
    case ColumnType::kGuid: return "repid";
    case ColumnType::kNumeric: return fmt::format("numeric({},{})", c.precision, c.scale);
    case ColumnType::kBigInt: return "bigint";
    default: return "?";
  }
}

// The type as mdb-schema prints it.
inline std::string MdbtoolsType(const jet::ColumnSpec& c) {
  using jet::ColumnType;
  switch (c.type) {
    case ColumnType::kBoolean: return "Boolean NOT NULL";
    case ColumnType::kByte: return "Byte";
    case ColumnType::kInteger: return "Integer";
    case ColumnType::kLong: return "Long Integer";
    case ColumnType::kMoney: return "Currency";
    case ColumnType::kSingle: return "Single";
    case ColumnType::kDouble: return "Double";
    case ColumnType::kDateTime: return "DateTime";
    case ColumnType::kBinary: return "Binary";
    case ColumnType::kText: return fmt::format("Text ({})", c.max_chars);
    case ColumnType::kOle: return "OLE (255)";
    case ColumnType::kMemo: return "Memo/Hyperlink (255)";
    case ColumnType::kGuid: return "Replication ID";
    case ColumnType::kNumeric: return fmt::format("Numeric ({}, {})", c.precision, c.scale);
    case ColumnType::kBigInt: return "Big Int";
    default: return "?";
  }
}

class Session {
 public:
  std::string path;
  std::string password;
  std::unique_ptr<jet::Database> db;
  std::map<std::string, ModelTable> tables;  // by the name as stored
  std::set<std::string> original_tables;

  // Copies the fixture and opens the copy for writing; false when the fixture is absent.
  bool Open(const std::string& fixture, const std::string& test, const std::string& pw = "") {
    auto source = testing_support::AccessFixture(fixture);
    if (!source) return false;
    return OpenFile(testing_support::CopyFile(*source, testing_support::ScratchFolder(test)), pw);
  }

  // Opens the file at `file` itself (one the test made) for writing.
  bool OpenFile(const std::string& file, const std::string& pw = "") {
    path = file;
    password = pw;
    Reopen();
    if (!db) return false;
    for (const auto& name : db->UserTables()) {
      original_tables.insert(name);
      auto tools = readers::MdbtoolsRows(path, name);
      auto js = readers::MdbReaderRows(path, name, password);
      EXPECT_TRUE(tools && js) << "the readers cannot read table " << name << " of " << path;
      if (tools && js) originals[name] = {*tools, js->rows};
    }
    return true;
  }

  void Reopen() {
    db.reset();
    jet::OpenOptions options;
    options.writable = true;
    options.password = password;
    auto opened = jet::Database::Open(path, options);
    EXPECT_TRUE(opened) << (opened ? "" : opened.error().message);
    if (opened) db = std::move(*opened);
  }

  void Close() {
    if (!db) return;
    auto closed = db->Close();
    EXPECT_TRUE(closed) << (closed ? "" : closed.error().message);
    db.reset();
  }

  ModelTable* Find(const std::string& name) {
    for (auto& [stored, t] : tables)
      if (jet::sql::SameName(stored, name)) return &t;
    return nullptr;
  }

  // Executes a statement that must succeed, and updates the model.
  void Run(const std::string& sql) {
    auto done = db->Execute(sql);
    ASSERT_TRUE(done) << sql.substr(0, 200) << "\n-> " << done.error().message;
    auto parsed = jet::sql::Parse(sql);
    ASSERT_TRUE(parsed);
    if (auto* create = std::get_if<jet::sql::CreateTable>(&*parsed)) {
      tables[create->table] = ModelTable{create->table, create->columns, {}, 0};
    } else if (auto* drop = std::get_if<jet::sql::DropTable>(&*parsed)) {
      for (auto it = tables.begin(); it != tables.end(); ++it)
        if (jet::sql::SameName(it->first, drop->table)) {
          tables.erase(it);
          break;
        }
    } else if (auto* insert = std::get_if<jet::sql::InsertInto>(&*parsed)) {
      ModelTable* t = Find(insert->table);
      ASSERT_NE(t, nullptr) << "no model of table " << insert->table;
      std::vector<jet::Cell> row(t->columns.size(), jet::Cell{jet::Null{}});
      // Columns a column list leaves out take their defaults.
      for (size_t c = 0; insert->columns && c < t->columns.size(); ++c) {
        if (t->columns[c].default_value.empty()) continue;
        auto literal = jet::sql::ParseDefaultValue(t->columns[c].default_value);
        ASSERT_TRUE(literal);
        auto cell = jet::sql::ConvertLiteral(*literal, t->columns[c], t->name);
        ASSERT_TRUE(cell);
        row[c] = *cell;
      }
      for (size_t i = 0; i < insert->values.size(); ++i) {
        size_t at = i;
        if (insert->columns)
          for (size_t c = 0; c < t->columns.size(); ++c)
            if (jet::sql::SameName(t->columns[c].name, (*insert->columns)[i])) at = c;
        auto cell = jet::sql::ConvertLiteral(insert->values[i], t->columns[at], t->name);
        ASSERT_TRUE(cell) << cell.error().message;
        row[at] = *cell;
      }
      for (size_t c = 0; c < row.size(); ++c) {
        const auto& spec = t->columns[c];
        if (spec.type == jet::ColumnType::kBoolean && jet::IsNull(row[c])) row[c] = false;
        if (spec.auto_number) {
          if (jet::IsNull(row[c])) row[c] = ++t->counter;
          else t->counter = std::max(t->counter, std::get<int64_t>(row[c]));
        }
      }
      t->rows.push_back(std::move(row));
    }
  }

  // Executes a statement that must fail; its message.
  std::string Refused(const std::string& sql) {
    auto done = db->Execute(sql);
    EXPECT_FALSE(done) << "accepted: " << sql.substr(0, 200);
    if (done) return "";
    EXPECT_EQ(done.error().message.rfind("SQLException: ", 0), 0u) << done.error().message;
    return done.error().message;
  }

  // Both readers list exactly the original and the model's tables, with the
  // model's column names, types and rows; `pelmora-access check` finds nothing.
  void ExpectReadersAgree() {
    // mdb-reader: names, columns, types, rows, row counts.
    std::string out;
    std::string cmd = "node " + readers::ShellQuote(readers::ReadersDir() + "/dump.mjs") + " " +
                      readers::ShellQuote(path) + (password.empty() ? "" : " --password " + readers::ShellQuote(password));
    ASSERT_EQ(testing_support::RunCommand(cmd + " 2>&1", &out), 0) << out.substr(0, 500);
    testing_support::Json json;
    ASSERT_TRUE(testing_support::JsonParser(out).Parse(json));
    std::set<std::string> seen;
    for (const auto& t : json["tables"].items) {
      const std::string& name = t["name"].text;
      seen.insert(name);
      if (original_tables.count(name) && !tables.count(name)) continue;
      auto it = tables.find(name);
      if (it == tables.end()) {
        ADD_FAILURE() << "mdb-reader lists table " << name << ", which should not exist";
        continue;
      }
      const ModelTable& m = it->second;
      ASSERT_EQ(t["columns"].items.size(), m.columns.size()) << name;
      std::vector<jet::ColumnType> types;
      for (size_t c = 0; c < m.columns.size(); ++c) {
        const auto& col = t["columns"].items[c];
        EXPECT_EQ(col["name"].text, m.columns[c].name) << name;
        std::string type = col["type"].text;
        if (type == "text") type += "(" + col["size"].text + ")";
        if (type == "numeric") type += "(" + col["precision"].text + "," + col["scale"].text + ")";
        EXPECT_EQ(type, MdbReaderType(m.columns[c])) << name << "." << m.columns[c].name;
        types.push_back(m.columns[c].type);
      }
      readers::Rows rows;
      for (const auto& r : t["rows"].items) {
        std::vector<readers::Value> row;
        for (const auto& v : r.items)
          row.push_back(readers::Value{v.kind == testing_support::Json::kNull,
                                       v.kind == testing_support::Json::kBool ? (v.boolean ? "1" : "0") : v.text});
        rows.push_back(std::move(row));
      }
      NormaliseGuids(types, rows);
      EXPECT_EQ(rows.size(), m.rows.size()) << "mdb-reader, table " << name;
      EXPECT_EQ(std::atoll(t["rowCount"].text.c_str()), static_cast<long long>(m.rows.size())) << name;
      EXPECT_EQ(readers::Compare(m.rows, types, rows, readers::Reader::kMdbReader), "") << "table " << name;

      if (MdbtoolsCannotRead(m)) continue;
      auto tools = readers::MdbtoolsRows(path, name);
      ASSERT_TRUE(tools) << "mdb-export failed on " << name;
      NormaliseGuids(types, *tools);
      EXPECT_EQ(tools->size(), m.rows.size()) << "mdbtools, table " << name;
      EXPECT_EQ(readers::Compare(AsMdbtoolsShowsThem(m.rows, types), types, *tools, readers::Reader::kMdbtools), "")
          << "table " << name;
    }
    std::set<std::string> expected = original_tables;
    for (const auto& n : dropped_originals) expected.erase(n);
    for (const auto& [name, m] : tables) expected.insert(name);
    EXPECT_EQ(seen, expected) << "mdb-reader's tables";

    // The file's own tables read as before.
    for (const auto& [name, before] : originals) {
      if (dropped_originals.count(name)) continue;
      auto tools = readers::MdbtoolsRows(path, name);
      auto js = readers::MdbReaderRows(path, name, password);
      ASSERT_TRUE(tools && js) << "original table " << name;
      EXPECT_EQ(tools->size(), before.first.size()) << "mdbtools, original table " << name;
      EXPECT_EQ(js->rows.size(), before.second.size()) << "mdb-reader, original table " << name;
      EXPECT_EQ(readers::SameRows(before.first, *tools, before.first.size()), "") << "original table " << name;
      EXPECT_EQ(readers::SameRows(before.second, js->rows, before.second.size()), "") << "original table " << name;
    }

    // mdbtools: the table list and the column types.
    ASSERT_EQ(testing_support::RunCommand("mdb-tables -1 " + readers::ShellQuote(path), &out), 0);
    std::set<std::string> listed;
    for (const auto& line : Lines(out)) listed.insert(line);
    EXPECT_EQ(listed, expected) << "mdbtools' tables";
    ASSERT_EQ(testing_support::RunCommand("mdb-schema " + readers::ShellQuote(path) + " access 2>/dev/null", &out), 0);
    std::map<std::string, std::vector<std::string>> schema;
    std::string current;
    std::regex table_re(R"(^CREATE TABLE \[(.+)\]$)"), column_re(R"(^\s*\[(.+)\]\s+(.+?),?\s*$)");
    for (const auto& line : Lines(out)) {
      std::smatch sm;
      if (std::regex_match(line, sm, table_re)) current = sm[1].str();
      else if (!current.empty() && std::regex_match(line, sm, column_re)) schema[current].push_back(sm[2].str());
      else if (line.rfind(");", 0) == 0) current.clear();
    }
    for (const auto& [name, m] : tables) {
      if (MdbtoolsCannotRead(m)) continue;
      std::vector<std::string> want;
      for (const auto& c : m.columns) want.push_back(MdbtoolsType(c));
      EXPECT_EQ(schema[name], want) << "mdb-schema, table " << name;
    }

    EXPECT_EQ(CheckReport(), "");
  }

  // What `pelmora-access check` reports ("" when nothing).
  std::string CheckReport() const { return readers::CheckReport(path, password); }

  // GUIDs as "{UPPER-CASE}": mdb-reader writes them bare in lower case, mdb-export
  // -b hex as the hexadecimal of their braced text (missing one dash).
  static void NormaliseGuids(const std::vector<jet::ColumnType>& types, readers::Rows& rows) {
    for (auto& row : rows)
      for (size_t c = 0; c < row.size() && c < types.size(); ++c) {
        if (types[c] != jet::ColumnType::kGuid || row[c].null) continue;
        std::string t = row[c].text;
        if (t.rfind("7B", 0) == 0 && t.size() % 2 == 0) {
          std::string ascii;
          for (size_t i = 0; i + 1 < t.size(); i += 2) ascii += static_cast<char>(std::stoi(t.substr(i, 2), nullptr, 16));
          t = ascii;
        }
        std::string digits;
        for (char ch : t)
          if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
        if (digits.size() == 32)
          t = "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
              digits.substr(16, 4) + "-" + digits.substr(20) + "}";
        row[c].text = readers::Upper(t);
      }
  }

  // mdbtools 1.0 does not know Large Number (BIGINT) columns: it reads them as NULL.
  static bool MdbtoolsCannotRead(const ModelTable& m) {
    for (const auto& c : m.columns)
      if (c.type == jet::ColumnType::kBigInt) return true;
    return false;
  }

  // mdbtools reads Binary (not OLE) values as C strings: up to the first zero byte.
  static std::vector<std::vector<jet::Cell>> AsMdbtoolsShowsThem(std::vector<std::vector<jet::Cell>> rows,
                                                                 const std::vector<jet::ColumnType>& types) {
    for (auto& row : rows)
      for (size_t c = 0; c < row.size(); ++c) {
        auto* b = std::get_if<jet::Bytes>(&row[c]);
        if (!b || types[c] != jet::ColumnType::kBinary) continue;
        b->resize(std::find(b->begin(), b->end(), 0) - b->begin());
        if (b->empty()) row[c] = jet::Null{};
      }
    return rows;
  }

  std::set<std::string> dropped_originals;  // original tables a test dropped
  std::map<std::string, std::pair<readers::Rows, readers::Rows>> originals;  // mdbtools' and mdb-reader's rows

 private:
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (!line.empty()) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
};

// The fixtures a copy of which can be written, with their passwords.
inline std::vector<std::pair<std::string, std::string>> WritableFixtures() {
  return {{"empty-2000.mdb", ""},        {"empty-2003.mdb", ""},
          {"engine-empty-jet4.mdb", ""}, {"content-2000.mdb", ""},
          {"content-2003.mdb", ""},      {"indexes-2000.mdb", ""},
          {"unicode-compression-2003.mdb", ""}, {"password-2000.mdb", "password"},
          {"password-2003.mdb", "password"},    {"empty-2007.accdb", ""},
          {"empty-2010.accdb", ""},      {"empty-2016.accdb", ""},
          {"empty-2019.accdb", ""},      {"content-2007.accdb", ""},
          {"content-2010.accdb", ""},    {"emoticons-2010.accdb", ""},
          {"indexes-2007.accdb", ""},    {"longtext-2016.accdb", ""}};
}

// The whole file, for comparing a file before and after refused statements.
inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fixture's name as a test name: "empty-2003.mdb" -> "empty_2003_mdb".
struct FixtureName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    std::string name = info.param;
    for (char& c : name)
      if (c == '-' || c == '.') c = '_';
    return name;
  }
};

}  // namespace ddl_test
