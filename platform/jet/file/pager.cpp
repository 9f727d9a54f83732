#include "platform/jet/file/pager.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/jet/file/codec.h"
#include "platform/jet/file/journal.h"
#include "platform/jet/format/data_page.h"
#include "platform/jet/crypto/page_cipher.h"

namespace jet {

namespace {

constexpr uint64_t kLargestAccessPages = kMaxAccessFileBytes / format::kPageSize;

std::string SizeText(uint64_t bytes) {
  if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0) return fmt::format("{} GB", bytes >> 30);
  if (bytes >= (uint64_t{1} << 20) && bytes % (uint64_t{1} << 20) == 0) return fmt::format("{} MB", bytes >> 20);
  if (bytes >= 1024 && bytes % 1024 == 0) return fmt::format("{} KB", bytes >> 10);
  return fmt::format("{} bytes", bytes);
}

// Plays back the journal at `journal_path` into `database` and removes it.
Status Restore(Env& env, File& database, const std::string& path, const std::string& journal_path) {
  auto journal = env.Open(journal_path, false);
  if (!journal) {
    if (journal.error().code == ErrorCode::kNotFound) return {};  // restored meanwhile
    return MakeError(journal.error().code,
                     fmt::format("Cannot open '{}': it was left in the middle of saving, and its journal '{}' "
                                 "cannot be read: {}",
                                 path, journal_path, journal.error().message));
  }
  auto played = journal::PlayBack(**journal, database, format::kPageSize);
  journal->reset();
  if (!played)
    return MakeError(played.error().code,
                     fmt::format("Cannot open '{}': it was left in the middle of saving, and restoring it from its "
                                 "journal '{}' failed: {}",
                                 path, journal_path, played.error().message));
  Status removed = env.Remove(journal_path);
  if (removed) removed = env.SyncFolderOf(journal_path);
  if (!removed)
    return MakeError(removed.error().code,
                     fmt::format("Cannot open '{}': it was restored from its journal '{}', but the journal cannot "
                                 "be removed: {}",
                                 path, journal_path, removed.error().message));
  return {};
}

// A valid journal beside the database means its writer stopped mid-commit
// (only a writer holding the exclusive lock ever has one, and we hold the lock
// now).
Status RecoverHotJournal(Env& env, File& file, const std::string& path, bool writable) {
  std::string journal_path = journal::PathFor(path);
  JET_ASSIGN_OR_RETURN(exists, env.Exists(journal_path));
  if (!exists) return {};
  {
    // A journal invalidated at its commit point (or never synced whole) is
    // not hot: it restores nothing. A writer removes it.
    auto journal = env.Open(journal_path, false);
    if (journal) {
      JET_ASSIGN_OR_RETURN(valid, journal::IsValid(**journal));
      if (!valid) {
        if (writable) (void)env.Remove(journal_path);
        return {};
      }
    }
  }
  if (writable) return Restore(env, file, path, journal_path);

  // A reader restores the file through a writable handle of its own, holding
  // the exclusive lock meanwhile.
  auto writer = env.Open(path, true);
  if (!writer)
    return MakeError(ErrorCode::kReadOnly,
                     fmt::format("Cannot open '{}': it was left in the middle of saving by a program that stopped, "
                                 "and only opening it for writing restores it from its journal '{}' ({})",
                                 path, journal_path, writer.error().message));
  file.Unlock(0, 0);
  JET_ASSIGN_OR_RETURN(got, (*writer)->TryLock(0, 0, true));
  Status restored = got ? Restore(env, **writer, path, journal_path)
                        : MakeError(ErrorCode::kLocked,
                                    fmt::format("Cannot open '{}': it is in use by another program. Close it there "
                                                "and try again.",
                                                path));
  writer->reset();
  JET_ASSIGN_OR_RETURN(again, file.TryLock(0, 0, false));
  JET_TRY(restored);
  if (!again)
    return MakeError(ErrorCode::kLocked,
                     fmt::format("Cannot open '{}': it is in use by another program. Close it there and try again.",
                                 path));
  return {};
}

}  // namespace

