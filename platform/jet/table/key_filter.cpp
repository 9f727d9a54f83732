#include "platform/jet/table/key_filter.h"

#include <algorithm>
#include <bit>

namespace jet::table {
namespace {

constexpr size_t kBitsPerKey = 12;
constexpr size_t kBlockWords = 8;
constexpr int kProbes = 8;  // bits set per key, one in each word of its block

// A second, independent stream of bits from the hash, for the bit positions.
uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  return h ^ (h >> 33);
}

}  // namespace

KeyFilter::KeyFilter(size_t keys) {
  const size_t blocks = std::bit_ceil(std::max<size_t>(64, (keys * kBitsPerKey + 511) / 512));
  words_.assign(blocks * kBlockWords, 0);
  block_mask_ = blocks - 1;
  capacity_ = blocks * 512 / kBitsPerKey;
}

void KeyFilter::Add(uint64_t hash) {
  uint64_t* block = words_.data() + (hash & block_mask_) * kBlockWords;
  const uint64_t bits = Mix(hash);
  for (int i = 0; i < kProbes; ++i) block[i] |= uint64_t{1} << ((bits >> (6 * i)) & 63);
  ++keys_;
}

bool KeyFilter::MayHold(uint64_t hash) const {
  const uint64_t* block = words_.data() + (hash & block_mask_) * kBlockWords;
  const uint64_t bits = Mix(hash);
  for (int i = 0; i < kProbes; ++i)
    if (!(block[i] & (uint64_t{1} << ((bits >> (6 * i)) & 63)))) return false;
  return true;
}

}  // namespace jet::table
