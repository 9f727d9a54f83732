#pragma once
// Storing the long values of one Memo or OLE column outside its rows
// (docs/access-format.md §8): a value of up to 4076 bytes as one row on a
// long-value page (header kind 0x40), a longer one as a chain of rows of up
// to 4072 data bytes each behind a 4-byte link (kind 0x00). Long-value pages
// have "LVAL" as their owner and are listed in the column's owned and
// free-space maps when the table definition gives the column such maps.
// (Values of up to 64 bytes stay inline in the row; the caller decides.)

#include <cstdint>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/page_allocator.h"

namespace jet::table {

class LongValueWriter {
 public:
  LongValueWriter(PageStore& store, PageAllocator& pages, format::RowPointer owned_map, format::RowPointer free_map)
      : store_(store), pages_(pages), owned_(owned_map), free_(free_map) {}

  // Stores `data` and writes its 12-byte header (without inline data) into `header`.
  Status Store(format::ConstBytes data, format::MutableBytes header);

  // Deletes the long-value rows a stored field (12-byte header, as in a row)
  // points to; pages left without rows go back to the allocator.
  Status Free(format::ConstBytes field);

  // Forgets the page being filled (after a rollback).
  void Forget() { current_ = 0; looked_up_ = false; }

 private:
  Result<format::RowPointer> Place(format::ConstBytes row);
  // Points the segment at `from` to its successor at `to`.
  Status Link(format::RowPointer from, format::RowPointer to);
  Result<uint32_t> NewPage(bool fill_later);
  Status FreeRow(format::RowPointer at, format::RowPointer* next);

  PageStore& store_;
  PageAllocator& pages_;
  format::RowPointer owned_, free_;
  uint32_t current_ = 0;     // the long-value page small values go to
  bool looked_up_ = false;   // whether the free-space map was searched for one
};

}  // namespace jet::table
