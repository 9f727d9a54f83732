#include "platform/jet/table/index_build.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/index_page.h"
#include "platform/jet/table/key_columns.h"
#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {
namespace {

constexpr size_t kLeafEntryExtra = 4;  // data page and row
constexpr size_t kNodeEntryExtra = 8;  // data page and row, child page
constexpr size_t kPrefetchAhead = 16;  // keys asked for ahead of copying them into leaves

// The key columns of `index` over `table`'s columns, with where each value stands in a row.
Status KeyColumns(PageStore& store, const Table& table, const format::RealIndex& index,
                  std::vector<format::KeyColumn>* keys, std::vector<size_t>* positions) {
  const auto& columns = table.columns();
  for (const auto& ic : index.columns) {
    size_t at = 0;
    while (at < columns.size() && columns[at].number != ic.column_number) ++at;
    if (at == columns.size())
      return MakeError(ErrorCode::kCorruption, "an index names a column the table does not have");
    const auto& c = columns[at];
    if (!format::IndexKeySupported(c.type()))
      return MakeError(ErrorCode::kNotSupported, "the column " + c.name + " cannot be indexed");
    JET_ASSIGN_OR_RETURN(k, KeyColumnOf(store, c, ic.ascending));
    keys->push_back(k);
    positions->push_back(at);
  }
  return {};
}

// One row's entry: its key's bytes in the arena all keys share, and the row
// as the entry stores it (data page in the top three bytes, row in the
// lowest), so that entries order as key, then that number. `head` holds the
// key's bytes [shared, shared + 12) big-endian, zero beyond the key, where
// `shared` is the prefix every key has in common: most comparisons end there
// (12 bytes are 6 characters of a text key), without reading the arena.
// 24 bytes: a million of them are most of what a build holds.
struct Record {
  Record() = default;
  Record(uint64_t at, uint32_t stored_row, uint16_t key_size, bool null)
      : row(stored_row), offset_low(static_cast<uint32_t>(at)), size(key_size),
        offset_high(static_cast<uint8_t>(at >> 32)), all_null(null) {}
  uint64_t offset() const { return (uint64_t{offset_high} << 32) | offset_low; }

  uint64_t head = 0;       // the head's first 8 bytes
  uint32_t head_rest = 0;  // the head's last 4 bytes
  uint32_t row = 0;
  uint32_t offset_low = 0;  // the arena offset: 40 bits
  uint16_t size = 0;
  uint8_t offset_high = 0;
  bool all_null = false;  // never a duplicate
};
static_assert(sizeof(Record) == 24);

class Keys {
 public:
  static constexpr size_t kHeadBytes = 12;
  static constexpr uint64_t kMaxArenaBytes = uint64_t{1} << 40;
  static constexpr size_t kParallelSortRecords = size_t{1} << 16;
  static constexpr size_t kSortSample = 255;  // records whose median splits the sort

  // Adds the key just encoded into `key`; false when it is too long to be stored.
  bool Add(const format::IndexKey& key, format::RowPointer at, bool all_null) {
    if (key.size() > UINT16_MAX || bytes_.size() >= kMaxArenaBytes) return false;
    records_.emplace_back(bytes_.size(), (at.page << 8) | at.row, static_cast<uint16_t>(key.size()), all_null);
    bytes_.insert(bytes_.end(), key.begin(), key.end());
    return true;
  }

