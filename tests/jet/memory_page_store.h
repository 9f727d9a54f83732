#pragma once
// Pages in memory for tests of the layers above the pager: build a file page by
// page, or load a real file, then read it through the PageStore seam the pager
// offers.

#include <cstring>
#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"

namespace testing_support {

class MemoryPageStore : public jet::PageStore {
 public:
  explicit MemoryPageStore(uint32_t pages) : pages_(pages, std::vector<std::byte>(4096)) {}
  // The whole pages of a file's bytes.
  explicit MemoryPageStore(const std::vector<std::byte>& file) {
    for (size_t at = 0; at + 4096 <= file.size(); at += 4096)
      pages_.emplace_back(file.begin() + at, file.begin() + at + 4096);
  }

  size_t PageSize() const override { return 4096; }
  uint32_t PageCount() const override { return static_cast<uint32_t>(pages_.size()); }
  jet::Result<std::span<const std::byte>> Read(uint32_t page) override {
    if (page >= pages_.size()) return jet::MakeError(jet::ErrorCode::kCorruption, "page outside the store");
    return std::span<const std::byte>(pages_[page]);
  }
  jet::Result<std::span<std::byte>> Write(uint32_t page) override {
    if (page >= pages_.size()) return jet::MakeError(jet::ErrorCode::kCorruption, "page outside the store");
    return std::span<std::byte>(pages_[page]);
  }
  jet::Result<uint32_t> Append() override {
    pages_.emplace_back(4096);
    return static_cast<uint32_t>(pages_.size() - 1);
  }

  std::span<std::byte> Page(uint32_t page) { return pages_[page]; }
  // Copies hexadecimal bytes ("02 01 48 0f ...", spaces ignored) to `page` at `offset`.
  void PutHex(uint32_t page, size_t offset, const std::string& hex) {
    std::string digits;
    for (char c : hex)
      if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
      pages_[page][offset + i / 2] = static_cast<std::byte>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }

 private:
  std::vector<std::vector<std::byte>> pages_;
};

inline std::vector<std::byte> BytesOf(const std::string& hex) {
  std::vector<std::byte> out;
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<std::byte>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

inline std::vector<std::byte> BytesOfText(const std::string& s) {
  std::vector<std::byte> out;
  for (char c : s) out.push_back(static_cast<std::byte>(c));
  return out;
}

}  // namespace testing_support
