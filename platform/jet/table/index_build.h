#pragma once
// An index made on a table that holds rows already (CREATE INDEX): every
// row's key is computed once, the entries sorted, and the tree written from
// the left, leaves first and each level of nodes above them up to the root,
// rather than entry by entry. The tree keeps IndexTree's invariants (index.h),
// so later inserts and the check treat it like any other.

#include <cstdint>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/table/table.h"

namespace jet::table {

// Builds `index` (columns and flags; its root page and usage map allocated,
// the root an empty leaf) over the rows of `table`. Refuses, with Access's
// messages, a duplicate key in a unique index and a NULL in one that
// disallows it. The number of distinct keys, for the definition's count.
Result<uint32_t> BuildIndex(PageStore& store, PageAllocator& pages, const Table& table,
                            const format::RealIndex& index);

}  // namespace jet::table