Result<std::unique_ptr<Pager>> Pager::Open(const std::string& path, const PagerOptions& options) {
  Env* env = options.env ? options.env : Env::Default();
  JET_ASSIGN_OR_RETURN(file, env->Open(path, options.writable));
  JET_ASSIGN_OR_RETURN(lock, LockFile::Acquire(*env, *file, path, options.writable));
  JET_TRY(RecoverHotJournal(*env, *file, path, options.writable));

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
  if (size / format::kPageSize > kLargestAccessPages)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The file is larger than an Access database can be ({} bytes).", size));
  if (size / format::kPageSize < 3)
    return MakeError(ErrorCode::kCorruption,
                     "The Access database file is truncated: it ends before its system catalogue.");
  JET_TRY(CheckPassword(header, options.password));
  JET_ASSIGN_OR_RETURN(cipher, crypto::OpenPageCipher(header, first, options.password));
  auto pages = static_cast<uint32_t>(size / format::kPageSize);
  auto pager = std::unique_ptr<Pager>(new Pager(env, std::move(file), std::move(lock), header, pages, options));
  pager->cipher_ = std::move(cipher);
  return pager;
}

Pager::Pager(Env* env, std::unique_ptr<File> file, std::unique_ptr<LockFile> lock, format::Header header,
             uint32_t pages, const PagerOptions& options)
    : env_(env),
      path_(file->Path()),
      file_(std::move(file)),
      lock_(std::move(lock)),
      header_(header),
      page_count_(pages),
      disk_page_count_(pages),
      statement_page_count_(pages),
      writable_(options.writable),
      journal_(options.journal),
      cache_pages_(std::max(options.cache_pages, kMinResidentPages)),
      index_cache_pages_(std::max(options.index_cache_pages, kMinResidentPages)),
      max_pages_(static_cast<uint32_t>(std::min(options.max_file_bytes, kMaxAccessFileBytes) / format::kPageSize)),
      max_file_bytes_(options.max_file_bytes),
      policy_(options.commit_limits,
              options.clock ? options.clock : CommitPolicy::Clock(&std::chrono::steady_clock::now)),
      nonces_(std::random_device{}()) {}

Pager::~Pager() = default;

Status Pager::Usable() const {
  if (broken_) return *broken_;
  return {};
}

std::unique_ptr<std::byte[]> Pager::SpareImage() {
  if (spare_images_.empty()) return std::unique_ptr<std::byte[]>(new std::byte[format::kPageSize]);
  auto image = std::move(spare_images_.back());
  spare_images_.pop_back();
  return image;
}

void Pager::Recycle(std::unique_ptr<std::byte[]> image) {
  // A statement touches a handful of pages; a few spares serve every statement.
  if (spare_images_.size() < 64) spare_images_.push_back(std::move(image));
}

Pager::Slot& Pager::SlotTable::at(uint32_t page) {
  Slot* slot = find(page);
  if (!slot) std::abort();  // only pages known to be held are asked for
  return *slot;
}

Pager::Slot& Pager::SlotTable::emplace(uint32_t page, Slot slot, bool* moved) {
  *moved = page >= slots_.size();
  if (*moved) slots_.resize(std::max<size_t>(page + 1, slots_.size() * 2));
  slots_[page] = std::move(slot);
  return slots_[page];
}

void Pager::Touch(Slot& slot) {
  if (slot.dirty) return;
  std::list<uint32_t>& list = CleanList(slot);
  list.splice(list.begin(), list, slot.lru);
}

void Pager::MakeClean(uint32_t page, Slot& slot) {
  slot.original.reset();
  slot.statement.reset();
  slot.dirty = false;
  slot.in_statement = false;
  std::list<uint32_t>& list = CleanList(slot);
  list.push_front(page);
  slot.lru = list.begin();
}

