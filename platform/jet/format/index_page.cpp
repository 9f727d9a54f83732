#include "platform/jet/format/index_page.h"

#include <algorithm>
#include <bit>
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
constexpr size_t kMaskBytes = kIndexEntriesOffset - kIndexMaskOffset;  // 453
constexpr size_t kMaskWords = (kMaskBytes + 7) / 8;

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
size_t SharedPrefix(std::span<const IndexEntry> entries) {
  if (entries.size() < 2) return 0;
  const IndexKey& first = entries.front().key;
  const IndexKey& last = entries.back().key;
  size_t n = 0;
  while (n < first.size() && n < last.size() && first[n] == last[n]) ++n;
  return n;
}

size_t UncompressedBytes(std::span<const IndexEntry> entries, bool leaf) {
  size_t total = 0;
  for (const auto& e : entries) total += EntrySize(e, leaf);
  return total;
}

// Access stores a prefix only on pages that would not hold their entries
// without one: every page of a fresh file, and nearly every page of a busy
// one, has prefix 0. We do the same, so that Access never meets a prefixed
// page it would not have written itself.
size_t PrefixLength(std::span<const IndexEntry> entries, bool leaf) {
  return UncompressedBytes(entries, leaf) <= kIndexEntryCapacity ? 0 : SharedPrefix(entries);
}
size_t PrefixLength(const IndexPage& page) { return PrefixLength(page.entries, page.leaf); }

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

size_t IndexEntryBytes(std::span<const IndexEntry> entries, bool leaf) {
  const size_t total = UncompressedBytes(entries, leaf);
  if (entries.size() < 2 || total <= kIndexEntryCapacity) return total;
  return total - (entries.size() - 1) * SharedPrefix(entries);
}
size_t IndexEntryBytes(const IndexPage& page) { return IndexEntryBytes(page.entries, page.leaf); }

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

int IndexEntryRef::CompareKey(std::span<const uint8_t> key) const {
  auto sign = [](int c) { return c < 0 ? -1 : 1; };
  const size_t n = std::min(head.size(), key.size());
  if (n > 0) {
    if (int c = std::memcmp(head.data(), key.data(), n); c != 0) return sign(c);
  }
  if (key.size() <= head.size()) return key_size() == key.size() ? 0 : 1;
  const auto rest = key.subspan(head.size());
  const size_t m = std::min(tail.size(), rest.size());
  if (m > 0) {
    if (int c = std::memcmp(tail.data(), rest.data(), m); c != 0) return sign(c);
  }
  if (tail.size() == rest.size()) return 0;
  return tail.size() < rest.size() ? -1 : 1;
}

int IndexEntryRef::Compare(const IndexProbe& probe) const {
  if (int c = CompareKey(probe.key); c != 0) return c;
  if (data_page != probe.data_page) return data_page < probe.data_page ? -1 : 1;
  if (data_row != probe.data_row) return data_row < probe.data_row ? -1 : 1;
  return 0;
}

IndexEntry IndexEntryRef::ToEntry() const {
  IndexEntry e;
  e.key.resize(key_size());
  if (!head.empty()) std::memcpy(e.key.data(), head.data(), head.size());
  if (!tail.empty()) std::memcpy(e.key.data() + head.size(), tail.data(), tail.size());
  e.data_page = data_page;
  e.data_row = data_row;
  e.child = child;
  return e;
}

Result<IndexPageView> IndexPageView::Open(std::span<const std::byte> image, uint32_t page_number) {
  auto corrupt = [&](std::string_view why) {
    return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: {}", page_number, why));
  };
  if (image.size() != kIndexPageSize) return corrupt("not a 4096-byte page");
  const auto type = static_cast<uint8_t>(image[0]);
  if (type != kIndexLeafPage && type != kIndexNodePage) {
    return corrupt(fmt::format("page type 0x{:02X} is not an index page", type));
  }
  IndexPageView view(image, page_number);
  view.leaf_ = type == kIndexLeafPage;
  view.prefix_ = Le16(image, kPrefixOffset);
  // The last entry end: the highest bit of the mask. Every lookup opens a
  // view, so the free space is taken as a guess first: right when its bit is
  // the highest one set.
  size_t last = 0;
  const auto* mask = reinterpret_cast<const uint8_t*>(image.data() + kIndexMaskOffset);
  static constexpr uint8_t kZeros[kMaskBytes] = {};
  const size_t guess = kIndexEntryCapacity - std::min<size_t>(Le16(image, kFreeSpaceOffset), kIndexEntryCapacity);
  if (guess > 0 && mask[guess / 8] >> (guess % 8) == 1 &&
      std::memcmp(mask + guess / 8 + 1, kZeros, kMaskBytes - guess / 8 - 1) == 0) {
    last = guess;
  } else if (guess == 0 && std::memcmp(mask, kZeros, kMaskBytes) == 0) {
    last = 0;
  } else if (const uint8_t top = mask[kMaskBytes - 1]; top != 0) {
    last = (kMaskBytes - 1) * 8 + 7 - static_cast<size_t>(std::countl_zero(top));
  } else {
    for (size_t byte = kMaskBytes - 1; byte > 0;) {
      const size_t low = byte >= 8 ? byte - 8 : 0;
      uint64_t w;
      std::memcpy(&w, mask + low, 8);
      if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
      if (byte - low < 8) w &= (uint64_t{1} << (8 * (byte - low))) - 1;
      if (w != 0) {
        last = low * 8 + 63 - static_cast<size_t>(std::countl_zero(w));
        break;
      }
      byte = low;
    }
  }
  if (last > kIndexEntryCapacity) return corrupt("entry mask out of range");
  if (static_cast<uint8_t>(image[kIndexMaskOffset]) & 1) return corrupt("entry mask out of range");
  view.end_ = last;
  if (last > 0 && view.NextEnd(0) < view.prefix_) return corrupt("shared prefix longer than the first entry");
  return view;
}

