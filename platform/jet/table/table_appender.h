#pragma once
// Fast inserts into one table: the definition is parsed once, the data page
// being filled and the long-value pages being filled are remembered, and the
// row count and autonumber are written back into the definition by Finish
// (call it before the pages are committed; the appender stays usable after).
//
//   JET_ASSIGN_OR_RETURN(appender, TableAppender::Open(store, pages, tdef_page));
//   for (...) JET_TRY(appender->Insert(cells));
//   JET_TRY(appender->Finish());
//
// Cells as for InsertRow (row_writer.h): one per column in column-number
// order. A refused row (a value of the wrong type, too long or out of range,
// a duplicate key of a unique index, a row over 4060 bytes) changes nothing;
// a failure after that (a damaged page, the 2 GB limit) may leave pages
// written, so callers run inserts inside a statement they can undo
// (file/pager.h, RollbackStatement) and Reload() afterwards.
// Pages are found as Access does: the last page of the table's owned map that
// is still in its free-space map and has room, else a new page owned by the
// table (added to both maps; inline maps are re-based or turned into
// reference maps when they cannot cover it). Long values: up to 64 bytes
// inline in the row, up to 4076 bytes as one row on a long-value page, longer
// as a chain of 4072-byte segments, on pages listed in the column's own maps.
//
// Other writers of the same table (DeleteRow, another appender) must not run
// between an appender's calls without Reload() afterwards.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/public/value.h"

namespace jet::table {

struct AppendOptions {
  // Index entries wait (pending_entries.h) and reach their trees by
  // WritePending(), in key order, many to a leaf. Whoever reads the indexes
  // or commits calls WritePending() first; statements are told apart with
  // KeepStatement() and DiscardStatement(). Unique indexes still refuse a
  // duplicate at once. (Not for a table whose foreign key references the
  // table itself: its rows must find their own pending keys.)
  bool defer_index_entries = false;
};

class TableAppender {
 public:
  static Result<std::unique_ptr<TableAppender>> Open(PageStore& store, PageAllocator& pages, uint32_t tdef_page,
                                                     AppendOptions options = {});
  ~TableAppender();

  const format::TableDefinition& definition() const;
  uint32_t tdef_page() const;

  // Stores one row; where it went.
  Result<format::RowPointer> Insert(std::span<const Cell> cells);

  // Deletes a row of this table (see DeleteRow).
  Status Delete(format::RowPointer row);

  // Writes the row count and autonumber into the table definition.
  Status Finish();

  // Re-reads the definition and forgets remembered pages (after a rollback or
  // after another writer changed the table). Pending entries stay.
  Status Reload();

  // Deferred index entries: whether any wait, about how many bytes they
  // take, and putting them into their trees (with the table definition's
  // counts) as part of the statement under way, after which none wait.
  // Rows that statement inserts afterwards go straight into the trees.
  // A failure may leave pages written: undo the statement, DiscardStatement()
  // and Reload().
  bool HasPending() const;
  size_t PendingBytes() const;
  Status WritePending();
  // The statement under way succeeded: its entries wait with the others, or
  // leave once WritePending put them in. Or it was undone: its entries go,
  // and those WritePending had put in wait again.
  void KeepStatement();
  void DiscardStatement();

  class Impl;

 private:
  explicit TableAppender(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace jet::table