void Pager::Evict() {
  // Changed pages stay until their commit and count against the cache, so
  // that a statement changing thousands of pages does not hold as many
  // clean ones beside them; kMinResidentPages clean pages always stay.
  // Index pages read from the file have a room of their own.
  auto trim = [&](std::list<uint32_t>& list, size_t pages) {
    const size_t room = pages - std::min(dirty_.size(), pages - kMinResidentPages);
    while (list.size() > room) {
      uint32_t victim = list.back();
      list.pop_back();
      if (victim == last_page_) last_slot_ = nullptr;
      slots_.erase(victim);
    }
  };
  trim(clean_lru_, cache_pages_);
  trim(index_lru_, index_cache_pages_);
}

Result<Pager::Slot*> Pager::Load(uint32_t page) {
  if (broken_) [[unlikely]] return *broken_;  // Usable(), without a Status on every page asked for
  // Statements come back to the same page again and again (a table's current
  // page); a slot's address stays put until it is erased.
  if (last_slot_ && page == last_page_) {
    Touch(*last_slot_);
    return last_slot_;
  }
  if (Slot* found = slots_.find(page)) {
    Touch(*found);
    last_page_ = page;
    last_slot_ = found;
    return found;
  }
  if (page >= page_count_)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The database refers to page {}, beyond the end of the file ({} pages).", page,
                                 page_count_));
  Slot slot;
  slot.image.reset(new std::byte[format::kPageSize]);
  std::span<std::byte> image(slot.image.get(), format::kPageSize);
  JET_TRY(file_->ReadAt(static_cast<uint64_t>(page) * format::kPageSize, image));
  if (cipher_ && page != 0) JET_TRY(cipher_->Decrypt(page, image));
  // Only pages read back join the index room: those of an index built in
  // one pass are written once and need not stay.
  const uint8_t type = format::PageType(image);
  slot.index_page = page != 0 && (type == format::kPageTypeIndexNode || type == format::kPageTypeIndexLeaf);
  std::list<uint32_t>& list = CleanList(slot);
  list.push_front(page);
  slot.lru = list.begin();
  bool moved = false;
  Slot& placed = slots_.emplace(page, std::move(slot), &moved);
  if (moved) last_slot_ = nullptr;
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
  if (!slot->in_statement) {
    slot->in_statement = true;
    statement_pages_.push_back(page);
    if (slot->dirty) {
      slot->statement = SpareImage();
      std::memcpy(slot->statement.get(), slot->image.get(), format::kPageSize);
    }
  }
  if (!slot->dirty) {
    slot->original.reset(new std::byte[format::kPageSize]);
    std::memcpy(slot->original.get(), slot->image.get(), format::kPageSize);
    slot->dirty = true;
    CleanList(*slot).erase(slot->lru);
    dirty_.push_back(page);
    Evict();
  }
  return std::span<std::byte>(slot->image.get(), format::kPageSize);
}

Status Pager::Patch(uint32_t page, size_t offset, std::span<const std::byte> bytes) {
  if (!writable_)
    return MakeError(ErrorCode::kReadOnly, "The database was opened read-only; it cannot be changed.");
  if (offset > format::kPageSize || bytes.size() > format::kPageSize - offset)
    return MakeError(ErrorCode::kCorruption, "A change reaches beyond the end of its page.");
  JET_ASSIGN_OR_RETURN(slot, Load(page));
  if (!slot->dirty) return PageStore::Patch(page, offset, bytes);  // its original is kept once per commit
  std::byte* at = slot->image.get() + offset;
  if (!slot->in_statement) {
    statement_undo_.push_back(Undo{page, static_cast<uint16_t>(offset), static_cast<uint16_t>(bytes.size()),
                                   statement_undo_bytes_.size()});
    statement_undo_bytes_.insert(statement_undo_bytes_.end(), at, at + bytes.size());
  }
  std::memcpy(at, bytes.data(), bytes.size());
  return {};
}

