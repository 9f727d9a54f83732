#pragma once
// DROP TABLE in the file (docs/access-format.md §12.3): the catalogue row and its
// index entries and the table's access-control rows go (catalog_writer.h),
// then every page the table owned is released to the global usage map for
// reuse: its definition pages, data pages, long-value pages, index pages, the
// bitmap pages of its reference maps, and the pages holding its usage maps
// when nothing else keeps maps there (otherwise only its map rows are
// deleted).
//
// Refused, before anything changes: a table that takes part in relationships
// (as Access refuses it) and one with attachment or multi-value columns (their
// hidden tables are not ours to remove). A page a map lists that is not the
// table's by its type and owner (a damaged file) is left alone rather than
// freed, so that no other object's data is given away.
// A failure part-way leaves pages written; callers undo the statement.

#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"

namespace jet::table {

Status DropTable(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                 const CatalogObject& table);

}  // namespace jet::table