uint32_t IndexPageView::tdef_page() const { return Le32(image_, kTdefOffset); }
uint32_t IndexPageView::prev_page() const { return Le32(image_, kPrevOffset); }
uint32_t IndexPageView::next_page() const { return Le32(image_, kNextOffset); }
uint32_t IndexPageView::tail_page() const { return leaf_ ? 0 : Le32(image_, kTailOffset); }

// Eight mask bytes from `byte` on, as one little-endian word (zeros past the mask).
uint64_t IndexPageView::MaskWord(size_t byte) const {
  if (byte >= kMaskBytes) return 0;
  // The page goes on after the mask (entry data), so eight bytes can always be loaded.
  uint64_t w;
  std::memcpy(&w, image_.data() + kIndexMaskOffset + byte, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  if (byte + 8 > kMaskBytes) w &= (uint64_t{1} << (8 * (kMaskBytes - byte))) - 1;
  return w;
}

size_t IndexPageView::NextEnd(size_t pos) const {
  size_t q = pos + 1;
  for (;;) {  // ends at end_, whose bit is set
    if (q >= end_) return end_;
    const size_t byte = q / 8;
    if (const uint64_t w = MaskWord(byte) >> (q % 8); w != 0) return q + static_cast<size_t>(std::countr_zero(w));
    q = (byte + 8) * 8;
  }
}

size_t IndexPageView::StartOf(size_t pos) const {
  size_t q = pos;
  for (;;) {
    const size_t low = q / 8 >= 7 ? q / 8 - 7 : 0;
    const size_t top = q - low * 8;  // bit of q in the word, below 64
    uint64_t w = MaskWord(low);
    if (top < 63) w &= (uint64_t{1} << (top + 1)) - 1;
    if (w != 0) return low * 8 + 63 - static_cast<size_t>(std::countl_zero(w));
    if (low == 0) return 0;
    q = low * 8 - 1;
  }
}

Result<IndexEntryRef> IndexPageView::Ref(size_t start, size_t end) const {
  const size_t pointer_bytes = leaf_ ? kLeafPointerBytes : kNodePointerBytes;
  const size_t shared = start == 0 ? 0 : prefix_;
  const size_t size = shared + (end - start);  // the whole entry
  if (size < pointer_bytes) {
    return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: entry shorter than its row pointer", page_));
  }
  const std::byte* data = image_.data() + kIndexEntriesOffset;
  IndexEntryRef e;
  e.start = start;
  e.end = end;
  const size_t key_size = size - pointer_bytes;
  const size_t head = std::min(shared, key_size);
  e.head = std::span<const std::byte>(data, head);
  e.tail = std::span<const std::byte>(data + start, key_size - head);
  uint8_t pointer[kNodePointerBytes];
  if (key_size >= shared) {
    std::memcpy(pointer, data + end - pointer_bytes, pointer_bytes);
  } else {  // the shared prefix reaches into the row pointer
    for (size_t i = 0; i < pointer_bytes; ++i) {
      const size_t at = key_size + i;
      pointer[i] = static_cast<uint8_t>(at < shared ? data[at] : data[start + at - shared]);
    }
  }
  e.data_page = static_cast<uint32_t>(pointer[0]) << 16 | static_cast<uint32_t>(pointer[1]) << 8 | pointer[2];
  e.data_row = pointer[3];
  if (!leaf_) {
    e.child = static_cast<uint32_t>(pointer[4]) << 24 | static_cast<uint32_t>(pointer[5]) << 16 |
              static_cast<uint32_t>(pointer[6]) << 8 | pointer[7];
  }
  return e;
}

Result<IndexEntryRef> IndexPageView::EntryAt(size_t start) const {
  if (start >= end_) return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: no entry there", page_));
  return Ref(start, NextEnd(start));
}

namespace {

// Bits set in the mask's words from `byte` (a multiple of 8) on, to the word
// holding `last_byte`, stopping once `enough` are seen. The build does not
// assume the popcnt instruction, so the loop is made twice and the one the
// processor runs is chosen at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("popcnt", "default")))
#endif
size_t CountMaskBits(const std::byte* mask, size_t last_byte, size_t enough) {
  size_t seen = 0;
  for (size_t byte = 0; byte <= last_byte && byte < kMaskBytes && seen < enough; byte += 8) {
    uint64_t w;
    std::memcpy(&w, mask + byte, 8);  // the page goes on after the mask
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    if (byte + 8 > kMaskBytes) w &= (uint64_t{1} << (8 * (kMaskBytes - byte))) - 1;
    seen += static_cast<size_t>(__builtin_popcountll(w));
  }
  return seen;
}

}  // namespace

bool IndexPageView::CountAtLeast(size_t n) const {
  if (n == 0) return true;
  if (image_.empty()) return false;
  return CountMaskBits(image_.data() + kIndexMaskOffset, end_ / 8, n) >= n;
}

size_t IndexPageView::Count() const {
  if (image_.empty()) return 0;
  // No entry ends past the last one.
  return CountMaskBits(image_.data() + kIndexMaskOffset, end_ / 8, SIZE_MAX);
}

namespace {

// memcmp's sign for the short runs keys are, without the library call.
[[gnu::always_inline]] inline int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  if (n > 16) {
    const int c = std::memcmp(a, b, n);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

}  // namespace

Result<size_t> IndexPageView::LowerBound(const IndexProbe& probe) const {
  const size_t pointer_bytes = leaf_ ? kLeafPointerBytes : kNodePointerBytes;
  const auto* data = reinterpret_cast<const uint8_t*>(image_.data() + kIndexEntriesOffset);
  const uint8_t* key = probe.key.data();
  const size_t key_size = probe.key.size();
  size_t lo = 0, hi = end_;  // entry boundaries: those before lo are below the probe, those from hi on are not
  const auto* mask = reinterpret_cast<const uint8_t*>(image_.data() + kIndexMaskOffset);
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    // The entry holding byte mid: its start and end are mostly within the
    // eight mask bytes around mid's bit, read at once; else StartOf/NextEnd.
    size_t start, end;
    const size_t b0 = mid / 8 >= 3 ? mid / 8 - 3 : 0;
    uint64_t w = 0;
    if (b0 + 8 <= kMaskBytes) {
      std::memcpy(&w, mask + b0, 8);
      if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    }
    const size_t bit = mid - b0 * 8;  // below 64
    const uint64_t upto = bit >= 63 ? ~uint64_t{0} : (uint64_t{2} << bit) - 1;
    const uint64_t below = w & upto, above = w & ~upto;
    if (above != 0 && (below != 0 || b0 == 0)) {
      start = below == 0 ? 0 : b0 * 8 + 63 - static_cast<size_t>(std::countl_zero(below));
      end = b0 * 8 + static_cast<size_t>(std::countr_zero(above));
    } else {
      start = StartOf(mid);
      end = NextEnd(mid);
    }
    const size_t shared = start == 0 ? 0 : prefix_;
    const size_t size = shared + (end - start);
    if (size < pointer_bytes) {
      return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: entry shorter than its row pointer", page_));
    }
    if (size < pointer_bytes + shared) {
      // The shared prefix reaches into the row pointer (keys of a few bytes
      // on a full page): the entry's whole bytes are data[0, shared) ‖
      // data[start, end), its key the first entry_key of them.
      const size_t entry_key = size - pointer_bytes;
      int c = CompareBytes(data, key, std::min(entry_key, key_size));
      if (c == 0 && entry_key != key_size) c = entry_key < key_size ? -1 : 1;
      if (c == 0) {
        uint8_t p[kLeafPointerBytes];
        for (size_t i = 0; i < kLeafPointerBytes; ++i) {
          const size_t at = entry_key + i;
          p[i] = at < shared ? data[at] : data[start + at - shared];
        }
        const uint32_t page = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
        if (page != probe.data_page) {
          c = page < probe.data_page ? -1 : 1;
        } else if (p[3] != probe.data_row) {
          c = p[3] < probe.data_row ? -1 : 1;
        }
      }
      if (c < 0) {
        lo = end;
      } else {
        hi = start;
      }
      continue;
    }
    // Compared where it lies: the shared prefix, then the stored key bytes, then page and row.
    const size_t entry_key = size - pointer_bytes;
    int c = CompareBytes(data, key, std::min(shared, key_size));
    if (c == 0 && key_size > shared) {
      const size_t tail = entry_key - shared;
      c = CompareBytes(data + start, key + shared, std::min(tail, key_size - shared));
    }
    if (c == 0 && entry_key != key_size) c = entry_key < key_size ? -1 : 1;
    if (c == 0) {
      const uint8_t* p = data + end - pointer_bytes;
      const uint32_t page = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      if (page != probe.data_page) {
        c = page < probe.data_page ? -1 : 1;
      } else if (p[3] != probe.data_row) {
        c = p[3] < probe.data_row ? -1 : 1;
      }
    }
    if (c < 0) {
      lo = end;
    } else {
      hi = start;
    }
  }
  return lo;
}

void EncodeIndexEntry(std::span<const uint8_t> key, uint32_t data_page, uint8_t data_row, bool leaf, uint32_t child,
                      std::vector<uint8_t>* out) {
  out->assign(key.begin(), key.end());
  out->push_back(static_cast<uint8_t>(data_page >> 16));
  out->push_back(static_cast<uint8_t>(data_page >> 8));
  out->push_back(static_cast<uint8_t>(data_page));
  out->push_back(data_row);
  if (!leaf) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(child >> shift));
  }
}