Result<std::span<std::byte>> Pager::WriteBytes(uint32_t page, size_t offset, size_t size) {
  if (!writable_)
    return MakeError(ErrorCode::kReadOnly, "The database was opened read-only; it cannot be changed.");
  if (offset > format::kPageSize || size > format::kPageSize - offset)
    return MakeError(ErrorCode::kCorruption, "A change reaches beyond the end of its page.");
  JET_ASSIGN_OR_RETURN(slot, Load(page));
  if (!slot->dirty) return Write(page);  // its original is kept once per commit
  if (!slot->in_statement && size > 0) {
    const std::byte* at = slot->image.get() + offset;
    statement_undo_.push_back(
        Undo{page, static_cast<uint16_t>(offset), static_cast<uint16_t>(size), statement_undo_bytes_.size()});
    statement_undo_bytes_.insert(statement_undo_bytes_.end(), at, at + size);
  }
  return std::span<std::byte>(slot->image.get(), format::kPageSize);
}

Result<uint32_t> Pager::Append() {
  JET_TRY(Usable());
  if (!writable_)
    return MakeError(ErrorCode::kReadOnly, "The database was opened read-only; it cannot be changed.");
  if (page_count_ >= max_pages_)
    return MakeError(ErrorCode::kTooLarge,
                     fmt::format("Cannot add to '{}': the file would grow beyond {}, the most an Access database "
                                 "can hold.",
                                 path_, SizeText(max_file_bytes_)));
  uint32_t page = page_count_++;
  Slot slot;
  slot.image.reset(new std::byte[format::kPageSize]());
  slot.dirty = true;
  slot.in_statement = true;
  bool moved = false;
  slots_.emplace(page, std::move(slot), &moved);
  if (moved) last_slot_ = nullptr;
  dirty_.push_back(page);
  statement_pages_.push_back(page);
  Evict();  // a new page takes a clean one's room
  return page;
}

std::vector<uint32_t> Pager::DirtyPages() const {
  std::vector<uint32_t> pages = dirty_;
  std::sort(pages.begin(), pages.end());
  return pages;
}

std::span<const std::byte> Pager::Original(uint32_t page) const {
  const Slot* slot = slots_.find(page);
  if (!slot || !slot->original) return {};
  return std::span<const std::byte>(slot->original.get(), format::kPageSize);
}

void Pager::EndStatement() {
  for (uint32_t page : statement_pages_) {
    Slot* slot = slots_.find(page);
    if (!slot) continue;
    if (slot->statement) Recycle(std::move(slot->statement));
    slot->in_statement = false;
  }
  statement_pages_.clear();
  statement_undo_.clear();
  statement_undo_bytes_.clear();
  statement_page_count_ = page_count_;
}

Status Pager::StatementDone() {
  JET_TRY(Usable());
  EndStatement();
  policy_.StatementDone();
  return CommitIfDue();
}

Status Pager::CommitIfDue() {
  if (policy_.Due(dirty_.size(), page_count_ - disk_page_count_)) return Commit();
  return {};
}

void Pager::RollbackStatement() {
  // Patched bytes go back after the whole images: an image taken later in
  // the statement holds the patch.
  auto undo_patches = [&] {
    for (auto it = statement_undo_.rbegin(); it != statement_undo_.rend(); ++it) {
      Slot* slot = slots_.find(it->page);
      if (slot && it->page < statement_page_count_)
        std::memcpy(slot->image.get() + it->offset, statement_undo_bytes_.data() + it->at, it->size);
    }
    statement_undo_.clear();
    statement_undo_bytes_.clear();
  };
  for (uint32_t page : statement_pages_) {
    Slot* found = slots_.find(page);
    if (!found) continue;
    Slot& slot = *found;
    if (page >= statement_page_count_) {  // appended by this statement: gone
      last_slot_ = nullptr;
      slots_.erase(page);
    } else if (slot.statement) {  // dirty before: back to its image then
      std::memcpy(slot.image.get(), slot.statement.get(), format::kPageSize);
      Recycle(std::move(slot.statement));
      slot.in_statement = false;
    } else if (slot.dirty) {  // clean before: back to the committed image
      std::memcpy(slot.image.get(), slot.original.get(), format::kPageSize);
      MakeClean(page, slot);
    }
  }
  std::erase_if(dirty_, [&](uint32_t page) {
    const Slot* slot = slots_.find(page);
    return !slot || !slot->dirty;
  });
  undo_patches();
  statement_pages_.clear();
  page_count_ = statement_page_count_;
  Evict();
}

