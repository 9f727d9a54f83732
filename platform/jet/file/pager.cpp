#include "platform/jet/file/pager.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "platform/jet/file/codec.h"

namespace jet {

namespace {
constexpr uint64_t kMaxPages = 524288;  // 2 GiB of 4 KiB pages, what Access allows
}

Result<std::unique_ptr<Pager>> Pager::Open(const std::string& path, const PagerOptions& options) {
  Env* env = options.env ? options.env : Env::Default();
  JET_ASSIGN_OR_RETURN(file, env->Open(path, options.writable));
  JET_ASSIGN_OR_RETURN(size, file->Size());
  if (size == 0)
    return MakeError(ErrorCode::kCorruption, "The file is empty; it is not an Access database.");
  std::vector<std::byte> first(static_cast<size_t>(std::min<uint64_t>(size, format::kPageSize)));
  JET_TRY(file->ReadAt(0, first));
  ApplyHeaderMask(first);
  JET_ASSIGN_OR_RETURN(header, format::DecodeHeader(first));
  if (size % format::kPageSize != 0)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The Access database file is truncated or damaged: its size ({} bytes) is not a "
                                 "whole number of {}-byte pages.",
                                 size, format::kPageSize));
  if (size / format::kPageSize > kMaxPages)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The file is larger than an Access database can be ({} bytes).", size));
  if (size / format::kPageSize < 3)
    return MakeError(ErrorCode::kCorruption,
                     "The Access database file is truncated: it ends before its system catalogue.");
  JET_TRY(CheckAccess(header, options.password));
  auto pages = static_cast<uint32_t>(size / format::kPageSize);
  return std::unique_ptr<Pager>(
      new Pager(std::move(file), header, pages, options.writable, std::max(options.cache_pages, kMinResidentPages)));
}

Pager::Pager(std::unique_ptr<File> file, format::Header header, uint32_t pages, bool writable, size_t cache_pages)
    : file_(std::move(file)),
      header_(header),
      page_count_(pages),
      disk_page_count_(pages),
      writable_(writable),
      cache_pages_(cache_pages) {}

Pager::~Pager() = default;

void Pager::Touch(uint32_t page, Slot& slot) {
  if (slot.dirty) return;
  clean_lru_.splice(clean_lru_.begin(), clean_lru_, slot.lru);
  (void)page;
}

void Pager::Evict() {
  while (clean_lru_.size() > cache_pages_) {
    uint32_t victim = clean_lru_.back();
    clean_lru_.pop_back();
    slots_.erase(victim);
  }
}

Result<Pager::Slot*> Pager::Load(uint32_t page) {
  auto it = slots_.find(page);
  if (it != slots_.end()) {
    Touch(page, it->second);
    return &it->second;
  }
  if (page >= page_count_)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The database refers to page {}, beyond the end of the file ({} pages).", page,
                                 page_count_));
  Slot slot;
  slot.image.reset(new std::byte[format::kPageSize]);
  JET_TRY(file_->ReadAt(static_cast<uint64_t>(page) * format::kPageSize,
                        std::span<std::byte>(slot.image.get(), format::kPageSize)));
  clean_lru_.push_front(page);
  slot.lru = clean_lru_.begin();
  Slot& placed = slots_.emplace(page, std::move(slot)).first->second;
  Evict();
  return &placed;
}

Result<std::span<const std::byte>> Pager::Read(uint32_t page) {
  JET_ASSIGN_OR_RETURN(slot, Load(page));
  return std::span<const std::byte>(slot->image.get(), format::kPageSize);
}

Result<std::span<std::byte>> Pager::Write(uint32_t page) {
  if (!writable_)
    return MakeError(ErrorCode::kReadOnly, "The database was opened read-only; it cannot be changed.");
  JET_ASSIGN_OR_RETURN(slot, Load(page));
  if (!slot->dirty) {
    slot->original.reset(new std::byte[format::kPageSize]);
    std::memcpy(slot->original.get(), slot->image.get(), format::kPageSize);
    slot->dirty = true;
    clean_lru_.erase(slot->lru);
    dirty_.push_back(page);
  }
  return std::span<std::byte>(slot->image.get(), format::kPageSize);
}

Result<uint32_t> Pager::Append() {
  if (!writable_)
    return MakeError(ErrorCode::kReadOnly, "The database was opened read-only; it cannot be changed.");
  if (page_count_ >= kMaxPages)
    return MakeError(ErrorCode::kTooLarge, "The database would grow beyond 2 GB, the most Access allows.");
  uint32_t page = page_count_++;
  Slot slot;
  slot.image.reset(new std::byte[format::kPageSize]());
  slot.dirty = true;
  slots_.emplace(page, std::move(slot));
  dirty_.push_back(page);
  return page;
}

std::vector<uint32_t> Pager::DirtyPages() const {
  std::vector<uint32_t> pages = dirty_;
  std::sort(pages.begin(), pages.end());
  return pages;
}

std::span<const std::byte> Pager::Original(uint32_t page) const {
  auto it = slots_.find(page);
  if (it == slots_.end() || !it->second.original) return {};
  return std::span<const std::byte>(it->second.original.get(), format::kPageSize);
}

Status Pager::Commit() {
  if (dirty_.empty()) return {};
  std::vector<uint32_t> pages = DirtyPages();
  for (uint32_t page : pages) {
    Slot& slot = slots_.at(page);
    JET_TRY(file_->WriteAt(static_cast<uint64_t>(page) * format::kPageSize,
                           std::span<const std::byte>(slot.image.get(), format::kPageSize)));
  }
  JET_TRY(file_->Sync());
  for (uint32_t page : pages) {
    Slot& slot = slots_.at(page);
    slot.original.reset();
    slot.dirty = false;
    clean_lru_.push_front(page);
    slot.lru = clean_lru_.begin();
  }
  dirty_.clear();
  disk_page_count_ = page_count_;
  Evict();
  return {};
}

void Pager::Rollback() {
  for (uint32_t page : dirty_) {
    auto it = slots_.find(page);
    if (it == slots_.end()) continue;
    Slot& slot = it->second;
    if (!slot.original) {  // appended: gone
      slots_.erase(it);
      continue;
    }
    std::memcpy(slot.image.get(), slot.original.get(), format::kPageSize);
    slot.original.reset();
    slot.dirty = false;
    clean_lru_.push_front(page);
    slot.lru = clean_lru_.begin();
  }
  dirty_.clear();
  page_count_ = disk_page_count_;
  Evict();
}

}  // namespace jet
