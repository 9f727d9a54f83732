#pragma once
// The pager owns the images of the database's pages.
//
// Invariants:
//  1. No page changes without Write() (MakeWritable): the first Write of a page
//     in a transaction keeps its original image, so that Rollback restores it
//     and a rollback journal can record it before the file is touched.
//  2. Only whole, aligned pages are read and written; the file is a whole
//     number of pages.
//  3. Nothing reaches the file before Commit(); Commit writes every dirty page
//     (appended pages included) and then syncs. (A journal, when added, is
//     written and synced before the first database write.)
//  4. Page images are what is on disk: page 0 keeps its header mask, which
//     format/header readers remove on a copy (file/codec.h).
//  5. A span from Read() or Write() stays valid until Rollback(), or until
//     kMinResidentPages other pages have been read since (clean pages are
//     evicted least-recently-used first; dirty pages never).

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/jet/file/env.h"
#include "platform/jet/file/page_store.h"
#include "platform/jet/format/header.h"

namespace jet {

struct PagerOptions {
  bool writable = false;
  std::string password;
  Env* env = nullptr;              // nullptr: Env::Default()
  size_t cache_pages = 16384;      // clean pages kept (64 MiB)
};

class Pager final : public PageStore {
 public:
  static constexpr size_t kMinResidentPages = 1024;

  // Opens the file, decodes and checks its header and the password.
  static Result<std::unique_ptr<Pager>> Open(const std::string& path, const PagerOptions& options);
  ~Pager() override;

  const format::Header& header() const { return header_; }
  const std::string& path() const { return file_->Path(); }
  bool writable() const { return writable_; }

  size_t PageSize() const override { return format::kPageSize; }
  uint32_t PageCount() const override { return page_count_; }
  Result<std::span<const std::byte>> Read(uint32_t page) override;
  Result<std::span<std::byte>> Write(uint32_t page) override;
  Result<uint32_t> Append() override;

  // Whether pages were changed or appended since the last Commit or Rollback.
  bool HasChanges() const { return !dirty_.empty(); }
  // Pages changed since the last Commit, and the original image of one of
  // them (empty for an appended page): what a rollback journal records.
  std::vector<uint32_t> DirtyPages() const;
  std::span<const std::byte> Original(uint32_t page) const;

  Status Commit();
  void Rollback();

 private:
  struct Slot {
    std::unique_ptr<std::byte[]> image;
    std::unique_ptr<std::byte[]> original;  // set while dirty, for pages that existed
    bool dirty = false;
    std::list<uint32_t>::iterator lru;     // position among clean pages
  };

  Pager(std::unique_ptr<File> file, format::Header header, uint32_t pages, bool writable, size_t cache_pages);
  Result<Slot*> Load(uint32_t page);
  void Touch(uint32_t page, Slot& slot);
  void Evict();

  std::unique_ptr<File> file_;
  format::Header header_;
  uint32_t page_count_;       // including appended pages
  uint32_t disk_page_count_;  // as on disk after the last Commit
  bool writable_;
  size_t cache_pages_;
  std::unordered_map<uint32_t, Slot> slots_;
  std::list<uint32_t> clean_lru_;  // front = most recently used
  std::vector<uint32_t> dirty_;
};

}  // namespace jet
