#pragma once
// Writing rows into a table (docs/access-format.md §12.2): one-off inserts and
// deletes, for callers that touch a table now and then (catalogue rows).
// Many rows into one table go through TableAppender, which keeps the parsed
// definition and the current data page between rows.
//
// `cells` hold one value per column of the table's definition, in
// column-number order (the order of TableDefinition::columns and of
// RowCursor::row()); the types are those sql::ConvertLiteral produces:
//   Boolean -> bool (Null reads as false); Byte, Integer, Long, BigInt ->
//   int64_t; Single, Double -> double; Money -> Money; Numeric -> Decimal;
//   DateTime -> DateTimeValue; Text, Memo -> std::string (UTF-8);
//   Binary, OLE -> Bytes; GUID -> Guid; any column -> Null.
// A COUNTER (AutoNumber Long) column given Null receives the table's last
// autonumber + 1; given a number, that number (the counter moves past it).
//
// Both functions keep the table's indexes up to date (entries, unique-entry
// counts, index pages and their usage maps) and its row count: callers never
// add or remove index entries of the row themselves.

#include <cstdint>
#include <span>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/public/value.h"

namespace jet::table {

// Inserts one row; where it was stored.
Result<format::RowPointer> InsertRow(PageStore& store, PageAllocator& pages, uint32_t tdef_page,
                                     std::span<const Cell> cells);

// Marks the row deleted (0xC000), frees the pages of its long values, removes
// its index entries and counts it out of the table's row count.
Status DeleteRow(PageStore& store, PageAllocator& pages, uint32_t tdef_page, format::RowPointer row);

}  // namespace jet::table
