#include "platform/jet/file/journal.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace jet::journal {
namespace {

constexpr char kMagic[8] = {'P', 'e', 'l', 'm', 'J', 'r', 'n', 'l'};
constexpr uint32_t kCheckedHeaderBytes = 0x18;
constexpr size_t kRecordBatch = 64;

uint32_t Get32(const std::byte* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void Put32(std::byte* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::byte>(v >> (8 * i));
}

// A fast 32-bit mix of 8-byte words (not cryptographic: it only has to tell
// our synced bytes from torn or stale ones).
uint32_t Checksum(uint32_t nonce, uint32_t tag, std::span<const std::byte> data) {
  uint64_t h = (static_cast<uint64_t>(nonce) << 32 | tag) * 0x9E3779B97F4A7C15ull;
  size_t i = 0;
  for (; i + 8 <= data.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, data.data() + i, 8);
    h ^= w * 0xC2B2AE3D27D4EB4Full;
    h = (h << 31 | h >> 33) * 0x165667B19E3779F9ull;
  }
  for (; i < data.size(); ++i) h = (h ^ static_cast<uint64_t>(data[i])) * 0x100000001B3ull;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}

}  // namespace

std::string PathFor(const std::string& database_path) { return database_path + "-journal"; }

Status Write(File& file, size_t page_size, uint32_t page_count, uint32_t nonce, std::span<const Record> records) {
  std::vector<std::byte> header(kHeaderSize);
  std::memcpy(header.data(), kMagic, sizeof kMagic);
  Put32(&header[0x08], static_cast<uint32_t>(page_size));
  Put32(&header[0x0C], page_count);
  Put32(&header[0x10], nonce);
  Put32(&header[0x14], static_cast<uint32_t>(records.size()));
  Put32(&header[0x18], Checksum(nonce, 0, std::span(header).first(kCheckedHeaderBytes)));
  JET_TRY(file.Truncate(0));
  JET_TRY(file.WriteAt(0, header));

  const size_t record_size = 8 + page_size;
  std::vector<std::byte> batch;
  batch.reserve(kRecordBatch * record_size);
  uint64_t offset = kHeaderSize;
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    size_t at = batch.size();
    batch.resize(at + record_size);
    Put32(&batch[at], r.page);
    std::memcpy(&batch[at + 4], r.image.data(), page_size);
    Put32(&batch[at + 4 + page_size], Checksum(nonce, r.page, r.image.first(page_size)));
    if (batch.size() == kRecordBatch * record_size || i + 1 == records.size()) {
      JET_TRY(file.WriteAt(offset, batch));
      offset += batch.size();
      batch.clear();
    }
  }
  return file.Sync();
}

namespace {

// The header if the journal holds a valid one.
Result<bool> ReadHeader(File& journal, std::vector<std::byte>& header) {
  JET_ASSIGN_OR_RETURN(size, journal.Size());
  if (size < kHeaderSize) return false;
  header.resize(kHeaderSize);
  JET_TRY(journal.ReadAt(0, header));
  uint32_t nonce = Get32(&header[0x10]);
  return std::memcmp(header.data(), kMagic, sizeof kMagic) == 0 &&
         Get32(&header[0x18]) == Checksum(nonce, 0, std::span(header).first(kCheckedHeaderBytes));
}

}  // namespace

Result<bool> IsValid(File& file) {
  std::vector<std::byte> header;
  return ReadHeader(file, header);
}

Status Invalidate(File& file) {
  const std::byte zeros[sizeof kMagic] = {};
  JET_TRY(file.WriteAt(0, zeros));
  return file.Sync();
}

Status Revalidate(File& file) {
  JET_TRY(file.WriteAt(0, std::as_bytes(std::span(kMagic))));
  return file.Sync();
}

Result<Playback> PlayBack(File& journal, File& database, size_t page_size) {
  Playback result;
  std::vector<std::byte> header;
  JET_ASSIGN_OR_RETURN(valid, ReadHeader(journal, header));
  if (!valid || Get32(&header[0x08]) != page_size) return result;
  JET_ASSIGN_OR_RETURN(size, journal.Size());
  uint32_t nonce = Get32(&header[0x10]);
  result.valid = true;
  uint32_t old_pages = Get32(&header[0x0C]);
  uint32_t count = Get32(&header[0x14]);

  const size_t record_size = 8 + page_size;
  std::vector<std::byte> record(record_size);
  uint64_t offset = kHeaderSize;
  for (uint32_t i = 0; i < count && offset + record_size <= size; ++i, offset += record_size) {
    JET_TRY(journal.ReadAt(offset, record));
    uint32_t page = Get32(&record[0]);
    auto image = std::span<const std::byte>(record).subspan(4, page_size);
    if (Get32(&record[4 + page_size]) != Checksum(nonce, page, image)) break;
    if (page >= old_pages) break;  // a valid record never lies past the old end
    JET_TRY(database.WriteAt(static_cast<uint64_t>(page) * page_size, image));
    ++result.restored;
  }
  JET_ASSIGN_OR_RETURN(db_size, database.Size());
  uint64_t old_size = static_cast<uint64_t>(old_pages) * page_size;
  if (db_size > old_size) JET_TRY(database.Truncate(old_size));
  JET_TRY(database.Sync());
  result.page_count = static_cast<uint32_t>(std::min(old_size, db_size) / page_size);
  return result;
}

}  // namespace jet::journal
