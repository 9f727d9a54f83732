#pragma once
// Index pages (docs/access-format.md §9.1-9.2), Jet 4 / ACE, 4096-byte pages.
//
//   0x00  1    0x04 leaf / 0x03 node       0x14  4    tail child (nodes; 0 on leaves)
//   0x01  1    0x01                        0x18  2    shared prefix length P
//   0x02  2    free space = 3616 - data    0x1A  1    0
//   0x04  4    TDEF page of the table      0x1B  453  entry mask: bit p set where an
//   0x08  4    0                                      entry ends, p counting stored bytes
//   0x0C  4    previous page at this level 0x1E0 ...  entry data, back to back
//   0x10  4    next page at this level
//
// Leaf entry: key ‖ data page (3 bytes, big-endian) ‖ data row (1 byte).
// Node entry: the largest entry of the child's subtree (key ‖ page ‖ row) ‖
// child page (4 bytes, big-endian). A node with several children keeps the
// last one in the tail field instead of an entry. Every entry after the first
// omits the P bytes it shares with the first; as Access does, P is 0 unless
// the entries would not fit without it.
//
// Entries sort by key bytes (unsigned, shorter first on a common prefix), then
// by data page and row.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/jet/format/index_key.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr uint8_t kIndexNodePage = 0x03;
inline constexpr uint8_t kIndexLeafPage = 0x04;
inline constexpr size_t kIndexPageSize = 4096;
inline constexpr size_t kIndexMaskOffset = 0x1B;
inline constexpr size_t kIndexEntriesOffset = 0x1E0;
inline constexpr size_t kIndexEntryCapacity = kIndexPageSize - kIndexEntriesOffset;  // 3616 bytes

struct IndexEntry {
  IndexKey key;
  uint32_t data_page = 0;  // the row this entry stands for (for node entries: the subtree's largest)
  uint8_t data_row = 0;
  uint32_t child = 0;  // node entries only

  // Order of entries: key bytes, then data page, then row (`child` not compared).
  bool operator<(const IndexEntry& other) const;
  bool SameRow(const IndexEntry& other) const {
    return key == other.key && data_page == other.data_page && data_row == other.data_row;
  }
};

// Compares key bytes as Access orders them; <0, 0 or >0.
int CompareKeys(const IndexKey& a, const IndexKey& b);

struct IndexPage {
  bool leaf = true;
  uint32_t tdef_page = 0;
  uint32_t prev_page = 0;
  uint32_t next_page = 0;
  uint32_t tail_page = 0;  // nodes only
  std::vector<IndexEntry> entries;
};

// Reads an index page image; `page` names it in a Corruption message.
// (Materialises every entry: for `check`, splits and the rarer changes. The
// searches every INSERT makes read the page in place, IndexPageView.)
Result<IndexPage> ParseIndexPage(std::span<const std::byte> image, uint32_t page);

// Bytes the entries occupy on a page, after prefix compression (if any).
size_t IndexEntryBytes(const IndexPage& page);
// The same for a page that would hold `entries` (sorted).
size_t IndexEntryBytes(std::span<const IndexEntry> entries, bool leaf);
bool FitsOnIndexPage(const IndexPage& page);

// Writes the whole page image (every byte). Requires FitsOnIndexPage(page).
void BuildIndexPage(const IndexPage& page, std::span<std::byte> image);

// What a search looks for: an entry's key, data page and row.
struct IndexProbe {
  std::span<const uint8_t> key;
  uint32_t data_page = 0;
  uint8_t data_row = 0;
};

// One entry of a page, read where it lies. Its key is head ‖ tail: head is
// the part of the page's shared prefix the key takes (from the first entry),
// tail the rest of its stored bytes. `start` and `end` delimit its stored
// bytes in the entry data.
struct IndexEntryRef {
  size_t start = 0, end = 0;
  std::span<const std::byte> head, tail;
  uint32_t data_page = 0;
  uint8_t data_row = 0;
  uint32_t child = 0;  // node entries only

  size_t key_size() const { return head.size() + tail.size(); }
  // This entry's key against `key`, as CompareKeys orders them: <0, 0 or >0.
  int CompareKey(std::span<const uint8_t> key) const;
  // This entry against `probe`, as IndexEntry::operator< orders them.
  int Compare(const IndexProbe& probe) const;
  bool SameRow(const IndexProbe& probe) const {
    return data_page == probe.data_page && data_row == probe.data_row && CompareKey(probe.key) == 0;
  }
  IndexEntry ToEntry() const;
};

// An index page read in place, without materialising its entries: lookups
// bisect the entry data through the entry mask. Entries are named by where
// their stored bytes start (0 for the first); data_end() is past the last.
// The view reads the image it was opened on, which must stay unchanged while
// the view is used.
class IndexPageView {
 public:
  IndexPageView() = default;  // an empty leaf that reads nothing
  // Checks the page type, the extent of the mask and the shared prefix; each
  // entry is checked as it is read. `page` names the page in a Corruption.
  static Result<IndexPageView> Open(std::span<const std::byte> image, uint32_t page);

  bool leaf() const { return leaf_; }
  uint32_t tdef_page() const;
  uint32_t prev_page() const;
  uint32_t next_page() const;
  uint32_t tail_page() const;  // 0 on leaves
  size_t prefix() const { return prefix_; }
  size_t data_end() const { return end_; }
  bool empty() const { return end_ == 0; }
  size_t Count() const;
  bool CountAtLeast(size_t n) const;  // Count() >= n, counting no further than it must
  std::span<const std::byte> image() const { return image_; }