namespace {

// Appends the whole stored form of the page's entry stored in [at, end):
// the shared prefix it omits (entries after the first), then its bytes.
void AppendWholeEntry(const IndexPageView& view, size_t at, size_t end, std::vector<uint8_t>* bytes,
                      std::vector<size_t>* ends) {
  const auto* data = reinterpret_cast<const uint8_t*>(view.image().data() + kIndexEntriesOffset);
  bytes->insert(bytes->end(), data, data + (at > 0 ? view.prefix() : 0));
  bytes->insert(bytes->end(), data + at, data + end);
  ends->push_back(bytes->size());
}

}  // namespace

Status AppendWholeEntries(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> replacement,
                          std::span<const size_t> replacement_ends, std::vector<uint8_t>* bytes,
                          std::vector<size_t>* ends) {
  if (start > end || end > view.data_end()) {
    return MakeError(ErrorCode::kInvalidValue, "entries to replace outside the page");
  }
  const size_t pointer_bytes = view.leaf() ? kLeafPointerBytes : kNodePointerBytes;
  auto put_replacement = [&] {
    const size_t base = bytes->size();
    bytes->insert(bytes->end(), replacement.begin(), replacement.end());
    for (size_t e : replacement_ends) ends->push_back(base + e);
  };
  bool placed = false;
  for (size_t at = 0; at < view.data_end();) {
    if (!placed && at == start) {
      put_replacement();
      placed = true;
      if (end > start) {
        at = end;
        continue;
      }
    }
    const size_t e_end = view.EndOf(at);
    const size_t shared = at > 0 ? view.prefix() : 0;
    if (shared + (e_end - at) < pointer_bytes) {
      return MakeError(ErrorCode::kCorruption, "index page: entry shorter than its row pointer");
    }
    AppendWholeEntry(view, at, e_end, bytes, ends);
    at = e_end;
  }
  if (!placed) put_replacement();
  return {};
}