  // Sorts the entries as IndexEntry orders them.
  void Sort() {
    shared_ = SharedPrefix();
    for (auto& r : records_) {
      const uint8_t* key = bytes_.data() + r.offset();
      auto byte = [&](size_t i) -> uint64_t { return shared_ + i < r.size ? key[shared_ + i] : 0; };
      for (size_t i = 0; i < 8; ++i) r.head = (r.head << 8) | byte(i);
      for (size_t i = 8; i < kHeadBytes; ++i) r.head_rest = static_cast<uint32_t>((r.head_rest << 8) | byte(i));
    }
    // Equal heads leave equal bytes up to the shorter key or past the head.
    auto less = [this](const Record& a, const Record& b) {
      if (a.head != b.head) return a.head < b.head;
      if (a.head_rest != b.head_rest) return a.head_rest < b.head_rest;
      if (int c = CompareRest(a, b); c != 0) return c < 0;
      return a.row < b.row;
    };
    // Keys often arrive in order (an ascending key inserted as it grew).
    if (std::is_sorted(records_.begin(), records_.end(), less)) return;
    // A large index is split around a sampled median and sorts its two parts
    // on two threads (no merge, so no second copy of the records): the build
    // is all the statement does, and a second core is usually idle.
    std::thread first;
    auto middle = records_.begin();
    if (records_.size() >= kParallelSortRecords) {
      std::vector<Record> sample;
      for (size_t i = 0; i < records_.size(); i += records_.size() / kSortSample) sample.push_back(records_[i]);
      std::nth_element(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2), sample.end(), less);
      const Record pivot = sample[sample.size() / 2];
      middle = std::partition(records_.begin(), records_.end(), [&](const Record& r) { return less(r, pivot); });
      try {
        first = std::thread([&] { std::sort(records_.begin(), middle, less); });
      } catch (const std::system_error&) {
        // No thread to be had: one sort does it all.
      }
    }
    if (!first.joinable()) {
      std::sort(records_.begin(), records_.end(), less);
      return;
    }
    std::sort(middle, records_.end(), less);
    first.join();
  }

  bool SameKey(const Record& a, const Record& b) const {
    return a.head == b.head && a.head_rest == b.head_rest && a.size == b.size && CompareRest(a, b) == 0;
  }

  const std::vector<Record>& records() const { return records_; }
  const uint8_t* key(const Record& r) const { return bytes_.data() + r.offset(); }
  void Reserve(size_t rows) { records_.reserve(rows); }

 private:
  size_t SharedPrefix() const {
    if (records_.empty()) return 0;
    const Record& first = records_.front();
    size_t shared = first.size;
    for (const auto& r : records_) {
      shared = std::min<size_t>(shared, r.size);
      size_t n = 0;
      while (n < shared && bytes_[r.offset() + n] == bytes_[first.offset() + n]) ++n;
      shared = n;
      if (shared == 0) break;
    }
    return shared;
  }

  // Keys with equal heads compared from past the head: <0, 0 or >0 as CompareKeys.
  int CompareRest(const Record& a, const Record& b) const {
    const size_t from = shared_ + kHeadBytes;
    const size_t n = std::min(a.size, b.size);
    if (n > from) {
      if (int c = std::memcmp(bytes_.data() + a.offset() + from, bytes_.data() + b.offset() + from, n - from); c != 0)
        return c;
    }
    return a.size == b.size ? 0 : a.size < b.size ? -1 : 1;
  }

  std::vector<Record> records_;
  std::vector<uint8_t> bytes_;
  size_t shared_ = 0;
};

// One level of the tree: entry e stands for record items[e] (the leaves:
// every record, `items` empty), page p holds entries [ends[p-1], ends[p])
// and is written at numbers[p]. A node entry points to page e of the level below.
struct Level {
  std::vector<size_t> items;
  std::vector<size_t> ends;
  std::vector<uint32_t> numbers;
  size_t Begin(size_t p) const { return p == 0 ? 0 : ends[p - 1]; }
};

// Splits `count` entries into pages from the left, each as full as the page
// allows before prefix compression, as Access fills them.
template <typename SizeOf>
void Pack(Level* level, size_t count, size_t extra, const SizeOf& key_size) {
  size_t bytes = 0, on_page = 0;
  for (size_t e = 0; e < count; ++e) {
    const size_t size = key_size(e) + extra;
    if (on_page > 0 && bytes + size > format::kIndexEntryCapacity) {
      level->ends.push_back(e);
      bytes = on_page = 0;
    }
    bytes += size;
    ++on_page;
  }
  level->ends.push_back(count);
}

}  // namespace

