// pelmora-access: the Access file engine from the command line, in the manner
// of mdbtools' commands.
//
//   pelmora-access tables FILE [--password P] [--all]
//   pelmora-access schema FILE [--password P]
//   pelmora-access export FILE TABLE [--password P]
//   pelmora-access check  FILE [--password P]
//   pelmora-access exec   FILE [--password P] [--keep-going] [--no-journal] [SQL ...]
//   pelmora-access create FILE [--format 2000|2003|2007|2010|2016|2019] [--password P]
//                              [--encryption agile|rc4-cryptoapi|standard-aes|cryptoapi-aes]
//
// exec runs each SQL argument in order, or without arguments every non-empty
// line of standard input as one statement; it stops at the first failure
// unless --keep-going, which reports each failure and goes on. --no-journal
// commits without the rollback journal, to measure what the journal costs; a
// crash meanwhile can damage the file.
//
// Exit status 0 on success, 1 on a failure (described on stderr), 2 on wrong usage.

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "platform/jet/public/database.h"
#include "platform/jet/public/value_text.h"
#include "platform/util/digits.h"
#include "tools/access_create.h"
#include "tools/version_flag.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

std::string QuoteCsv(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

bool NeedsQuotes(const std::string& s) {
  return s.empty() || s.find_first_of(",\"\r\n") != std::string::npos || s.front() == ' ' || s.back() == ' ';
}

std::string Hex(const jet::Bytes& b) {
  std::string out;
  util::AppendHex(b, out);
  return out;
}

std::string Shortest(double d, bool single) {
  char buffer[64];
  auto r = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(d))
                  : std::to_chars(buffer, buffer + sizeof buffer, d);
  return std::string(buffer, r.ptr);
}

// One CSV field: text quoted, NULL empty, everything else bare in C-locale form.
std::string CsvField(const jet::ColumnDef& column, const jet::Cell& cell) {
  using jet::ColumnType;
  struct Visitor {
    const jet::ColumnDef& column;
    std::string operator()(const jet::Null&) const { return ""; }
    std::string operator()(bool b) const { return b ? "1" : "0"; }
    std::string operator()(int64_t n) const { return std::to_string(n); }
    std::string operator()(double d) const { return Shortest(d, column.type() == ColumnType::kSingle); }
    std::string operator()(const jet::Money& m) const { return jet::MoneyText(m); }
    std::string operator()(const jet::Decimal& d) const { return jet::DecimalText(d); }
    std::string operator()(const jet::DateTimeValue& d) const { return jet::OleDateText(d.days); }
    std::string operator()(const jet::Guid& g) const { return jet::GuidText(g); }
    std::string operator()(const std::string& s) const { return QuoteCsv(s); }
    std::string operator()(const jet::Bytes& b) const { return Hex(b); }
  };
  return std::visit(Visitor{column}, cell);
}

int Fail(const std::string& message) {
  std::cerr << "pelmora-access: " << message << "\n";
  return kFailure;
}

jet::Result<std::unique_ptr<jet::Database>> OpenDatabase(const std::string& file, const std::string& password,
                                                         bool writable = false, bool journal = true) {
  jet::OpenOptions options;
  options.password = password;
  options.writable = writable;
  options.journal = journal;
  return jet::Database::Open(file, options);
}

int Tables(jet::Database& db, bool all) {
  for (const auto& object : db.Catalog()) {
    if (all)
      std::cout << object.name << '\t' << object.type_name << '\n';
    else if (object.user_table)
      std::cout << object.name << '\n';
  }
  return 0;
}

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

std::string IndexColumns(const jet::IndexInfo& index) {
  std::string out = "(";
  for (size_t i = 0; i < index.columns.size(); ++i)
    out += (i ? ", " : "") + Bracketed(index.columns[i].name) + (index.columns[i].ascending ? "" : " DESC");
  return out + ")";
}

std::string ColumnList(const std::vector<std::string>& names) {
  std::string out = "(";
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + Bracketed(names[i]);
  return out + ")";
}

// Each table as the statements that make it again: CREATE TABLE with its
// primary key, then CREATE INDEX for every other index; then each
// relationship between user tables as ALTER TABLE ... ADD CONSTRAINT.
int Schema(jet::Database& db) {
  for (const auto& name : db.UserTables()) {
    auto columns = db.TableColumns(name);
    if (!columns) return Fail(columns.error().message);
    auto indexes = db.TableIndexes(name);
    if (!indexes) return Fail(indexes.error().message);
    std::string line = "CREATE TABLE " + Bracketed(name) + " (";
    for (size_t i = 0; i < columns->size(); ++i) {
      const auto& c = (*columns)[i];
      line += (i ? ", " : "") + Bracketed(c.name) + " " + jet::SqlTypeName(c);
    }
    for (const auto& index : *indexes)
      if (index.primary_key) line += ", CONSTRAINT " + Bracketed(index.name) + " PRIMARY KEY " + IndexColumns(index);
    std::cout << line << ");\n";
    for (const auto& index : *indexes) {
      if (index.primary_key || index.foreign_key) continue;
      std::cout << "CREATE " << (index.unique ? "UNIQUE " : "") << "INDEX " << Bracketed(index.name) << " ON "
                << Bracketed(name) << " " << IndexColumns(index)
                << (index.required ? " WITH DISALLOW NULL" : index.ignore_nulls ? " WITH IGNORE NULL" : "") << ";\n";
    }
  }
  auto relationships = db.Relationships();
  if (!relationships) return Fail(relationships.error().message);
  const auto user_tables = db.UserTables();
  auto user_table = [&](const std::string& name) {
    return std::find(user_tables.begin(), user_tables.end(), name) != user_tables.end();
  };
  for (const auto& r : *relationships) {
    if (!user_table(r.table) || !user_table(r.referenced_table)) continue;
    std::cout << (r.enforced ? "" : "-- not enforced: ") << "ALTER TABLE " << Bracketed(r.table)
              << " ADD CONSTRAINT " << Bracketed(r.name) << " FOREIGN KEY " << ColumnList(r.columns)
              << " REFERENCES " << Bracketed(r.referenced_table) << " " << ColumnList(r.referenced_columns)
              << (r.cascade_updates ? " ON UPDATE CASCADE" : "")
              << (r.cascade_deletes ? " ON DELETE CASCADE" : r.set_null_on_delete ? " ON DELETE SET NULL" : "")
              << ";\n";
  }
  return 0;
}