Status MergeWholeEntries(const IndexPageView& view, std::span<const IndexProbe> added, std::vector<uint8_t>* bytes,
                         std::vector<size_t>* ends, std::vector<size_t>* added_at) {
  if (!view.leaf()) return MakeError(ErrorCode::kInvalidValue, "entries merged into a node page");
  bytes->reserve(bytes->size() + 2 * kIndexEntryCapacity);
  size_t next = 0;
  auto put_added = [&] {
    const IndexProbe& p = added[next++];
    bytes->insert(bytes->end(), p.key.begin(), p.key.end());
    const uint8_t pointer[kLeafPointerBytes] = {static_cast<uint8_t>(p.data_page >> 16),
                                                static_cast<uint8_t>(p.data_page >> 8),
                                                static_cast<uint8_t>(p.data_page), p.data_row};
    bytes->insert(bytes->end(), pointer, pointer + kLeafPointerBytes);
    ends->push_back(bytes->size());
    added_at->push_back(ends->size() - 1);
  };
  for (size_t at = 0; at < view.data_end();) {
    JET_ASSIGN_OR_RETURN(e, view.EntryAt(at));
    for (int order; next < added.size() && (order = e.Compare(added[next])) >= 0;) {
      if (order == 0) {
        return MakeError(ErrorCode::kAlreadyExists,
                         fmt::format("index page already holds the entry for row {} of page {}",
                                     added[next].data_row, added[next].data_page));
      }
      put_added();
    }
    AppendWholeEntry(view, at, e.end, bytes, ends);
    at = e.end;
  }
  while (next < added.size()) put_added();
  return {};
}

namespace {

size_t CommonPrefix(const IndexEntryRef& a, const IndexEntryRef& b);

struct FlatEntries {
  std::span<const uint8_t> bytes;
  std::span<const size_t> ends;
  size_t pointer_bytes;
  size_t Begin(size_t i) const { return i == 0 ? 0 : ends[i - 1]; }
  size_t Size(size_t i) const { return ends[i] - Begin(i); }
  std::span<const uint8_t> Key(size_t i) const { return bytes.subspan(Begin(i), Size(i) - pointer_bytes); }
  // As SharedPrefix: that of the first and last keys.
  size_t Prefix(size_t first, size_t last) const {
    if (last - first < 2) return 0;
    const auto a = Key(first), b = Key(last - 1);
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
  }
};

}  // namespace

