#pragma once
// Changing an owner's usage map (a table's owned or free-space pages, a
// memo/OLE column's pages, an index's pages; docs/access-format.md §7.4): the row
// at `map` lists pages by bit. An inline row that cannot cover the page is
// re-based (when all its pages fit the new window) or turned into a reference
// map in place; reference maps get 0x05 bitmap pages from `pages` as needed.
// Not for the global map (PageAllocator keeps that one).

#include <cstdint>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/page_allocator.h"

namespace jet::table {

// Sets (`present`) or clears the bit of `page` in the map row at `map`.
// Clearing a page the map does not cover is a no-op.
Status SetMapPage(PageStore& store, PageAllocator& pages, format::RowPointer map, uint32_t page, bool present);

// Whether the map row at `map` lists `page`.
Result<bool> MapHasPage(PageStore& store, format::RowPointer map, uint32_t page);

}  // namespace jet::table