Result<uint32_t> BuildIndex(PageStore& store, PageAllocator& pages, const Table& table,
                            const format::RealIndex& index) {
  std::vector<format::KeyColumn> columns;
  std::vector<size_t> positions;
  JET_TRY(KeyColumns(store, table, index, &columns, &positions));

  Keys keys;
  // The count the definition keeps, unless it claims more rows than the file can hold.
  keys.Reserve(std::min<size_t>(table.definition().row_count, size_t{store.PageCount()} * format::kMaxRowsPerPage));
  bool too_long = false;
  format::IndexKey key;
  auto cursor = table.Scan(positions);
  for (; cursor.Valid(); cursor.Next()) {
    const auto& row = cursor.row();  // the key columns only
    bool all_null = true, any_null = false;
    for (size_t i = 0; i < columns.size(); ++i) {
      columns[i].value = &row[i];
      const bool null = IsNull(row[i]);
      all_null = all_null && null;
      any_null = any_null || null;
    }
    if ((index.flags & format::kIndexRequired) && any_null)
      return MakeError(ErrorCode::kInvalidValue, kNullInKeyMessage);
    if ((index.flags & format::kIndexIgnoreNulls) && all_null) continue;
    key.clear();
    for (const auto& c : columns) JET_TRY(format::AppendKeyColumn(c, &key));
    if (!keys.Add(key, cursor.position(), all_null)) too_long = true;
  }
  if (!cursor.status()) return cursor.status().error();
  keys.Sort();
  const auto& records = keys.records();
  uint32_t distinct = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const bool same = i > 0 && keys.SameKey(records[i], records[i - 1]);
    if (!same) ++distinct;
    if (same && (index.flags & format::kIndexUnique) && !records[i].all_null)
      return MakeError(ErrorCode::kInvalidValue, kDuplicateKeyMessage);
  }
  // A key no page can hold is refused after the duplicates, as writing the page refuses it.
  if (too_long) return MakeError(ErrorCode::kInvalidValue, "an index key is too long for an index page");

  // The shape first, leaves up: each level's pages get their numbers before
  // the level above is packed, the top page is the root at the page the
  // definition names. A node entry is the largest entry of its child.
  std::vector<Level> levels(1);
  Pack(&levels[0], records.size(), kLeafEntryExtra, [&](size_t e) { return records[e].size; });
  while (levels.back().ends.size() > 1) {
    Level& below = levels.back();
    Level above;
    for (size_t p = 0; p < below.ends.size(); ++p) {
      JET_ASSIGN_OR_RETURN(number, pages.Allocate());
      JET_TRY(SetMapPage(store, pages, index.usage_map, number, true));
      below.numbers.push_back(number);
      const size_t last = below.ends[p] - 1;
      above.items.push_back(below.items.empty() ? last : below.items[last]);
    }
    Pack(&above, above.items.size(), kNodeEntryExtra, [&](size_t e) { return records[above.items[e]].size; });
    levels.push_back(std::move(above));
  }
  levels.back().numbers = {index.root_page};

  // Then the pages, in whole stored form. A node keeps its last child in its
  // tail, unless it has only one; leaves link across the whole level, nodes
  // only among siblings.
  std::vector<uint8_t> bytes;
  std::vector<size_t> ends;
  for (size_t l = 0; l < levels.size(); ++l) {
    const Level& level = levels[l];
    const bool leaf = l == 0;
    const Level* above = l + 1 < levels.size() ? &levels[l + 1] : nullptr;
    size_t parent = 0;  // the page of `above` holding this page's entry
    for (size_t p = 0; p < level.ends.size(); ++p) {
      size_t first = level.Begin(p), last = level.ends[p];
      format::IndexPageLinks links;
      links.tdef_page = table.tdef_page();
      if (!leaf && last - first > 1) links.tail_page = levels[l - 1].numbers[--last];
      if (above) {
        while (above->ends[parent] <= p) ++parent;
        const bool first_child = above->Begin(parent) == p, last_child = above->ends[parent] == p + 1;
        if (p > 0 && (leaf || !first_child)) links.prev_page = level.numbers[p - 1];
        if (p + 1 < level.ends.size() && (leaf || !last_child)) links.next_page = level.numbers[p + 1];
      }
      bytes.clear();
      ends.clear();
      for (size_t e = first; e < last; ++e) {
        // The records are in key order, their keys in row order: ask for keys ahead.
        if (leaf && e + kPrefetchAhead < records.size()) __builtin_prefetch(keys.key(records[e + kPrefetchAhead]));
        const Record& r = records[leaf ? e : level.items[e]];
        bytes.insert(bytes.end(), keys.key(r), keys.key(r) + r.size);
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(r.row >> shift));
        if (!leaf)
          for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<uint8_t>(levels[l - 1].numbers[e] >> shift));
        ends.push_back(bytes.size());
      }
      JET_ASSIGN_OR_RETURN(image, store.Write(level.numbers[p]));
      if (!format::BuildIndexPageFrom(leaf, links, bytes, ends, 0, ends.size(), image))
        return MakeError(ErrorCode::kInvalidValue, "an index key is too long for an index page");
    }
  }
  return distinct;
}

}  // namespace jet::table
