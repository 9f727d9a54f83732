#include "platform/jet/format/index_page.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

namespace jet::format {
namespace {

constexpr size_t kFreeSpaceOffset = 0x02;
constexpr size_t kTdefOffset = 0x04;
constexpr size_t kPrevOffset = 0x0C;
constexpr size_t kNextOffset = 0x10;
constexpr size_t kTailOffset = 0x14;
constexpr size_t kPrefixOffset = 0x18;
constexpr size_t kLeafPointerBytes = 4;
constexpr size_t kNodePointerBytes = 8;

uint32_t Le32(std::span<const std::byte> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(std::span<const std::byte> b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint16_t>(b[at]) | static_cast<uint16_t>(b[at + 1]) << 8);
}
void PutLe32(std::span<std::byte> b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::byte>(v >> (8 * i));
}
void PutLe16(std::span<std::byte> b, size_t at, uint16_t v) {
  b[at] = static_cast<std::byte>(v);
  b[at + 1] = static_cast<std::byte>(v >> 8);
}

// The whole stored form of an entry (before prefix compression).
void AppendEntryBytes(const IndexEntry& e, bool leaf, std::vector<uint8_t>* out) {
  out->insert(out->end(), e.key.begin(), e.key.end());
  out->push_back(static_cast<uint8_t>(e.data_page >> 16));
  out->push_back(static_cast<uint8_t>(e.data_page >> 8));
  out->push_back(static_cast<uint8_t>(e.data_page));
  out->push_back(e.data_row);
  if (!leaf) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(e.child >> shift));
  }
}

size_t EntrySize(const IndexEntry& e, bool leaf) {
  return e.key.size() + (leaf ? kLeafPointerBytes : kNodePointerBytes);
}

// Prefix shared by every entry: that of the first and last keys (entries are sorted).
size_t SharedPrefix(const IndexPage& page) {
  if (page.entries.size() < 2) return 0;
  const IndexKey& first = page.entries.front().key;
  const IndexKey& last = page.entries.back().key;
  size_t n = 0;
  while (n < first.size() && n < last.size() && first[n] == last[n]) ++n;
  return n;
}

size_t UncompressedBytes(const IndexPage& page) {
  size_t total = 0;
  for (const auto& e : page.entries) total += EntrySize(e, page.leaf);
  return total;
}

// Access stores a prefix only on pages that would not hold their entries
// without one: every page of a fresh file, and nearly every page of a busy
// one, has prefix 0. We do the same, so that Access never meets a prefixed
// page it would not have written itself.
size_t PrefixLength(const IndexPage& page) {
  return UncompressedBytes(page) <= kIndexEntryCapacity ? 0 : SharedPrefix(page);
}

}  // namespace

