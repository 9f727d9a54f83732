#pragma once
// The pager owns the images of the database's pages and is the only road from
// the layers above to the file.
//
// Invariants:
//  1. No page changes without Write() (MakeWritable): the first Write of a page
//     since the last commit keeps its original image (for the journal and
//     Rollback), and its first Write in a statement keeps its image from before
//     the statement (for RollbackStatement).
//  2. Only whole, aligned pages are read and written; the file is a whole
//     number of pages, and never grows past PagerOptions::max_file_bytes.
//  3. Nothing reaches the database file before Commit(). Commit writes the
//     original of every page it will overwrite, and the old page count, to the
//     journal (journal.h) and syncs it and its folder before the first database
//     write; then writes the pages and syncs the database; then invalidates
//     the journal and syncs it (the commit point), and removes it.
//  4. Wherever a crash or power loss stops a commit, the file is as of the last
//     commit once a journal left behind is played back, and Open plays it back
//     before reading anything (or refuses the file while it cannot).
//  5. A commit that fails puts the file back from the originals in memory,
//     drops the pending changes and says how many statements were lost (so
//     does a hook set with SetBeforeCommit that fails). If the
//     file cannot be put back either, the journal stays for the next open and
//     the pager refuses all further use: it must be closed and reopened.
//  6. Page images are plain: pages of an encrypted file are decrypted as they
//     are read and encrypted as they are written, journaled and put back
//     (page_cipher.h), so the journal holds pages as the file held them.
//     Page 0 is never encrypted and keeps its header mask, which format/header
//     readers remove on a copy (file/codec.h).
//  7. A span from Read() or Write() stays valid until the statement ends
//     (StatementDone() may commit, and a commit makes thousands of pages clean
//     at once, which may push it out), until Commit(), CommitIfDue(),
//     Rollback() or RollbackStatement(), or until kMinResidentPages other
//     pages have been read since (clean pages are evicted least-recently-used
//     first, index pages read from the file and other pages each within their
//     own room; dirty pages never).
//
// Statements and lazy commits. The caller ends each statement with
// StatementDone(), which commits the pending group when the CommitPolicy says
// it is due (commit_policy.h; OpenOptions: 500 ms or 1,000,000 statements), or undoes
// a failed statement with RollbackStatement(), which keeps the group's earlier
// statements. Commit() at close writes what is pending. A crash or power loss
// loses at most the statements since the last commit; another program that
// opens the file after a crash, before our engine has played its journal back,
// may see it mid-commit.
//
// Locks. Open takes the lock on the database and records itself in the lock
// file (lock_file.h); the destructor gives both up and drops what was not
// committed. Opening for writing needs the file and its folder to be writable
// (lock file, journal). A read-only open that finds a journal left behind
// restores the file when the file and folder can be written, and otherwise
// refuses it (kReadOnly), naming the file and the journal: reading it
// unrestored would show a half-written commit.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/jet/file/commit_policy.h"
#include "platform/jet/file/env.h"
#include "platform/jet/file/lock_file.h"
#include "platform/jet/crypto/page_cipher.h"
#include "platform/jet/file/page_store.h"
#include "platform/jet/format/header.h"

namespace jet {

// 2 GiB: the largest file Access opens.
inline constexpr uint64_t kMaxAccessFileBytes = uint64_t{1} << 31;

struct PagerOptions {
  bool writable = false;
  std::string password;
  Env* env = nullptr;                          // nullptr: Env::Default()
  size_t cache_pages = 4096;                   // pages kept (16 MiB), changed ones first, at least 1024 clean
  // Index pages read from the file are kept besides, up to this many with
  // the changed ones (240 MiB): INSERTs whose keys come in no order visit
  // every leaf of a large index, which the pages above could not hold, while
  // a table's rows, read or written once, stay within them.
  size_t index_cache_pages = 61440;
  uint64_t max_file_bytes = kMaxAccessFileBytes;  // Append refuses to grow past it (lowered in tests)
  CommitLimits commit_limits = {};
  CommitPolicy::Clock clock = {};              // empty: the steady clock
  // false: Commit writes the pages and syncs the database without a journal.
  // For measuring the journal's cost only: a crash during such a commit can
  // damage the file.
  bool journal = true;
};

class Pager final : public PageStore {
 public:
  static constexpr size_t kMinResidentPages = 1024;

  // Opens the file, locks it, plays back a journal left behind, decodes and
  // checks its header and the password.
  static Result<std::unique_ptr<Pager>> Open(const std::string& path, const PagerOptions& options);
  // Drops what was not committed, gives up the lock file and the lock.
  ~Pager() override;

  const format::Header& header() const { return header_; }
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  // How the pages are encrypted ("" when they are not).
  std::string Encryption() const { return cipher_ ? cipher_->Describe() : std::string(); }
  // The lock file's path ("" when this open goes without one).
  const std::string& lock_path() const { return lock_->path(); }

  size_t PageSize() const override { return format::kPageSize; }
  uint32_t PageCount() const override { return page_count_; }
  Result<std::span<const std::byte>> Read(uint32_t page) override;
  Result<std::span<std::byte>> Write(uint32_t page) override;
  // For a page already changed since the commit and not yet in this
  // statement, keeps only the bytes it replaces to undo the statement.
  Status Patch(uint32_t page, size_t offset, std::span<const std::byte> bytes) override;
  // The same for bytes the caller changes in place (an index entry spliced in).
  Result<std::span<std::byte>> WriteBytes(uint32_t page, size_t offset, size_t size) override;
  Result<uint32_t> Append() override;

