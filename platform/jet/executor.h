#pragma once
// Executes statements on an open database (Database::Execute): CREATE TABLE,
// CREATE INDEX, ALTER TABLE, INSERT INTO ... VALUES, DROP INDEX and DROP
// TABLE, each all-or-nothing.
//
// A statement is parsed, its table and values checked and converted first;
// only then are pages written, as one statement of the pager: a failure
// part-way (a damaged page, the 2 GB limit) is undone with RollbackStatement,
// which puts every page back as it was before the statement and keeps the
// earlier ones. A finished statement joins the pager's pending group, which
// the pager commits by its policy (file/commit_policy.h) and at Flush. A
// refused statement is kStatementRefused, its message starting with
// "SQLException: "; a failed commit is kWriteFailed (it drops the pending
// group, and the catalogue and the table writers are read again from the file).
//
// Inserts keep a TableAppender per table between statements (its definition
// parsed once, its current page remembered); each insert also writes the row
// count into the definition, so that every commit holds consistent tables.
// Their index entries wait in the appender (AppendOptions) while INSERTs into
// that table follow one another, and go into the trees, in key order, before
// anything else: every commit (the pager's hook), any other statement, an
// INSERT into another table, and SettleIndexes() for readers. They also go
// once they take kMaxPendingBytes, or when the file nears its size limit.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/jet/file/pager.h"
#include "platform/jet/public/result.h"
#include "platform/jet/sql/ast.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/table/table_appender.h"

namespace jet {

class Executor {
 public:
  // `objects` is the database's catalogue, kept current after CREATE and DROP.
  Executor(Pager& pager, std::vector<table::CatalogObject>& objects);
  ~Executor();

  Status Execute(std::string_view sql);

  // Commits what is pending.
  Status Flush();
  // Commits the statements since the last commit when the commit policy says
  // it is due; for a caller that waits between statements.
  Status CommitIfDue();
  // Puts waiting index entries into their trees, for a reader of the file.
  Status SettleIndexes();

  static constexpr size_t kMaxPendingBytes = size_t{128} << 20;

 private:
  struct TableWriter;

  Status Create(const sql::CreateTable& statement);
  Status Insert(sql::InsertInto& statement);
  Status Drop(const sql::DropTable& statement);
  Status CreateIndex(const sql::CreateIndex& statement);
  Status DropIndex(const sql::DropIndex& statement);
  Status AddForeignKey(const sql::AddForeignKey& statement);
  // Inside a statement: the relationship `spec` of `table` (in `objects`).
  Status MakeRelationship(const std::vector<table::CatalogObject>& objects, const table::CatalogObject& table,
                          const sql::ForeignKeySpec& spec);
  void ForgetWriter(uint32_t tdef);

  Result<TableWriter*> WriterFor(const std::string& name);
  Result<const table::CatalogObject*> UserTable(std::string_view name, std::string_view action) const;
  Status RefreshCatalog();
  Error ReadOnlyError() const;
  // After a failed commit dropped the pending statements: forget what they made.
  Error AfterFailedCommit(const Error& e);
  // Runs `body` as one statement: on failure every page goes back and `writer`
  // (if any) reloads.
  template <typename Body>
  Status AsStatement(TableWriter* writer, Body&& body);
  bool HasPendingEntries() const;
  // Inside a statement: every writer's waiting entries, but `except`'s.
  Status WritePendingEntries(uint32_t except = 0);
  // The group's rows can no longer get their index entries: it is dropped.
  Error DropGroup(const Error& why);

  Pager& pager_;
  std::vector<table::CatalogObject>& objects_;
  table::PageAllocator allocator_;
  std::unordered_map<uint32_t, std::unique_ptr<TableWriter>> writers_;  // by definition page
  std::unordered_map<std::string, TableWriter*> by_name_;               // by the name as statements write it
  std::vector<TableWriter*> touched_;  // writers whose pages the statement under way changed
  uint32_t last_insert_ = 0;            // the definition page of the table the last INSERT went to
  sql::InsertInto insert_;  // reused by every INSERT: parsing allocates nothing once it has grown
};

}  // namespace jet
