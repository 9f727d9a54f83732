#pragma once
// The rollback journal beside a database ("orders.mdb-journal"): the original
// images of the pages a commit is about to overwrite, and the database's page
// count before the commit. The pager writes and syncs it before the first
// database page changes; once the database is synced it overwrites the
// journal's magic and syncs that (the commit point: an invalid journal is
// never played back, even one a power loss brings back after its removal),
// then removes the journal. A journal found when the database is opened is
// "hot" (its writer died mid-commit) and is played back, which restores the
// file as of the last commit.
//
// Layout (little-endian):
//   Header, kHeaderSize bytes:
//     0x00  8  magic "PelmJrnl"
//     0x08  4  page size (4096)
//     0x0C  4  page count of the database before the commit
//     0x10  4  nonce: seeds every checksum, so torn writes and bytes left over
//              from an earlier journal never pass as records of this one
//     0x14  4  number of records
//     0x18  4  checksum of bytes 0x00..0x17
//   Records from kHeaderSize, each 4 + page size + 4 bytes:
//     page number, original page image, checksum(nonce, page number, image)
//
// A journal whose header fails its checksum was never synced: the database
// had not been touched, and the journal is simply removed. Playback stops at
// the first record whose checksum fails for the same reason.

#include <cstdint>
#include <span>
#include <string>

#include "platform/jet/file/env.h"
#include "platform/jet/public/result.h"

namespace jet::journal {

inline constexpr size_t kHeaderSize = 512;

std::string PathFor(const std::string& database_path);

struct Record {
  uint32_t page;
  std::span<const std::byte> image;  // one page
};

// Writes a complete journal into `file` (cutting what it held) and syncs it.
Status Write(File& file, size_t page_size, uint32_t page_count, uint32_t nonce, std::span<const Record> records);

// Whether `file` holds a journal whose header reached the disk whole (a hot
// journal, when its writer is gone).
Result<bool> IsValid(File& file);

// Makes the journal invalid and syncs it: the commit point.
Status Invalidate(File& file);
// Makes an invalidated journal valid again and syncs it (a commit that failed
// after its commit point began is undone through it).
Status Revalidate(File& file);

struct Playback {
  bool valid = false;      // false: the header never reached the disk; nothing was restored
  uint32_t restored = 0;   // pages written back
  uint32_t page_count = 0; // the database's page count now
};

// Restores `database` from `journal`: writes back every valid record, cuts the
// database to its page count before the commit, and syncs it.
Result<Playback> PlayBack(File& journal, File& database, size_t page_size);

}  // namespace jet::journal