  // Whether pages were changed or appended since the last Commit or Rollback.
  bool HasChanges() const { return !dirty_.empty(); }
  // Pages changed since the last Commit, and the original image of one of
  // them (empty for an appended page): what the journal records.
  std::vector<uint32_t> DirtyPages() const;
  std::span<const std::byte> Original(uint32_t page) const;

  // The statement under way succeeded: it joins the pending group, which is
  // committed when due. An error is the commit's (see Commit).
  Status StatementDone();
  // The statement under way failed: its changes are undone; earlier
  // statements since the last commit stay pending.
  void RollbackStatement();
  // Commits the pending group if the commit policy says it is due (for an
  // idle timer; StatementDone does this itself).
  Status CommitIfDue();
  // Work the layers above keep aside until a commit (index entries waiting
  // for their trees): every Commit runs `hook` first, whatever calls it, and
  // a hook that fails fails the commit as a failed write does (invariant 5).
  void SetBeforeCommit(std::function<Status()> hook) { before_commit_ = std::move(hook); }
  // The most pages the file may grow to (PagerOptions::max_file_bytes).
  uint32_t MaxPageCount() const { return max_pages_; }
  // Statements ended with StatementDone since the last commit.
  size_t PendingStatements() const { return policy_.pending(); }

  // Makes every pending change durable (invariant 3). On failure the file
  // stays as of the last commit, the pending changes are dropped and the
  // message counts the statements lost (invariant 5).
  Status Commit();
  // Drops every change since the last commit.
  void Rollback();

 private:
  struct Slot {
    std::unique_ptr<std::byte[]> image;
    std::unique_ptr<std::byte[]> original;   // set while dirty, for pages that existed at the last commit
    std::unique_ptr<std::byte[]> statement;  // the image before this statement, for pages dirty before it
    bool dirty = false;
    bool in_statement = false;               // written or appended by the statement under way
    bool index_page = false;                 // read from the file as an index page: kept with index_lru_
    std::list<uint32_t>::iterator lru;       // position among clean pages (of its list)
  };
  // Slots by page number, held in place. Pages are numbered densely from 0,
  // so finding a slot is one load, without hashing or a pointer to follow:
  // every index lookup asks for several pages. A slot holds a page while it
  // has an image. Adding a page may move every slot (emplace says when).
  class SlotTable {
   public:
    Slot* find(uint32_t page) {
      return page < slots_.size() && slots_[page].image ? &slots_[page] : nullptr;
    }
    const Slot* find(uint32_t page) const { return const_cast<SlotTable*>(this)->find(page); }
    Slot& at(uint32_t page);  // a slot that is there
    // The slot placed; *moved is set when earlier slots changed address.
    Slot& emplace(uint32_t page, Slot slot, bool* moved);
    void erase(uint32_t page) {
      if (page < slots_.size()) slots_[page] = Slot{};
    }

   private:
    std::vector<Slot> slots_;
  };

  Pager(Env* env, std::unique_ptr<File> file, std::unique_ptr<LockFile> lock, format::Header header,
        uint32_t pages, const PagerOptions& options);
  Status Usable() const;
  Result<Slot*> Load(uint32_t page);
  void Touch(Slot& slot);
  std::list<uint32_t>& CleanList(const Slot& slot) { return slot.index_page ? index_lru_ : clean_lru_; }
  // Page buffers for before-statement images, reused between statements.
  std::unique_ptr<std::byte[]> SpareImage();
  void Recycle(std::unique_ptr<std::byte[]> image);
  void MakeClean(uint32_t page, Slot& slot);
  void Evict();
  void EndStatement();
  void DropChanges();
  Result<std::unique_ptr<File>> WriteJournal(const std::vector<uint32_t>& pages);
  Status WritePages(const std::vector<uint32_t>& pages);
  Status PutBack(const std::vector<uint32_t>& pages);
  // A page image as the file stores it (encrypted where the file is).
  Status StoredImage(uint32_t page, std::span<const std::byte> image, std::span<std::byte> out);
  std::string LostStatements(size_t lost) const;
  // A commit that failed: the statements since the last commit are lost.
  static Error CommitFailed(size_t lost, ErrorCode code, std::string message);

  Env* env_;
  std::string path_;
  std::unique_ptr<File> file_;
  std::unique_ptr<LockFile> lock_;  // after file_: given up before the database lock ends
  std::unique_ptr<crypto::PageCipher> cipher_;  // nullptr: pages are stored plain
  format::Header header_;
  uint32_t page_count_;       // including appended pages
  uint32_t disk_page_count_;  // as on disk after the last Commit
  uint32_t statement_page_count_;  // at the start of the statement under way
  bool writable_;
  bool journal_;
  size_t cache_pages_;
  size_t index_cache_pages_;
  uint32_t max_pages_;
  std::function<Status()> before_commit_;
  uint64_t max_file_bytes_;
  CommitPolicy policy_;
  std::optional<Error> broken_;  // set when a failed commit could not put the file back
  std::mt19937 nonces_;
  SlotTable slots_;
  std::list<uint32_t> clean_lru_;  // front = most recently used
  std::list<uint32_t> index_lru_;  // the same for clean index pages read from the file
  std::vector<uint32_t> dirty_;
  std::vector<uint32_t> statement_pages_;
  uint32_t last_page_ = 0;        // the page Load found last, and its slot
  Slot* last_slot_ = nullptr;     // (nullptr once any slot is erased)
  std::vector<std::unique_ptr<std::byte[]>> spare_images_;
  struct Undo {  // bytes a Patch replaced, to put back if the statement fails
    uint32_t page;
    uint16_t offset;
    uint16_t size;
    size_t at;  // in statement_undo_bytes_
  };
  std::vector<Undo> statement_undo_;
  std::vector<std::byte> statement_undo_bytes_;
};

}  // namespace jet