void Pager::DropChanges() {
  for (uint32_t page : dirty_) {
    Slot* found = slots_.find(page);
    if (!found) continue;
    Slot& slot = *found;
    if (!slot.original) {  // appended: gone
      last_slot_ = nullptr;
      slots_.erase(page);
      continue;
    }
    std::memcpy(slot.image.get(), slot.original.get(), format::kPageSize);
    MakeClean(page, slot);
  }
  dirty_.clear();
  statement_pages_.clear();
  statement_undo_.clear();
  statement_undo_bytes_.clear();
  page_count_ = statement_page_count_ = disk_page_count_;
  policy_.Reset();
  Evict();
}

void Pager::Rollback() { DropChanges(); }

Result<std::unique_ptr<File>> Pager::WriteJournal(const std::vector<uint32_t>& pages) {
  // The journal holds pages as the file held them: encrypted, where the file is.
  std::vector<journal::Record> records;
  std::vector<std::byte> stored;
  size_t originals = 0;
  for (uint32_t page : pages) originals += slots_.at(page).original ? 1 : 0;
  if (cipher_) stored.resize(originals * format::kPageSize);
  records.reserve(originals);
  for (uint32_t page : pages) {
    const Slot& slot = slots_.at(page);
    if (!slot.original) continue;
    std::span<const std::byte> image(slot.original.get(), format::kPageSize);
    if (cipher_) {
      std::span<std::byte> out(stored.data() + records.size() * format::kPageSize, format::kPageSize);
      JET_TRY(StoredImage(page, image, out));
      image = out;
    }
    records.push_back({page, image});
  }
  std::string journal_path = journal::PathFor(path_);
  JET_ASSIGN_OR_RETURN(journal, env_->OpenOrCreate(journal_path));
  JET_TRY(journal::Write(*journal, format::kPageSize, disk_page_count_, static_cast<uint32_t>(nonces_()), records));
  JET_TRY(env_->SyncFolderOf(journal_path));
  return journal;
}

Status Pager::WritePages(const std::vector<uint32_t>& pages) {
  // Runs of neighbouring pages (a growing table's new pages) go out in one
  // write each instead of one per page.
  constexpr size_t kRunPages = 64;
  std::vector<uint32_t> sorted = pages;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::byte> run;
  for (size_t i = 0; i < sorted.size();) {
    size_t n = 1;
    while (i + n < sorted.size() && n < kRunPages && sorted[i + n] == sorted[i] + n) ++n;
    const uint64_t offset = static_cast<uint64_t>(sorted[i]) * format::kPageSize;
    if (n == 1 && !cipher_) {
      JET_TRY(file_->WriteAt(offset, std::span<const std::byte>(slots_.at(sorted[i]).image.get(), format::kPageSize)));
    } else {
      run.resize(n * format::kPageSize);
      for (size_t k = 0; k < n; ++k)
        JET_TRY(StoredImage(sorted[i + k], std::span<const std::byte>(slots_.at(sorted[i + k]).image.get(), format::kPageSize),
                            std::span<std::byte>(run.data() + k * format::kPageSize, format::kPageSize)));
      JET_TRY(file_->WriteAt(offset, run));
    }
    i += n;
  }
  return file_->Sync();
}

Status Pager::StoredImage(uint32_t page, std::span<const std::byte> image, std::span<std::byte> out) {
  if (cipher_ && page != 0) return cipher_->Encrypt(page, image, out);
  std::memcpy(out.data(), image.data(), format::kPageSize);
  return {};
}

