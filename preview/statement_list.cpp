#include "preview/statement_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace preview {
namespace {

constexpr uint32_t kBlockSize = 4u << 20;  // 4 MiB; a longer text gets a block of its own
constexpr size_t kCompactFloor = 64u << 20;

[[noreturn]] void OutOfBounds() { throw std::out_of_range("Index out of bounds"); }

}  // namespace

StatementList::StatementList() = default;
StatementList::~StatementList() = default;

void StatementList::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  entries_.clear();
  entries_.shrink_to_fit();
  ticks_.clear();
  ticks_.shrink_to_fit();
  live_bytes_ = dead_bytes_ = 0;
}

StatementList::Entry StatementList::Store(std::string_view text) {
  if (text.size() >= std::numeric_limits<uint32_t>::max()) throw std::length_error("Out of memory");
  const auto length = static_cast<uint32_t>(text.size());
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < length) {
    Block block;
    block.size = std::max(kBlockSize, length);
    block.bytes = std::make_unique<char[]>(block.size);
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  Entry entry{static_cast<uint32_t>(blocks_.size() - 1), block.used, length};
  if (length) std::memcpy(block.bytes.get() + block.used, text.data(), length);
  block.used += length;
  live_bytes_ += length;
  return entry;
}

void StatementList::Append(std::string_view statement) {
  entries_.push_back(Store(statement));
  ticks_.push_back(false);
}

size_t StatementList::Index(int row) const {
  if (row < 1 || static_cast<size_t>(row) > entries_.size()) OutOfBounds();
  return static_cast<size_t>(row - 1);
}

std::string_view StatementList::Text(int row) const {
  const Entry& e = entries_[Index(row)];
  if (e.length == 0) return {};
  return {blocks_[e.block].bytes.get() + e.offset, e.length};
}

void StatementList::SetText(int row, std::string_view text) {
  const size_t index = Index(row);
  // The new text may be a view into this list (a row copied onto another).
  const std::string copy(text);
  const uint32_t old_length = entries_[index].length;
  entries_[index] = Store(copy);
  live_bytes_ -= old_length;
  dead_bytes_ += old_length;
  CompactIfWorthIt();
}

void StatementList::CompactIfWorthIt() {
  if (dead_bytes_ < kCompactFloor || dead_bytes_ < live_bytes_) return;
  std::vector<Block> old_blocks = std::move(blocks_);
  blocks_.clear();
  live_bytes_ = dead_bytes_ = 0;
  for (Entry& e : entries_) {
    std::string_view text(old_blocks[e.block].bytes.get() + e.offset, e.length);
    e = Store(text);
  }
}

bool StatementList::Ticked(int row) const { return ticks_[Index(row)]; }

void StatementList::SetTicked(int row, bool ticked) { ticks_[Index(row)] = ticked; }

void StatementList::SetAllTicked(bool ticked) { ticks_.assign(ticks_.size(), ticked); }

size_t StatementList::MemoryBytes() const {
  size_t bytes = entries_.capacity() * sizeof(Entry) + ticks_.capacity() / 8 + blocks_.capacity() * sizeof(Block);
  for (const Block& b : blocks_) bytes += b.size;
  return bytes;
}

std::string_view StatementList::ColumnText(int row, int column) const {
  if (column != 1) OutOfBounds();
  return Text(row);
}

}  // namespace preview