size_t IndexEntryBytes(bool leaf, std::span<const uint8_t> bytes, std::span<const size_t> ends, size_t first,
                       size_t last) {
  const FlatEntries flat{bytes, ends, leaf ? kLeafPointerBytes : kNodePointerBytes};
  if (first >= last) return 0;
  const size_t total = ends[last - 1] - flat.Begin(first);
  if (last - first < 2 || total <= kIndexEntryCapacity) return total;
  return total - (last - first - 1) * flat.Prefix(first, last);
}

bool BuildIndexPageFrom(bool leaf, const IndexPageLinks& links, std::span<const uint8_t> bytes,
                        std::span<const size_t> ends, size_t first, size_t last, std::span<std::byte> image) {
  const FlatEntries flat{bytes, ends, leaf ? kLeafPointerBytes : kNodePointerBytes};
  if (image.size() != kIndexPageSize || first > last || last > ends.size()) return false;
  for (size_t i = first; i < last; ++i)
    if (flat.Size(i) < flat.pointer_bytes) return false;
  const size_t total = first == last ? 0 : ends[last - 1] - flat.Begin(first);
  const size_t prefix = total <= kIndexEntryCapacity ? 0 : flat.Prefix(first, last);
  if (total - (last - first < 2 ? 0 : (last - first - 1) * prefix) > kIndexEntryCapacity) return false;
  std::fill(image.begin(), image.end(), std::byte{0});
  image[0] = static_cast<std::byte>(leaf ? kIndexLeafPage : kIndexNodePage);
  image[1] = std::byte{0x01};
  PutLe32(image, kTdefOffset, links.tdef_page);
  PutLe32(image, kPrevOffset, links.prev_page);
  PutLe32(image, kNextOffset, links.next_page);
  PutLe32(image, kTailOffset, leaf ? 0 : links.tail_page);
  PutLe16(image, kPrefixOffset, static_cast<uint16_t>(prefix));
  size_t stored = 0;
  for (size_t i = first; i < last; ++i) {
    const size_t skip = i == first ? 0 : prefix;
    std::memcpy(image.data() + kIndexEntriesOffset + stored, bytes.data() + flat.Begin(i) + skip, flat.Size(i) - skip);
    stored += flat.Size(i) - skip;
    image[kIndexMaskOffset + stored / 8] |= static_cast<std::byte>(1u << (stored % 8));
  }
  PutLe16(image, kFreeSpaceOffset, static_cast<uint16_t>(kIndexEntryCapacity - stored));
  return true;
}

bool RelinkIndexPage(const IndexPageView& view, std::span<std::byte> image, std::optional<uint32_t> prev,
                     std::optional<uint32_t> next) {
  if (image.data() != view.image().data() || image.size() != kIndexPageSize) return false;
  // The stored prefix must be the one BuildIndexPage chooses.
  size_t canonical = 0;
  if (view.prefix() > 0) {
    const size_t count = view.Count();
    if (count >= 2 && view.data_end() + (count - 1) * view.prefix() > kIndexEntryCapacity) {
      auto first = view.First();
      auto last = view.Last();
      if (!first || !last) return false;
      canonical = CommonPrefix(*first, *last);
    }
  }
  if (canonical != view.prefix()) return false;
  if (prev) PutLe32(image, kPrevOffset, *prev);
  if (next) PutLe32(image, kNextOffset, *next);
  image[1] = std::byte{0x01};
  std::memset(image.data() + 0x08, 0, 4);
  if (view.leaf()) std::memset(image.data() + kTailOffset, 0, 4);
  image[kPrefixOffset + 2] = std::byte{0};
  std::memset(image.data() + kIndexEntriesOffset + view.data_end(), 0, kIndexEntryCapacity - view.data_end());
  PutLe16(image, kFreeSpaceOffset, static_cast<uint16_t>(kIndexEntryCapacity - view.data_end()));
  return true;
}

namespace {

// Byte i of an entry's key (i below key_size()).
uint8_t KeyByte(const IndexEntryRef& e, size_t i) {
  return static_cast<uint8_t>(i < e.head.size() ? e.head[i] : e.tail[i - e.head.size()]);
}
size_t CommonPrefix(const IndexEntryRef& a, std::span<const uint8_t> b) {
  const size_t limit = std::min(a.key_size(), b.size());
  size_t n = 0;
  while (n < limit && KeyByte(a, n) == b[n]) ++n;
  return n;
}
size_t CommonPrefix(const IndexEntryRef& a, const IndexEntryRef& b) {
  const size_t limit = std::min(a.key_size(), b.key_size());
  size_t n = 0;
  while (n < limit && KeyByte(a, n) == KeyByte(b, n)) ++n;
  return n;
}

}  // namespace

