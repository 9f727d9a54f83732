#include "platform/jet/table/pending_entries.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace jet::table {

uint64_t HashKey(std::span<const uint8_t> key) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

void PendingEntries::Add(std::span<const uint8_t> key, uint64_t hash, uint32_t data_page, uint8_t data_row) {
  entries_.push_back(Entry{hash, static_cast<uint32_t>(keys_.size()), static_cast<uint32_t>(key.size()), data_page,
                           data_row});
  keys_.insert(keys_.end(), key.begin(), key.end());
}

void PendingEntries::Place(uint32_t entry) {
  const size_t mask = table_.size() - 1;
  size_t slot = entries_[entry].hash & mask;
  while (table_[slot] != 0) slot = (slot + 1) & mask;
  table_[slot] = entry + 1;
}

void PendingEntries::Grow(size_t entries) {
  table_.assign(std::max<size_t>(1024, std::bit_ceil(4 * entries)), 0);
  for (uint32_t e = 0; e < placed_; ++e) Place(e);  // in the order they came
}

bool PendingEntries::Holds(std::span<const uint8_t> key, uint64_t hash) {
  if (!exact_) return false;
  if (placed_ < entries_.size()) {
    if (2 * entries_.size() > table_.size()) Grow(entries_.size());
    for (; placed_ < entries_.size(); ++placed_) Place(static_cast<uint32_t>(placed_));
  }
  if (table_.empty()) return false;
  const size_t mask = table_.size() - 1;
  for (size_t slot = hash & mask; table_[slot] != 0; slot = (slot + 1) & mask) {
    const Entry& e = entries_[table_[slot] - 1];
    if (e.hash == hash && e.key_size == key.size() && std::equal(key.begin(), key.end(), keys_.begin() + e.key_at))
      return true;
  }
  return false;
}

void PendingEntries::Discard() {
  while (entries_.size() > kept_) {
    const Entry& e = entries_.back();
    if (placed_ == entries_.size()) {
      // The newest entry is the last of its probe run: free its slot.
      const size_t mask = table_.size() - 1;
      size_t slot = e.hash & mask;
      while (table_[slot] != entries_.size()) slot = (slot + 1) & mask;
      table_[slot] = 0;
      --placed_;
    }
    keys_.resize(e.key_at);
    entries_.pop_back();
  }
}

void PendingEntries::Clear() {
  kept_ = 0;
  // A table whose rows have stopped coming (a conversion moves on to the
  // next one) should not hold its last batch's memory.
  if (entries_.capacity() > 4096) {
    *this = PendingEntries(exact_);
    return;
  }
  keys_.clear();
  entries_.clear();
  if (placed_ > 0) std::fill(table_.begin(), table_.end(), 0u);
  placed_ = 0;
  sorted_.clear();
}

std::span<const format::IndexProbe> PendingEntries::Sorted() {
  // Most comparisons end in the sixteen key bytes after the prefix every
  // key shares, read as two numbers (zero-padded, which keeps the order).
  size_t shared = entries_.empty() ? 0 : entries_[0].key_size;
  for (const Entry& e : entries_) {
    const auto a = KeyOf(entries_[0]), b = KeyOf(e);
    size_t n = 0;
    const size_t limit = std::min(shared, b.size());
    while (n < limit && a[n] == b[n]) ++n;
    shared = n;
  }
  items_.resize(entries_.size());
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    const auto key = KeyOf(entries_[i]);
    uint8_t bytes[16] = {};
    std::memcpy(bytes, key.data() + shared, std::min<size_t>(16, key.size() - shared));
    uint64_t words[2];
    std::memcpy(words, bytes, 16);
    if constexpr (std::endian::native == std::endian::little) {
      words[0] = __builtin_bswap64(words[0]);
      words[1] = __builtin_bswap64(words[1]);
    }
    items_[i] = Item{{words[0], words[1]}, i};
  }
  auto before = [&](const Item& x, const Item& y) {
    if (x.words[0] != y.words[0]) return x.words[0] < y.words[0];
    if (x.words[1] != y.words[1]) return x.words[1] < y.words[1];
    const Entry& a = entries_[x.entry];
    const Entry& b = entries_[y.entry];
    // Equal words of keys no longer than them: equal keys (many rows of one key).
    if (a.key_size != b.key_size || a.key_size > shared + 16) {
      const size_t n = std::min(a.key_size, b.key_size);
      if (int c = n ? std::memcmp(keys_.data() + a.key_at, keys_.data() + b.key_at, n) : 0; c != 0) return c < 0;
      if (a.key_size != b.key_size) return a.key_size < b.key_size;
    }
    if (a.data_page != b.data_page) return a.data_page < b.data_page;
    return a.data_row < b.data_row;
  };
  // By the first word, a byte at a time from the last (a stable counting
  // sort each, skipping the bytes all items share); then each run of equal
  // first words by the rest.
  uint64_t any = 0, all = ~uint64_t{0};
  for (const Item& item : items_) any |= item.words[0], all &= item.words[0];
  spare_.resize(items_.size());
  for (int shift = 0; shift < 64; shift += 8) {
    if (((any ^ all) >> shift & 0xFF) == 0) continue;
    size_t starts[257] = {};
    for (const Item& item : items_) ++starts[(item.words[0] >> shift & 0xFF) + 1];
    for (size_t b = 1; b < 257; ++b) starts[b] += starts[b - 1];
    for (const Item& item : items_) spare_[starts[item.words[0] >> shift & 0xFF]++] = item;
    items_.swap(spare_);
  }
  for (size_t run = 0; run < items_.size();) {
    size_t end = run + 1;
    while (end < items_.size() && items_[end].words[0] == items_[run].words[0]) ++end;
    if (end - run > 1) std::sort(items_.begin() + run, items_.begin() + end, before);
    run = end;
  }
  sorted_.resize(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) {
    const Entry& e = entries_[items_[i].entry];
    sorted_[i] = format::IndexProbe{KeyOf(e), e.data_page, e.data_row};
  }
  return sorted_;
}

}  // namespace jet::table
