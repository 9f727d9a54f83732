#pragma once
// The page store statements write through: the pager, plus what one statement
// needs to be all-or-nothing without committing after every statement.
//
//   pages.Begin();                 // a statement starts
//   ... Write / Append ...         // the first Write of each page keeps its image
//   pages.End();                   // done: the kept images are dropped
//   pages.Undo();                  // or: every page back as it was at Begin
//
// Undo restores the images kept since Begin; pages appended since Begin cannot
// leave the file before the next Commit, so they are blanked (zeroed) instead
// and the global usage map, restored like every other page, again describes
// them as it did before. The pager's own Commit/Rollback (and any journal it
// keeps) stay below this layer: a statement that finished is only in memory
// until the pager commits it.
//
// It also counts the pages written since the last commit (MarkCommitted), so
// that the caller can commit before the unwritten pages grow without bound.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/jet/file/page_store.h"

namespace jet::table {

class StatementPages final : public PageStore {
 public:
  explicit StatementPages(PageStore& base) : base_(base) {}

  size_t PageSize() const override { return base_.PageSize(); }
  uint32_t PageCount() const override { return base_.PageCount(); }
  Result<std::span<const std::byte>> Read(uint32_t page) override { return base_.Read(page); }
  Result<std::span<std::byte>> Write(uint32_t page) override;
  Result<uint32_t> Append() override;

  void Begin();
  void End();
  // Puts back every page the statement changed; fails only if a page cannot be read.
  Status Undo();
  bool InStatement() const { return active_; }

  // Pages written or appended since the last MarkCommitted.
  size_t PagesSinceCommit() const { return since_commit_; }
  void MarkCommitted();

 private:
  struct Kept {
    uint32_t page;
    std::unique_ptr<std::byte[]> image;  // null: appended during the statement
  };
  // Per page: the statement and the commit period of its last Write.
  struct Stamp {
    uint32_t statement = 0;
    uint32_t period = 0;
  };
  Stamp& StampOf(uint32_t page);
  std::unique_ptr<std::byte[]> TakeBuffer();

  PageStore& base_;
  bool active_ = false;
  uint32_t statement_ = 1;
  uint32_t period_ = 1;
  size_t since_commit_ = 0;
  std::vector<Stamp> stamps_;
  std::vector<Kept> kept_;
  std::vector<std::unique_ptr<std::byte[]>> spare_;  // image buffers to reuse
};

}  // namespace jet::table
