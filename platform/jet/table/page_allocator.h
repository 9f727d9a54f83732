#pragma once
// Pages of the file as the global usage map (page 1, row 0; docs/access-format.md
// §7.3) hands them out: a set bit is a free page, a clear bit a page in
// use. Pages past the end of the file count as free in the map but do not
// exist; a page is only reused while it lies inside the file.
//
//   PageAllocator pages(store);
//   JET_ASSIGN_OR_RETURN(p, pages.Allocate());   // in use from now on
//   ... write page p completely (its old image is left as it was) ...
//   JET_TRY(pages.Release(p));                   // free again, reusable
//
// Allocate reuses the lowest page the map marks free; otherwise it appends a
// page and records it as used, growing the inline map row on page 1 while
// that page has room and turning it into a reference map (0x05 bitmap pages)
// after that. Release marks the page free and zeroes it. (Access leaves freed
// pages zeroed or with their old image: data pages whose rows are all
// deleted, definition and long-value pages retyped 0x08 / 0x09. A zeroed page
// is one no reader that scans pages can take for live data.)
//
// The allocator caches nothing that a pager Rollback could make stale except
// a search hint; call Reset() after a rollback anyway.

#include <cstdint>
#include <unordered_set>

#include "platform/jet/file/page_store.h"
#include "platform/jet/public/result.h"

namespace jet::table {

class PageAllocator {
 public:
  static constexpr uint32_t kGlobalMapPage = 1;

  explicit PageAllocator(PageStore& store) : store_(store) {}

  // A page now marked used in the global map. Its image is unspecified (a
  // reused page keeps what it held): the caller writes all of it.
  Result<uint32_t> Allocate();

  // Marks `page` free in the global map and blanks it. Releasing page 0 or 1,
  // a page outside the file or a page already free is a Corruption.
  Status Release(uint32_t page);

  // Whether the global map marks `page` (inside the file) free.
  Result<bool> IsFree(uint32_t page);

  // Forgets the search hint (after a rollback of the page store).
  void Reset() { hint_ = 0; }

  PageStore& store() const { return store_; }

 private:
  Result<bool> TakeFreePage(uint32_t* page);
  Status MarkUsed(uint32_t page);
  Status SetFree(uint32_t page, bool free);
  Status EnsureBitmap(uint32_t slot, const std::unordered_set<uint32_t>* was_free);

  PageStore& store_;
  uint32_t hint_ = 0;  // no free page inside the file lies below this one
};

}  // namespace jet::table
