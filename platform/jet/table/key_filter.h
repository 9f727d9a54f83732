#pragma once
// Which keys a unique index may hold: a Bloom filter over key hashes
// (HashKey), in blocks of one cache line, so that most keys new to a large
// index are told apart without reading its leaves. "No" is certain; "maybe"
// sends the caller to the index itself. Keys are only ever added: a key
// removed from the index (a statement undone) stays a "maybe".

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet::table {

class KeyFilter {
 public:
  // Room for `keys` keys at about one "maybe" in a hundred for keys not added.
  explicit KeyFilter(size_t keys = 0);

  void Add(uint64_t hash);
  bool MayHold(uint64_t hash) const;
  // Asks for the line MayHold(hash) reads, without waiting for it.
  void Prefetch(uint64_t hash) const { __builtin_prefetch(words_.data() + (hash & block_mask_) * 8); }

  size_t keys() const { return keys_; }
  size_t capacity() const { return capacity_; }

 private:
  std::vector<uint64_t> words_;  // blocks of 8 words (512 bits)
  size_t block_mask_ = 0;
  size_t keys_ = 0, capacity_ = 0;
};

}  // namespace jet::table
