#pragma once
// Index entries a TableAppender has promised but not yet put into the
// B-tree: rows inserted in no key order would otherwise each fetch and
// rewrite a leaf of their own, so their entries wait here and go into the
// tree together, in key order (IndexTree::InsertSorted), before anything
// else reads the index.
//
// Entries added since the last Keep() belong to the statement under way:
// Discard() drops them when it fails. A unique index asks Holds() for a key
// among the pending entries; the tree answers for the rest.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/jet/format/index_page.h"

namespace jet::table {

// A hash of key bytes, as PendingEntries and KeyFilter use it.
uint64_t HashKey(std::span<const uint8_t> key);

class PendingEntries {
 public:
  // `exact`: keep a table of keys for Holds() (unique indexes).
  explicit PendingEntries(bool exact = false) : exact_(exact) {}

  void Add(std::span<const uint8_t> key, uint64_t hash, uint32_t data_page, uint8_t data_row);
  // Whether a pending entry has this key (`hash` as HashKey gives it); only
  // for an index made `exact`. (Entries join the key table here, when first
  // asked: most keys never need it.)
  bool Holds(std::span<const uint8_t> key, uint64_t hash);

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // What they take, with the key table and what sorting them takes.
  size_t bytes() const { return keys_.size() + entries_.size() * (sizeof(Entry) + 16 + 3 * sizeof(Item)); }

  // The statement under way succeeded: its entries stay.
  void Keep() { kept_ = entries_.size(); }
  // The statement under way failed: its entries go.
  void Discard();
  // None wait any more; a large batch's memory goes back.
  void Clear();

  // Appends every entry's hash to `out`.
  void Hashes(std::vector<uint64_t>* out) const {
    for (const Entry& e : entries_) out->push_back(e.hash);
  }

  // Every entry, sorted as index entries sort (key, data page, row); valid
  // until the next change.
  std::span<const format::IndexProbe> Sorted();

 private:
  struct Entry {
    uint64_t hash;
    uint32_t key_at, key_size;
    uint32_t data_page;
    uint8_t data_row;
  };
  std::span<const uint8_t> KeyOf(const Entry& e) const { return {keys_.data() + e.key_at, e.key_size}; }
  void Place(uint32_t entry);  // into the key table
  void Grow(size_t entries);     // a table for this many entries, holding the placed ones

  bool exact_;
  std::vector<uint8_t> keys_;
  std::vector<Entry> entries_;
  size_t kept_ = 0;
  // Open addressing, linear probing: entry number + 1, 0 for a free slot.
  // Entries leave only newest first (Discard), which linear probing allows.
  std::vector<uint32_t> table_;
  size_t placed_ = 0;  // entries [0, placed_) are in the table
  struct Item {  // what Sorted() sorts
    uint64_t words[2];
    uint32_t entry;
  };
  std::vector<Item> items_, spare_;
  std::vector<format::IndexProbe> sorted_;
};

}  // namespace jet::table