int Export(jet::Database& db, const std::string& table) {
  auto reader = db.ReadTable(table);
  if (!reader) return Fail(reader.error().message);
  const auto& columns = (*reader)->columns();
  std::string out;
  for (size_t i = 0; i < columns.size(); ++i)
    out += (i ? "," : "") + (NeedsQuotes(columns[i].name) ? QuoteCsv(columns[i].name) : columns[i].name);
  out += "\r\n";
  for (; (*reader)->Valid(); (*reader)->Next()) {
    const auto& row = (*reader)->row();
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += ',';
      out += CsvField(columns[i], row[i]);
    }
    out += "\r\n";
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  if (!(*reader)->status()) return Fail((*reader)->status().error().message);
  return 0;
}

int Check(jet::Database& db) {
  auto problems = db.Check();
  if (!problems) return Fail(problems.error().message);
  if (problems->empty()) {
    std::cout << "ok\n";
    return 0;
  }
  for (const auto& p : *problems) std::cout << p << '\n';
  return kFailure;
}

// Executes the statements; the exit status is 1 when any failed.
int Exec(jet::Database& db, const std::vector<std::string>& statements, bool keep_going) {
  int status = 0;
  size_t number = 0;
  auto run = [&](const std::string& sql) {
    ++number;
    auto done = db.Execute(sql);
    if (done) return true;
    std::cerr << "pelmora-access: statement " << number << ": " << done.error().message << "\n";
    status = kFailure;
    return keep_going;
  };
  if (!statements.empty()) {
    for (const auto& sql : statements)
      if (!run(sql)) break;
    return status;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (!run(line)) break;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  CLI::App app{"Reads Microsoft Access databases (.mdb, .accdb) with Pelmora's own engine."};
  AddVersionFlag(app, "pelmora-access");
  app.require_subcommand(1);
  std::string file, password, table;
  bool all = false, keep_going = false, no_journal = false;
  std::vector<std::string> statements;
  std::string format, encryption;

  auto add_common = [&](CLI::App* sub) {
    sub->add_option("FILE", file, "The Access database file")->required();
    sub->add_option("--password", password, "The database password");
  };
  auto* tables = app.add_subcommand("tables", "List the user tables, one per line");
  add_common(tables);
  tables->add_flag("--all", all, "List every catalogue object as NAME<TAB>TABLE_TYPE");
  auto* schema = app.add_subcommand(
      "schema", "Print the statements that make the user tables again: CREATE TABLE, CREATE INDEX, relationships");
  add_common(schema);
  auto* exporter = app.add_subcommand("export", "Print a table's rows as CSV");
  add_common(exporter);
  exporter->add_option("TABLE", table, "The table")->required();
  auto* check = app.add_subcommand("check", "Read every reachable page and report inconsistencies");
  add_common(check);
  auto* exec = app.add_subcommand("exec", "Execute CREATE TABLE / CREATE INDEX / ALTER TABLE / DROP INDEX / INSERT INTO / DROP TABLE statements");
  add_common(exec);
  exec->add_flag("--keep-going", keep_going, "Report each failed statement and go on with the next");
  exec->add_flag("--no-journal", no_journal,
                 "Commit without the rollback journal: for measuring its cost only; a crash meanwhile can damage "
                 "the file");
  exec->add_option("SQL", statements, "Statements, in order (default: one per line of standard input)");
  auto* create = app.add_subcommand("create", "Create a new, empty Access database (.mdb or .accdb)");
  create->add_option("FILE", file, "The new database file; an existing file is never replaced")->required();
  create->add_option("--format", format,
                     "Access file format: 2000 or 2003 for an .mdb (default 2000), 2007, 2010, 2016 or 2019 for an "
                     ".accdb (default 2016)");
  create->add_option("--password", password,
                     "A database password: kept in the header of an .mdb (at most 20 characters), encrypting every "
                     "page of an .accdb (AES-256)");
  create->add_option("--encryption", encryption,
                     "How the password encrypts an .accdb: agile (default, as current Access), rc4-cryptoapi, "
                     "standard-aes (Access 2007) or cryptoapi-aes (AES with Access's encryption compatibility mode off)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsage;
  }

  if (create->parsed()) return RunCreateCommand(file, format, password, encryption);

  auto db = OpenDatabase(file, password, exec->parsed(), !no_journal);
  if (!db) return Fail(db.error().message);
  int status = 0;
  if (tables->parsed()) status = Tables(**db, all);
  else if (schema->parsed()) status = Schema(**db);
  else if (exporter->parsed()) status = Export(**db, table);
  else if (check->parsed()) status = Check(**db);
  else if (exec->parsed()) status = Exec(**db, statements, keep_going);
  if (auto closed = (*db)->Close(); !closed && status == 0) return Fail(closed.error().message);
  return status;
}
