#pragma once
// Executes statements on an open database (Database::Execute): CREATE TABLE,
// INSERT INTO ... VALUES and DROP TABLE, each all-or-nothing.
//
// A statement is parsed, its table and values checked and converted first;
// only then are pages written, inside a statement of StatementPages, so that
// a failure part-way (a damaged page, the 2 GB limit) puts every page back as
// it was before the statement. Finished statements stay in the pager's memory
// until a commit: whenever the pages written since the last commit pass
// kCommitPages (so memory does not grow with the rows), and on Flush. Each failure's
// message starts with "SQLException: ", a failed commit's included.
//
// Inserts keep a TableAppender per table between statements (its definition
// parsed once, its current page remembered) and write the row count back into
// the definition before each commit.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/jet/file/pager.h"
#include "platform/jet/result.h"
#include "platform/jet/sql/ast.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/table/statement_pages.h"
#include "platform/jet/table/table_appender.h"

namespace jet {

class Executor {
 public:
  static constexpr size_t kCommitPages = 4096;  // 16 MiB of changed pages

  // `objects` is the database's catalogue, kept current after CREATE and DROP.
  Executor(Pager& pager, std::vector<table::CatalogObject>& objects);
  ~Executor();

  Status Execute(std::string_view sql);

  // Writes pending row counts into their tables and commits the pager.
  Status Flush();

 private:
  struct TableWriter;

  Status Create(const sql::CreateTable& statement);
  Status Insert(sql::InsertInto& statement);
  Status Drop(const sql::DropTable& statement);

  Result<TableWriter*> WriterFor(const std::string& name);
  Result<const table::CatalogObject*> UserTable(std::string_view name, std::string_view action) const;
  Status FinishAll();
  Status CommitIfLarge();
  Status Commit();
  Status RefreshCatalog();
  // Runs `body` as one statement: on failure every page goes back and `writer`
  // (if any) reloads.
  template <typename Body>
  Status AsStatement(TableWriter* writer, Body&& body);

  Pager& pager_;
  std::vector<table::CatalogObject>& objects_;
  table::StatementPages pages_;
  table::PageAllocator allocator_;
  std::unordered_map<uint32_t, std::unique_ptr<TableWriter>> writers_;  // by definition page
  std::unordered_map<std::string, TableWriter*> by_name_;               // by the name as statements write it
};

}  // namespace jet
