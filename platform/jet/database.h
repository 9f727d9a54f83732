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
// Statements (CREATE TABLE, INSERT INTO, DROP TABLE) each change the file
// completely or not at all (executor.h); Objects() follows CREATE and DROP.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/file/env.h"
#include "platform/jet/file/pager.h"
#include "platform/jet/format/header.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/result.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/table.h"
#include "platform/jet/value.h"

namespace jet {

class Executor;

struct OpenOptions {
  std::string password;
  bool writable = false;
  Env* env = nullptr;  // nullptr: the operating system
  // When grouped statements are committed. At hundreds of thousands of
  // INSERTs a second a count of statements would commit every few
  // milliseconds; the time limit bounds what a crash can lose instead.
  CommitLimits commit_limits = {.statements = 1000000, .delay = std::chrono::milliseconds(500)};
  // false: commits without a rollback journal. For measuring the journal's
  // cost only: a crash during such a commit can damage the file.
  bool journal = true;
};

// The rows of one table, streamed.
class TableReader {
 public:
  explicit TableReader(std::unique_ptr<table::Table> table)
      : table_(std::move(table)), cursor_(table_->Scan()) {}
  const std::vector<format::ColumnDef>& columns() const { return table_->columns(); }
  bool Valid() const { return cursor_.Valid(); }
  void Next() { cursor_.Next(); }
  const Status& status() const { return cursor_.status(); }
  const std::vector<Cell>& row() const { return cursor_.row(); }

 private:
  std::unique_ptr<table::Table> table_;
  table::RowCursor cursor_;
};

class Database {
 public:
  static Result<std::unique_ptr<Database>> Open(const std::string& path, const OpenOptions& options = {});
  ~Database();

  const format::Header& header() const { return pager_->header(); }
  bool writable() const { return pager_->writable(); }

  // Every catalogue object, in catalogue order.
  const std::vector<table::CatalogObject>& Objects() const { return objects_; }
  // Names of the user tables, in catalogue order.
  std::vector<std::string> UserTables() const;
  // A table (of any kind with a definition) by name: exact, else without regard to case.
  Result<const table::CatalogObject*> FindTable(std::string_view name) const;

  Result<std::vector<format::ColumnDef>> TableColumns(std::string_view name);
  Result<std::unique_ptr<TableReader>> ReadTable(std::string_view name);

  // Reads every page it can reach; the inconsistencies found (empty: none).
  Result<std::vector<std::string>> Check();

  // Executes one statement (CREATE TABLE / INSERT INTO / DROP TABLE). A
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

  PageStore& pages() { return *pager_; }

 private:
  Database(std::unique_ptr<Pager> pager, std::vector<table::CatalogObject> objects);

  Status RequireOpen() const;

  std::unique_ptr<Pager> pager_;
  std::vector<table::CatalogObject> objects_;
  std::unique_ptr<Executor> executor_;  // made by the first statement
};

}  // namespace jet