namespace {

// Writes the page anew into `out` with `prefix`: the view's entries with those
// stored in [start, end) replaced by `entry`, as BuildIndexPage lays them out.
// False when an entry does not share the prefix (entries out of order).
bool RewriteIndexPage(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> entry,
                      size_t prefix, std::span<std::byte> out) {
  const auto source = view.image();
  const std::byte* data = source.data() + kIndexEntriesOffset;
  std::fill(out.begin(), out.end(), std::byte{0});
  out[0] = source[0];
  out[1] = std::byte{0x01};
  std::memcpy(out.data() + kTdefOffset, source.data() + kTdefOffset, 4);
  std::memcpy(out.data() + kPrevOffset, source.data() + kPrevOffset, 8);  // previous and next page
  if (!view.leaf()) std::memcpy(out.data() + kTailOffset, source.data() + kTailOffset, 4);
  PutLe16(out, kPrefixOffset, static_cast<uint16_t>(prefix));
  std::byte* to = out.data() + kIndexEntriesOffset;
  const std::byte* first = nullptr;  // the first entry written, whole
  size_t stored = 0;
  // One entry given as up to two pieces of its whole bytes.
  auto put = [&](std::span<const std::byte> a, std::span<const std::byte> b) {
    const size_t size = a.size() + b.size();
    const size_t skip = first ? prefix : 0;
    if (size < skip || stored + size - skip > kIndexEntryCapacity) return false;
    const std::byte* begin = to + stored;
    // Bytes [skip, size) of a ‖ b, in at most two pieces.
    if (skip < a.size()) {
      std::memcpy(to + stored, a.data() + skip, a.size() - skip);
      stored += a.size() - skip;
    }
    const size_t b_from = std::max(skip, a.size()) - a.size();
    if (b_from < b.size()) {
      std::memcpy(to + stored, b.data() + b_from, b.size() - b_from);
      stored += b.size() - b_from;
    }
    if (first) {
      // The bytes left out must be the first entry's.
      const size_t in_a = std::min(skip, a.size());
      if (in_a > 0 && std::memcmp(a.data(), first, in_a) != 0) return false;
      if (skip > in_a && std::memcmp(b.data(), first + in_a, skip - in_a) != 0) return false;
    } else {
      first = begin;
      if (size < prefix) return false;
    }
    out[kIndexMaskOffset + stored / 8] |= static_cast<std::byte>(1u << (stored % 8));
    return true;
  };
  const std::span<const std::byte> new_entry(reinterpret_cast<const std::byte*>(entry.data()), entry.size());
  const size_t old_prefix = view.prefix();
  const size_t pointer_bytes = view.leaf() ? kLeafPointerBytes : kNodePointerBytes;
  size_t at = 0;
  bool placed = false;
  while (at < view.data_end() || !placed) {
    if (!placed && at == start) {
      if (!put(new_entry, {})) return false;
      placed = true;
      at = end;
      continue;
    }
    // Entries are taken as their bytes only (no EntryAt): a page is rewritten often.
    const size_t e_end = view.EndOf(at);
    const std::span<const std::byte> shared(data, at == 0 ? 0 : old_prefix);
    if (shared.size() + (e_end - at) < pointer_bytes) return false;  // shorter than its row pointer
    if (!put(shared, std::span<const std::byte>(data + at, e_end - at))) return false;
    at = e_end;
  }
  PutLe16(out, kFreeSpaceOffset, static_cast<uint16_t>(kIndexEntryCapacity - stored));
  return true;
}

}  // namespace