int CompareKeys(const IndexKey& a, const IndexKey& b) {
  const size_t n = std::min(a.size(), b.size());
  if (n > 0) {
    if (int c = std::memcmp(a.data(), b.data(), n); c != 0) return c < 0 ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool IndexEntry::operator<(const IndexEntry& other) const {
  if (int c = CompareKeys(key, other.key); c != 0) return c < 0;
  if (data_page != other.data_page) return data_page < other.data_page;
  return data_row < other.data_row;
}

Result<IndexPage> ParseIndexPage(std::span<const std::byte> image, uint32_t page_number) {
  auto corrupt = [&](std::string_view why) {
    return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: {}", page_number, why));
  };
  if (image.size() != kIndexPageSize) return corrupt("not a 4096-byte page");
  const auto type = static_cast<uint8_t>(image[0]);
  if (type != kIndexLeafPage && type != kIndexNodePage) {
    return corrupt(fmt::format("page type 0x{:02X} is not an index page", type));
  }
  IndexPage page;
  page.leaf = type == kIndexLeafPage;
  page.tdef_page = Le32(image, kTdefOffset);
  page.prev_page = Le32(image, kPrevOffset);
  page.next_page = Le32(image, kNextOffset);
  page.tail_page = page.leaf ? 0 : Le32(image, kTailOffset);
  const size_t prefix = Le16(image, kPrefixOffset);
  const size_t pointer_bytes = page.leaf ? kLeafPointerBytes : kNodePointerBytes;

  std::vector<uint8_t> first;
  size_t start = 0;
  for (size_t bit = 0; bit < (kIndexEntriesOffset - kIndexMaskOffset) * 8; ++bit) {
    const auto mask_byte = static_cast<uint8_t>(image[kIndexMaskOffset + bit / 8]);
    if (!(mask_byte >> (bit % 8) & 1)) continue;
    const size_t end = bit;
    if (end > kIndexEntryCapacity || end <= start) return corrupt("entry mask out of range");
    std::vector<uint8_t> bytes;
    if (!page.entries.empty() && prefix > 0) bytes.assign(first.begin(), first.begin() + prefix);
    for (size_t i = start; i < end; ++i) bytes.push_back(static_cast<uint8_t>(image[kIndexEntriesOffset + i]));
    if (page.entries.empty()) {
      if (bytes.size() < prefix) return corrupt("shared prefix longer than the first entry");
      first = bytes;
    }
    if (bytes.size() < pointer_bytes) return corrupt("entry shorter than its row pointer");
    IndexEntry e;
    const size_t key_size = bytes.size() - pointer_bytes;
    e.key.assign(bytes.begin(), bytes.begin() + key_size);
    e.data_page = static_cast<uint32_t>(bytes[key_size]) << 16 | static_cast<uint32_t>(bytes[key_size + 1]) << 8 |
                  bytes[key_size + 2];
    e.data_row = bytes[key_size + 3];
    if (!page.leaf) {
      e.child = static_cast<uint32_t>(bytes[key_size + 4]) << 24 | static_cast<uint32_t>(bytes[key_size + 5]) << 16 |
                static_cast<uint32_t>(bytes[key_size + 6]) << 8 | bytes[key_size + 7];
    }
    page.entries.push_back(std::move(e));
    start = end;
  }
  return page;
}

size_t IndexEntryBytes(const IndexPage& page) {
  size_t total = UncompressedBytes(page);
  if (page.entries.size() > 1) total -= (page.entries.size() - 1) * PrefixLength(page);
  return total;
}

bool FitsOnIndexPage(const IndexPage& page) { return IndexEntryBytes(page) <= kIndexEntryCapacity; }

void BuildIndexPage(const IndexPage& page, std::span<std::byte> image) {
  std::fill(image.begin(), image.end(), std::byte{0});
  const size_t prefix = PrefixLength(page);
  image[0] = static_cast<std::byte>(page.leaf ? kIndexLeafPage : kIndexNodePage);
  image[1] = std::byte{0x01};
  PutLe32(image, kTdefOffset, page.tdef_page);
  PutLe32(image, kPrevOffset, page.prev_page);
  PutLe32(image, kNextOffset, page.next_page);
  PutLe32(image, kTailOffset, page.leaf ? 0 : page.tail_page);
  PutLe16(image, kPrefixOffset, static_cast<uint16_t>(prefix));
  std::vector<uint8_t> bytes;
  size_t stored = 0;
  for (size_t i = 0; i < page.entries.size(); ++i) {
    bytes.clear();
    AppendEntryBytes(page.entries[i], page.leaf, &bytes);
    const size_t skip = i == 0 ? 0 : prefix;
    std::memcpy(image.data() + kIndexEntriesOffset + stored, bytes.data() + skip, bytes.size() - skip);
    stored += bytes.size() - skip;
    image[kIndexMaskOffset + stored / 8] |= static_cast<std::byte>(1u << (stored % 8));
  }
  PutLe16(image, kFreeSpaceOffset, static_cast<uint16_t>(kIndexEntryCapacity - stored));
}

}  // namespace jet::format
