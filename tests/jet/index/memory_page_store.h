#pragma once
// A page store over a byte vector, for tests of the layers above the pager.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"

namespace jet::testing {

class MemoryPageStore : public PageStore {
 public:
  explicit MemoryPageStore(uint32_t pages = 1) : bytes_(size_t{pages} * kSize) {}
  explicit MemoryPageStore(const std::vector<char>& file) {
    bytes_.resize(file.size() / kSize * kSize);
    for (size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<std::byte>(file[i]);
  }
  size_t PageSize() const override { return kSize; }
  uint32_t PageCount() const override { return static_cast<uint32_t>(bytes_.size() / kSize); }
  Result<std::span<const std::byte>> Read(uint32_t page) override {
    if (page >= PageCount()) return MakeError(ErrorCode::kIoError, "read beyond the end");
    return std::span<const std::byte>(bytes_.data() + size_t{page} * kSize, kSize);
  }
  Result<std::span<std::byte>> Write(uint32_t page) override {
    if (page >= PageCount()) return MakeError(ErrorCode::kIoError, "write beyond the end");
    ++writes_;
    return std::span<std::byte>(bytes_.data() + size_t{page} * kSize, kSize);
  }
  Result<uint32_t> Append() override {
    bytes_.resize(bytes_.size() + kSize);
    return PageCount() - 1;
  }
  const std::vector<std::byte>& bytes() const { return bytes_; }
  size_t writes() const { return writes_; }

 private:
  static constexpr size_t kSize = 4096;
  std::vector<std::byte> bytes_;
  size_t writes_ = 0;
};

}  // namespace jet::testing