namespace {

// How a splice that fits is made: the page written anew with `new_prefix`,
// or the entries moved where they lie.
struct SpliceFit {
  size_t new_prefix = 0;
  bool rewrite = false;
};

// Whether the splice fits the page, and how it is made.
std::optional<SpliceFit> FitSplice(const IndexPageView& view, size_t start, size_t end,
                                   std::span<const uint8_t> entry) {
  const bool leaf = view.leaf();
  const size_t pointer_bytes = leaf ? kLeafPointerBytes : kNodePointerBytes;
  const size_t data_end = view.data_end();
  if (entry.size() < pointer_bytes || start > end || end > data_end) return std::nullopt;
  const size_t prefix = view.prefix();

  // The page's entries in whole bytes, as BuildIndexPage counts them, before
  // and after. Entries are counted only where a shared prefix makes it matter.
  size_t removed = 0;
  for (size_t at = start; at < end; ++removed) {
    auto e = view.EntryAt(at);
    if (!e) return std::nullopt;
    at = e->end;
  }
  size_t count = 0;
  bool counted = false;
  auto entries = [&] {
    if (!counted) count = view.Count(), counted = true;
    return count;
  };
  // Whether the entries, whole, would overflow the page (a shared prefix is
  // then stored). An insert into a page that stores one need not count its
  // entries: enough of them to overflow is all it must know.
  bool overflows;
  size_t new_uncompressed = 0;
  bool exact = true;  // new_uncompressed known
  if (prefix > 0 && data_end > 0 && start == end) {
    const size_t room = kIndexEntryCapacity - std::min(kIndexEntryCapacity, data_end + entry.size());
    // Whole, the entries take data_end + (count - 1) * prefix bytes.
    overflows = data_end + entry.size() > kIndexEntryCapacity || view.CountAtLeast(room / prefix + 2);
    exact = false;
  } else {
    const size_t uncompressed = prefix == 0 || data_end == 0 ? data_end : data_end + (entries() - 1) * prefix;
    const size_t removed_whole = removed == 0 ? 0 : removed - (start == 0 ? 1 : 0);  // stored without the prefix
    new_uncompressed = uncompressed - (end - start) - removed_whole * prefix + entry.size();
    overflows = new_uncompressed > kIndexEntryCapacity;
  }

  // The prefix BuildIndexPage would store: none while everything fits
  // without, else that of the first and last keys.
  size_t new_prefix = 0;
  size_t new_count = 0;
  if (overflows) {
    new_count = exact ? entries() - removed + 1 : 2;  // an insert into a page with entries: at least two
    if (new_count >= 2) {
      const auto key = entry.first(entry.size() - pointer_bytes);
      const bool new_first = start == 0, new_last = end == data_end;
      if (new_first && new_last) return std::nullopt;  // one entry replacing all, yet two entries: a damaged mask
      if (new_first) {
        auto last = view.Last();
        if (!last) return std::nullopt;
        new_prefix = CommonPrefix(*last, key);
      } else if (new_last) {
        auto first = view.First();
        if (!first) return std::nullopt;
        new_prefix = CommonPrefix(*first, key);
      } else {
        auto first = view.First();
        auto last = view.Last();
        if (!first || !last) return std::nullopt;
        new_prefix = CommonPrefix(*first, *last);
      }
    }
  }
  size_t new_stored;
  if (!exact && (new_prefix == prefix || !overflows)) {
    // Kept, every entry but the first still leaves the prefix out; a page
    // that no longer overflows stores every entry whole, and fits.
    new_stored = overflows ? data_end + entry.size() - prefix : 0;
  } else {
    if (!exact) {
      new_count = entries() + 1;
      new_uncompressed = data_end + (new_count - 2) * prefix + entry.size();
    }
    new_stored = new_uncompressed - (new_count >= 2 ? (new_count - 1) * new_prefix : 0);
  }
  if (new_stored > kIndexEntryCapacity) return std::nullopt;  // the page splits

  const std::byte* data = view.image().data() + kIndexEntriesOffset;
  const size_t skip = start == 0 ? 0 : prefix;
  // Unless the stored bytes of the entries after it stay as they are, the page is written anew.
  const bool rewrite = new_prefix != prefix || (prefix > 0 && start == 0) ||
                       (skip > 0 && std::memcmp(entry.data(), data, skip) != 0);
  return SpliceFit{new_prefix, rewrite};
}

// Where the entry data the in-place splice moves or writes ends (it begins at start).
size_t SplicedDataEnd(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> entry) {
  const size_t stored = entry.size() - (start == 0 ? 0 : view.prefix());
  return std::max(view.data_end(), view.data_end() - (end - start) + stored);
}

bool AllZero(const std::byte* bytes, size_t n) {
  static constexpr std::byte kZeros[kIndexEntryCapacity] = {};
  return n == 0 || std::memcmp(bytes, kZeros, n) == 0;
}

// The entry mask after the entries ending in (start, end] gave way to one
// ending at `p`, those after moving with it: bits up to `start` stay, those
// to `p` clear, `p` set, and above it the old bits from `end` on, shifted.
// Only the mask bytes from bit start + 1 to the highest bit that changes
// (`top`) are written.
void SpliceMask(std::byte* mask, size_t start, size_t end, size_t p, size_t top) {
  // Word i of the old mask, zeros outside it. The page goes on after the
  // mask (entry data), so eight bytes can always be loaded.
  auto word = [&](std::ptrdiff_t i) -> uint64_t {
    if (i < 0 || i >= static_cast<std::ptrdiff_t>(kMaskWords)) return 0;
    uint64_t w;
    std::memcpy(&w, mask + i * 8, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    if (static_cast<size_t>(i) == kMaskWords - 1) w &= (uint64_t{1} << (8 * (kMaskBytes % 8))) - 1;
    return w;
  };
  const auto delta = static_cast<std::ptrdiff_t>(p) - static_cast<std::ptrdiff_t>(end);
  const size_t first = (start + 1) / 64, last = top / 64;
  uint64_t out[kMaskWords];
  // Every word of the range as the old bits from delta below it: one shift
  // across neighbouring words, the same for all of them.
  const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(first * 64) - delta;
  std::ptrdiff_t k = from >= 0 ? from / 64 : (from - 63) / 64;
  const auto r = static_cast<unsigned>(from - k * 64);
  uint64_t low_word = word(k);
  for (size_t w = first; w <= last; ++w) {
    const uint64_t high_word = word(++k);
    out[w] = r == 0 ? low_word : low_word >> r | high_word << (64 - r);
    low_word = high_word;
  }
  // The words holding bits start + 1 to p: bits up to start stay, those to p
  // clear, p set.
  for (size_t w = first; w <= p / 64 && w <= last; ++w) {
    const size_t low = w * 64;
    const uint64_t keep = start + 1 <= low ? 0 : start + 1 - low >= 64 ? ~uint64_t{0} : (uint64_t{1} << (start + 1 - low)) - 1;
    const uint64_t above = p < low ? ~uint64_t{0} : p - low >= 63 ? 0 : ~((uint64_t{2} << (p - low)) - 1);
    out[w] = (word(static_cast<std::ptrdiff_t>(w)) & keep) | (out[w] & above);
    if (p / 64 == w) out[w] |= uint64_t{1} << (p % 64);
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t w = first; w <= last; ++w) out[w] = __builtin_bswap64(out[w]);
  }
  const size_t from_byte = (start + 1) / 8, to = top / 8 + 1;
  std::memcpy(mask + from_byte, reinterpret_cast<const std::byte*>(out) + from_byte, to - from_byte);
}

}  // namespace