  // The entry whose stored bytes begin at `start` (below data_end()).
  Result<IndexEntryRef> EntryAt(size_t start) const;
  Result<IndexEntryRef> First() const { return EntryAt(0); }
  Result<IndexEntryRef> Last() const { return EntryAt(StartOf(end_ - 1)); }
  // The entry that ends where the one at `start` begins (start > 0).
  Result<IndexEntryRef> Before(size_t start) const { return EntryAt(StartOf(start - 1)); }
  // Where the entry at `start` (below data_end()) ends, without reading it.
  size_t EndOf(size_t start) const { return NextEnd(start); }
  // Where the first entry not below `probe` begins; data_end() when every
  // entry is below it.
  Result<size_t> LowerBound(const IndexProbe& probe) const;

 private:
  IndexPageView(std::span<const std::byte> image, uint32_t page) : image_(image), page_(page) {}
  uint64_t MaskWord(size_t byte) const;
  size_t NextEnd(size_t pos) const;  // the first entry end above `pos` (pos < data_end())
  size_t StartOf(size_t pos) const;  // where the entry holding stored byte `pos` begins
  Result<IndexEntryRef> Ref(size_t start, size_t end) const;

  std::span<const std::byte> image_;
  uint32_t page_ = 0;
  bool leaf_ = true;
  size_t prefix_ = 0;
  size_t end_ = 0;
};

// Replaces the entries whose stored bytes are [start, end) of the page (whole
// entries; none when start == end) with one entry whose whole stored form,
// before prefix compression, is `entry` (key ‖ page ‖ row, ‖ child on nodes).
// Done in place when the page keeps its shared prefix and its entries still
// fit; the image is then byte for byte what BuildIndexPage writes for the
// changed entries. Otherwise nothing is written and the answer is false: the
// caller rebuilds or splits the page. `image` is the writable page `view`
// reads; with an empty `image` the call only answers.
bool SpliceIndexEntry(const IndexPageView& view, std::span<std::byte> image, size_t start, size_t end,
                      std::span<const uint8_t> entry);

// The bytes of the image that SpliceIndexEntry changes for the same
// arguments: when not `whole`, the fixed fields before the entry mask and the
// ranges [from, to) of the mask and of the entry data given here, nothing
// else; `whole` when any byte may change (the page is written anew, or bytes
// past its entries are cleared). False, as SpliceIndexEntry answers, when the
// entry does not fit.
struct IndexSpliceBytes {
  bool whole = true;
  size_t mask_from = 0, mask_to = 0;
  size_t data_from = 0, data_to = 0;
  // How the splice is made, for WriteIndexSplice.
  bool rewrite = false;     // the page written anew, with this prefix
  size_t new_prefix = 0;
  bool junk_after = false;  // bytes past the entries to clear
};
bool PlanIndexSplice(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> entry,
                     IndexSpliceBytes* bytes);
// Makes the splice PlanIndexSplice planned for the same arguments (what
// SpliceIndexEntry does, without deciding again).
bool WriteIndexSplice(const IndexPageView& view, std::span<std::byte> image, size_t start, size_t end,
                      std::span<const uint8_t> entry, const IndexSpliceBytes& plan);

// The whole stored forms of a page's entries, one after another, appended to
// `bytes` (`ends` gets where each ends there), with the entries stored in
// [start, end) replaced by those of `replacement` (given the same way; none
// replaced when start == end, which puts them before the entry at start).
// Entries given whole are those BuildIndexPageFrom takes.
Status AppendWholeEntries(const IndexPageView& view, size_t start, size_t end, std::span<const uint8_t> replacement,
                          std::span<const size_t> replacement_ends, std::vector<uint8_t>* bytes,
                          std::vector<size_t>* ends);

// The whole stored forms of a leaf's entries with the `added` ones (sorted as
// entries sort) merged in among them, appended to `bytes` as for
// AppendWholeEntries; `added_at` gets where each added entry lies in `ends`.
// An added entry the page holds already is kAlreadyExists.
Status MergeWholeEntries(const IndexPageView& view, std::span<const IndexProbe> added, std::vector<uint8_t>* bytes,
                         std::vector<size_t>* ends, std::vector<size_t>* added_at);

// The fixed fields of a page written anew.
struct IndexPageLinks {
  uint32_t tdef_page = 0;
  uint32_t prev_page = 0;
  uint32_t next_page = 0;
  uint32_t tail_page = 0;  // nodes only
};

// What BuildIndexPage writes for the entries [first, last) of a list in whole
// stored form (entry i is bytes [ends[i-1], ends[i]), sorted): the whole image,
// false (nothing written) when they do not fit.
bool BuildIndexPageFrom(bool leaf, const IndexPageLinks& links, std::span<const uint8_t> bytes,
                        std::span<const size_t> ends, size_t first, size_t last, std::span<std::byte> image);
// What IndexEntryBytes counts for those entries.
size_t IndexEntryBytes(bool leaf, std::span<const uint8_t> bytes, std::span<const size_t> ends, size_t first,
                       size_t last);

// Sets a page's previous or next link where it lies; the rest of the image
// becomes what BuildIndexPage writes for its entries (as SpliceIndexEntry
// leaves it). False, and nothing written, when the page's shared prefix is
// not the one BuildIndexPage would store: the caller rebuilds it.
bool RelinkIndexPage(const IndexPageView& view, std::span<std::byte> image, std::optional<uint32_t> prev,
                     std::optional<uint32_t> next);

// An entry's whole stored form (before prefix compression) into `out`.
void EncodeIndexEntry(std::span<const uint8_t> key, uint32_t data_page, uint8_t data_row, bool leaf, uint32_t child,
                      std::vector<uint8_t>* out);

}  // namespace jet::format
