#pragma once
// Page access as the layers above the pager see it. Read gives a page image;
// Write gives a writable image of a page (the pager keeps the original so the
// change can be journaled and rolled back); Append adds a zeroed page at the
// end of the file. Page numbers count from 0 (the header page).

#include <cstddef>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/jet/public/result.h"

namespace jet {

class PageStore {
 public:
  virtual ~PageStore() = default;
  virtual size_t PageSize() const = 0;
  virtual uint32_t PageCount() const = 0;
  virtual Result<std::span<const std::byte>> Read(uint32_t page) = 0;
  virtual Result<std::span<std::byte>> Write(uint32_t page) = 0;
  virtual Result<uint32_t> Append() = 0;

  // A page's writable image, of which the caller changes only bytes
  // [offset, offset + size): a store may keep just those, not the whole page,
  // to undo the statement (as for Patch). Several calls may name several
  // parts of the same page.
  virtual Result<std::span<std::byte>> WriteBytes(uint32_t page, size_t offset, size_t size) {
    JET_ASSIGN_OR_RETURN(image, Write(page));
    if (offset > image.size() || size > image.size() - offset)
      return MakeError(ErrorCode::kCorruption, "A change reaches beyond the end of its page.");
    return image;
  }

  // Writes `bytes` into a page at `offset`: a few bytes that a statement
  // changes each time (a table's row count). A store may keep just those
  // bytes, not the whole page, to undo the statement.
  virtual Status Patch(uint32_t page, size_t offset, std::span<const std::byte> bytes) {
    JET_ASSIGN_OR_RETURN(image, Write(page));
    if (offset > image.size() || bytes.size() > image.size() - offset)
      return MakeError(ErrorCode::kCorruption, "A change reaches beyond the end of its page.");
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
  }
};

}  // namespace jet
