#pragma once
// CREATE TABLE in the file (docs/access-format.md §12.1): the table definition on
// one page or more, a usage-map holder page with the table's owned-pages and
// free-space maps and two maps per Memo/OLE column (inline, empty), and the
// catalogue rows (catalog_writer.h). The table's Id is its first definition
// page. No data pages until the first row.
//
// The caller checks the name (syntax, and that no table has it) beforehand;
// a failure part-way leaves pages written, so callers run it inside a
// statement they can undo (file/pager.h, RollbackStatement).

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/tdef_writer.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/public/value.h"

namespace jet::table {

// An index as a table definition stores it: its columns by number, its
// flags (format::kIndexUnique ...), and whether it is the primary key.
struct NewIndex {
  std::string name;
  std::vector<format::IndexColumn> columns;
  uint8_t flags = 0;
  bool primary = false;
};

struct NewTable {
  std::string name;
  std::span<const ColumnSpec> columns;
  format::Collation collation;  // for Text and Memo columns
  double now = 0;               // DateCreate / DateUpdate, an OLE date
  std::span<const NewIndex> indexes;
};

// The real and logical indexes of `indexes`, as Access lays them out: each
// index its own real index, logical and real numbered alike in the order
// given (readers such as mdbtools pair them by that number), logical indexes
// stored sorted by name. Root pages and usage maps are left for the caller.
void LayOutIndexes(std::span<const NewIndex> indexes, std::vector<format::RealIndex>* real,
                   std::vector<format::LogicalIndex>* logical);

// Writes `count` empty inline map rows (pages from `start` on) onto holder
// pages allocated as they fill; their row pointers, in order.
Result<std::vector<format::RowPointer>> WriteEmptyMaps(PageStore& store, PageAllocator& pages, size_t count,
                                                      uint32_t start);

// Stores the logical definition `buffer` on `pages` (first page, then
// continuations): pages are allocated when it grew, released when it shrank.
Status StoreDefinition(PageStore& store, PageAllocator& pages, std::vector<uint32_t> definition_pages,
                       format::ConstBytes buffer);

// Reads the definition on `tdef_page`, changes it with `splice` (format/
// tdef_indexes.h) and stores the result as StoreDefinition does.
Status SpliceDefinition(PageStore& store, PageAllocator& pages, uint32_t tdef_page,
                        const std::function<Result<std::vector<std::byte>>(format::ConstBytes)>& splice);

// Starts the B-tree of `index` for the table at `tdef_page`: an empty leaf
// root, listed in the index's usage map `map`; sets its root and map.
Status StartIndexTree(PageStore& store, PageAllocator& pages, uint32_t tdef_page, format::RowPointer map,
                      format::RealIndex* index);

// Frees the pages of `index`'s B-tree (the table at `tdef_page`) and takes
// them out of its usage map; the map row stays, empty.
Status ReleaseIndexTree(PageStore& store, PageAllocator& pages, uint32_t tdef_page, const format::RealIndex& index);

// The new table's catalogue object.
Result<CatalogObject> CreateTable(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                                  const NewTable& table);

}  // namespace jet::table
