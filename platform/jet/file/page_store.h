#pragma once
// Page access as the layers above the pager see it. Read gives a page image;
// Write gives a writable image of a page (the pager keeps the original so the
// change can be journaled and rolled back); Append adds a zeroed page at the
// end of the file. Page numbers count from 0 (the header page).

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/jet/result.h"

namespace jet {

class PageStore {
 public:
  virtual ~PageStore() = default;
  virtual size_t PageSize() const = 0;
  virtual uint32_t PageCount() const = 0;
  virtual Result<std::span<const std::byte>> Read(uint32_t page) = 0;
  virtual Result<std::span<std::byte>> Write(uint32_t page) = 0;
  virtual Result<uint32_t> Append() = 0;
};

}  // namespace jet