bool PlanIndexSplice(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> entry,
                     IndexSpliceBytes* bytes) {
  auto fit = FitSplice(view, start, end, entry);
  if (!fit) return false;
  *bytes = IndexSpliceBytes{};
  bytes->new_prefix = fit->new_prefix;
  bytes->rewrite = fit->rewrite;
  if (fit->rewrite) return true;
  const size_t top = SplicedDataEnd(view, start, end, entry);
  const std::byte* data = view.image().data() + kIndexEntriesOffset;
  // Bytes after the entries that BuildIndexPage would clear (a page Access left so): any may change.
  bytes->junk_after = !AllZero(data + top, kIndexEntryCapacity - top);
  if (bytes->junk_after) return true;
  bytes->whole = false;
  bytes->mask_from = kIndexMaskOffset + (start + 1) / 8;
  bytes->mask_to = kIndexMaskOffset + top / 8 + 1;
  bytes->data_from = kIndexEntriesOffset + start;
  bytes->data_to = kIndexEntriesOffset + top;
  return true;
}

bool WriteIndexSplice(const IndexPageView& view, std::span<std::byte> image, size_t start, size_t end,
                      std::span<const uint8_t> entry, const IndexSpliceBytes& plan) {
  if (image.data() != view.image().data() || image.size() != kIndexPageSize) return false;
  if (plan.rewrite) {
    // Every entry's stored bytes change: the page is written anew.
    std::byte rewritten[kIndexPageSize];
    if (!RewriteIndexPage(view, start, end, entry, plan.new_prefix, rewritten)) return false;
    std::memcpy(image.data(), rewritten, kIndexPageSize);
    return true;
  }

  const size_t data_end = view.data_end();
  const size_t stored = entry.size() - (start == 0 ? 0 : view.prefix());
  const size_t new_end = data_end - (end - start) + stored;
  const size_t top = std::max(data_end, new_end);
  std::byte* out = image.data() + kIndexEntriesOffset;
  std::memmove(out + start + stored, out + end, data_end - end);
  std::memcpy(out + start, entry.data() + (entry.size() - stored), stored);
  // As BuildIndexPage writes a page: nothing after the entries, and the fixed fields.
  if (new_end < top) std::memset(out + new_end, 0, top - new_end);
  if (plan.junk_after) std::memset(out + top, 0, kIndexEntryCapacity - top);
  image[1] = std::byte{0x01};
  std::memset(image.data() + 0x08, 0, 4);
  if (view.leaf()) std::memset(image.data() + kTailOffset, 0, 4);
  image[kPrefixOffset + 2] = std::byte{0};
  SpliceMask(image.data() + kIndexMaskOffset, start, end, start + stored, top);
  PutLe16(image, kFreeSpaceOffset, static_cast<uint16_t>(kIndexEntryCapacity - new_end));
  return true;
}

bool SpliceIndexEntry(const IndexPageView& view, std::span<std::byte> image, size_t start, size_t end,
                      std::span<const uint8_t> entry) {
  if (image.empty()) return FitSplice(view, start, end, entry).has_value();
  if (image.data() != view.image().data() || image.size() != kIndexPageSize) return false;
  IndexSpliceBytes plan;
  if (!PlanIndexSplice(view, start, end, entry, &plan)) return false;
  return WriteIndexSplice(view, image, start, end, entry, plan);
}

}  // namespace jet::format