Status Pager::PutBack(const std::vector<uint32_t>& pages) {
  std::vector<std::byte> stored(format::kPageSize);
  for (uint32_t page : pages) {
    const Slot& slot = slots_.at(page);
    if (!slot.original) continue;
    JET_TRY(StoredImage(page, std::span<const std::byte>(slot.original.get(), format::kPageSize), stored));
    JET_TRY(file_->WriteAt(static_cast<uint64_t>(page) * format::kPageSize, stored));
  }
  JET_ASSIGN_OR_RETURN(size, file_->Size());
  uint64_t old_size = static_cast<uint64_t>(disk_page_count_) * format::kPageSize;
  if (size > old_size) JET_TRY(file_->Truncate(old_size));
  return file_->Sync();
}

Error Pager::CommitFailed(size_t lost, ErrorCode code, std::string message) {
  return Error{code, std::move(message), ErrorKind::kWriteFailed, lost};
}

std::string Pager::LostStatements(size_t lost) const {
  if (lost == 0) return "The changes since the last commit were lost";
  if (lost == 1) return "The 1 statement since the last commit was lost";
  return fmt::format("The {} statements since the last commit were lost", lost);
}

Status Pager::Commit() {
  JET_TRY(Usable());
  if (before_commit_) {
    if (Status done = before_commit_(); !done) {
      const size_t lost = policy_.pending();
      DropChanges();
      return CommitFailed(lost, done.error().code,
                          fmt::format("Could not save the changes to '{}': {}. {}; the file is as it was after that "
                                      "commit.",
                                      path_, done.error().message, LostStatements(lost)));
    }
  }
  if (dirty_.empty()) {
    EndStatement();
    policy_.Reset();
    return {};
  }
  const std::vector<uint32_t> pages = DirtyPages();
  const std::string journal_path = journal::PathFor(path_);
  const size_t lost = policy_.pending();

  std::unique_ptr<File> journal;
  if (journal_) {
    auto written = WriteJournal(pages);
    if (!written) {
      // The database is untouched; a journal that did get written only holds
      // what the file holds already.
      (void)env_->Remove(journal_path);
      DropChanges();
      return CommitFailed(lost, written.error().code,
                       fmt::format("Could not save the changes to '{}': {}. {}; the file is as it was after that "
                                   "commit.",
                                   path_, written.error().message, LostStatements(lost)));
    }
    journal = std::move(*written);
  }

  Status written = WritePages(pages);
  if (written && journal) written = journal::Invalidate(*journal);  // the commit point
  if (!written) {
    // Undo through the journal, valid again, so that a crash meanwhile still
    // finds it; without that, leave the file to the next open.
    Status put_back = journal ? journal::Revalidate(*journal) : Status{};
    if (put_back) put_back = PutBack(pages);
    journal.reset();
    if (put_back && journal_) (void)env_->Remove(journal_path);
    DropChanges();
    if (!put_back) {
      broken_ = MakeError(ErrorCode::kIoError,
                          fmt::format("The database '{}' cannot be used after a failed save: close it; it is put "
                                      "back from its journal '{}' when it is next opened.",
                                      path_, journal_path));
      return CommitFailed(lost, written.error().code,
                       fmt::format("Could not save the changes to '{}': {}. {}, and the file cannot be put back now "
                                   "({}); its journal '{}' puts it back as it was after that commit when it is next "
                                   "opened.",
                                   path_, written.error().message, LostStatements(lost), put_back.error().message,
                                   journal_path));
    }
    return CommitFailed(lost, written.error().code,
                     fmt::format("Could not save the changes to '{}': {}. {}; the file is as it was after that "
                                 "commit.",
                                 path_, written.error().message, LostStatements(lost)));
  }
  // An invalid journal is never played back: if it cannot be removed (or a
  // power loss brings it back) the next open simply removes it.
  if (journal) {
    journal.reset();
    (void)env_->Remove(journal_path);
  }

  for (uint32_t page : pages) MakeClean(page, slots_.at(page));
  dirty_.clear();
  statement_pages_.clear();
  statement_undo_.clear();
  statement_undo_bytes_.clear();
  disk_page_count_ = statement_page_count_ = page_count_;
  policy_.Reset();
  Evict();
  return {};
}

}  // namespace jet
