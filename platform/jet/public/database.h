#pragma once
// The Access file engine's public face: open a .mdb or .accdb file, list its
// catalogue, read a table's columns and rows, check its pages, close it.
//
//   auto db = jet::Database::Open(path, {.password = "pw"});
//   if (!db) report(db.error().message);
//   auto rows = (*db)->ReadTable("Customers");
//   for (; (*rows)->Valid(); (*rows)->Next()) use((*rows)->row());
//
//   auto db = jet::Database::Open(path, {.writable = true});
//   auto done = (*db)->Execute("INSERT INTO t VALUES (1, 'a')");
//   if (!done) report(done.error().message);   // kStatementRefused: "SQLException: ..."
//   (*db)->Close();                             // every change on disk, synced
//
// Statements (CREATE TABLE, CREATE INDEX, DROP INDEX, INSERT INTO, DROP TABLE) each change the file
// completely or not at all (executor.h); the catalogue follows CREATE and DROP.
//
// This folder (public/) is all that code outside the engine includes; the
// layers below (format, crypto, file, table, create, sql) are the engine's own.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/column.h"
#include "platform/jet/public/options.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet {

// The layers below, for the engine's own tests and tools that look at pages.
class Executor;
class PageStore;
class Pager;
namespace format {
struct Header;
}
namespace table {
struct CatalogObject;
class RowCursor;
class Table;
}  // namespace table

// One entry of the catalogue (MSysObjects) as callers list it.
struct CatalogEntry {
  std::string name;
  std::string type_name;  // "Table", "System table", "Query", ...
  std::string ado_type;   // "TABLE", "SYSTEM TABLE", "ACCESS TABLE"; empty for objects ADO does not list
  bool user_table = false;
};

// An index of a table as Access shows it.
struct IndexInfo {
  struct Column {
    std::string name;
    bool ascending = true;
  };
  std::string name;
  std::vector<Column> columns;
  bool primary_key = false;
  bool unique = false;
  bool required = false;      // DISALLOW NULL (a primary key's too)
  bool ignore_nulls = false;  // IGNORE NULL
  bool foreign_key = false;   // kept for a relationship (either side)
};

// A relationship between two tables, as MSysRelationships holds it.
struct RelationshipInfo {
  std::string name;
  std::string table;             // the table holding the foreign key
  std::string referenced_table;  // the table whose key it names
  std::vector<std::string> columns, referenced_columns;  // in pairs
  bool enforced = true;
  bool cascade_updates = false;
  bool cascade_deletes = false;
  bool set_null_on_delete = false;
};

// The rows of one table, streamed.
class TableReader {
 public:
  explicit TableReader(std::unique_ptr<table::Table> table);
  ~TableReader();
  const std::vector<ColumnDef>& columns() const;
  bool Valid() const;
  void Next();
  const Status& status() const;
  const std::vector<Cell>& row() const;

 private:
  std::unique_ptr<table::Table> table_;
  std::unique_ptr<table::RowCursor> cursor_;
};

class Database {
 public:
  static Result<std::unique_ptr<Database>> Open(const std::string& path, const OpenOptions& options = {});
  ~Database();

  bool writable() const;

  // Every catalogue object, in catalogue order.
  std::vector<CatalogEntry> Catalog() const;
  // Names of the user tables, in catalogue order.
  std::vector<std::string> UserTables() const;
  // Whether a table (of any kind with a definition) has this name: exact, else without regard to case.
  bool HasTable(std::string_view name) const;

  Result<std::vector<ColumnDef>> TableColumns(std::string_view name);
  // The table's indexes, in the order the definition lists them (by name).
  Result<std::vector<IndexInfo>> TableIndexes(std::string_view name);
  Result<std::unique_ptr<TableReader>> ReadTable(std::string_view name);
  // Every relationship of the database, system tables' too.
  Result<std::vector<RelationshipInfo>> Relationships();

  // Reads every page it can reach; the inconsistencies found (empty: none).
  Result<std::vector<std::string>> Check();

  // Executes one statement (CREATE TABLE / CREATE INDEX / ALTER TABLE / DROP INDEX / INSERT INTO / DROP TABLE). A
  // refused statement is kStatementRefused ("SQLException: ..."); a commit
  // that failed on its way is kWriteFailed.
  Status Execute(std::string_view sql);

  // Writes what is pending to the file and syncs it.
  Status Flush();
  // Commits what is pending once the commit policy's time has come (500 ms
  // after the first uncommitted statement). Statements check this when they
  // end; a program that waits between statements calls it from a timer.
  Status CommitIfDue();
  // Flushes and releases the file. Idempotent; afterwards every read fails.
  Status Close();
  bool IsOpen() const { return pager_ != nullptr; }

  // The layers below, for the engine's own tests (their headers define the types).
  const format::Header& header() const;
  PageStore& pages();
  const std::vector<table::CatalogObject>& Objects() const;
  Result<const table::CatalogObject*> FindTable(std::string_view name) const;

 private:
  Database(std::unique_ptr<Pager> pager, std::vector<table::CatalogObject> objects);

  Status RequireOpen() const;
  // Index entries that wait for their trees go in before the file is read.
  Status SettleIndexes();

  std::unique_ptr<Pager> pager_;
  std::vector<table::CatalogObject> objects_;
  std::unique_ptr<Executor> executor_;  // made by the first statement
};

}  // namespace jet
