#include "platform/jet/format/data_page.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

namespace jet::format {

Status CheckDataPage(ConstBytes page, uint32_t page_number) {
  if (page.size() < kDataRowTableOffset || PageType(page) != kPageTypeData)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("page {} should be a data page but has type {:#04x}", page_number,
                                 page.empty() ? 0 : PageType(page)));
  size_t count = DataPageRowCount(page);
  if (!InRange(page.size(), kDataRowTableOffset, count * 2))
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("data page {} claims {} rows, more than fit on a page", page_number, count));
  return {};
}

Result<RowSlot> DataPageRow(ConstBytes page, uint32_t page_number, uint16_t index) {
  JET_TRY(CheckDataPage(page, page_number));
  uint16_t count = DataPageRowCount(page);
  if (index >= count)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("row {} does not exist on data page {} ({} rows)", index, page_number, count));
  uint16_t raw = U16(page, kDataRowTableOffset + 2 * index);
  RowSlot slot;
  slot.gone = raw & kRowMoved;
  slot.deleted = (raw & kRowDeleted) == kRowDeleted;
  slot.lookup = (raw & kRowDeleted) == kRowLookup;
  slot.start = raw & kRowOffsetMask;
  slot.end = index == 0 ? static_cast<uint16_t>(page.size())
                        : static_cast<uint16_t>(U16(page, kDataRowTableOffset + 2 * (index - 1)) & kRowOffsetMask);
  if (slot.gone) return slot;  // its bounds mean nothing any more
  size_t table_end = kDataRowTableOffset + 2 * static_cast<size_t>(count);
  if (slot.start < table_end || slot.start > slot.end || slot.end > page.size())
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("row {} on data page {} has impossible bounds {}..{}", index, page_number,
                                 slot.start, slot.end));
  return slot;
}

size_t DataPageFreeSpace(ConstBytes page) {
  size_t count = DataPageRowCount(page);
  size_t lowest = page.size();
  for (size_t i = 0; i < count; ++i) {
    size_t start = U16(page, kDataRowTableOffset + 2 * i) & kRowOffsetMask;
    lowest = std::min(lowest, start);
  }
  size_t table_end = kDataRowTableOffset + 2 * count;
  return lowest > table_end ? lowest - table_end : 0;
}

void InitDataPage(MutableBytes page, uint32_t owner) {
  std::memset(page.data(), 0, page.size());
  Put8(page, 0, kPageTypeData);
  Put8(page, 1, 0x01);
  Put16(page, kDataFreeSpaceOffset, static_cast<uint16_t>(page.size() - kDataRowTableOffset));
  Put32(page, kDataOwnerOffset, owner);
}

std::optional<RowPlacement> PlanAppendRow(ConstBytes page, size_t size) {
  uint16_t count = DataPageRowCount(page);
  if (count >= kMaxRowsPerPage) return std::nullopt;
  size_t top = count == 0 ? page.size() : (U16(page, kDataRowTableOffset + 2 * (count - 1)) & kRowOffsetMask);
  size_t table_end = kDataRowTableOffset + 2 * (static_cast<size_t>(count) + 1);
  if (top > page.size() || top < table_end || top - table_end < size) return std::nullopt;
  size_t start = top - size;
  return RowPlacement{start, count, static_cast<uint16_t>(start - table_end)};
}

bool AppendRow(MutableBytes page, ConstBytes row, uint16_t* index) {
  auto at = PlanAppendRow(page, row.size());
  if (!at) return false;
  std::memcpy(page.data() + at->start, row.data(), row.size());
  Put16(page, kDataRowTableOffset + 2 * at->index, static_cast<uint16_t>(at->start));
  Put16(page, kDataRowCountOffset, static_cast<uint16_t>(at->index + 1));
  Put16(page, kDataFreeSpaceOffset, at->free_space);
  if (index) *index = at->index;
  return true;
}

void MarkRowDeleted(MutableBytes page, uint16_t index) {
  size_t at = kDataRowTableOffset + 2 * index;
  Put16(page, at, static_cast<uint16_t>(U16(page, at) | kRowDeleted));
}

namespace {

uint16_t Offset(ConstBytes page, size_t i) { return U16(page, kDataRowTableOffset + 2 * i); }
size_t SlotStart(ConstBytes page, size_t i) { return Offset(page, i) & kRowOffsetMask; }
size_t SlotEnd(ConstBytes page, size_t i) { return i == 0 ? page.size() : SlotStart(page, i - 1); }

// Shifts the bytes of every row physically at or below `limit` by `delta`
// (positive: towards the page end), moving their offsets with them.
void ShiftRowsBelow(MutableBytes page, size_t first_row, size_t limit, ptrdiff_t delta) {
  size_t count = DataPageRowCount(page);
  size_t lowest = limit;
  for (size_t j = first_row; j < count; ++j) lowest = std::min(lowest, SlotStart(page, j));
  if (lowest < limit) std::memmove(page.data() + lowest + delta, page.data() + lowest, limit - lowest);
  for (size_t j = first_row; j < count; ++j) {
    uint16_t raw = Offset(page, j);
    size_t start = raw & kRowOffsetMask;
    if (start > limit) continue;  // an empty entry that points past the rows (0xD000 and the like)
    Put16(page, kDataRowTableOffset + 2 * j,
          static_cast<uint16_t>((raw & ~kRowOffsetMask) | static_cast<uint16_t>(start + delta)));
  }
}

void UpdateFreeSpace(MutableBytes page) {
  Put16(page, kDataFreeSpaceOffset, static_cast<uint16_t>(DataPageFreeSpace(page)));
}

}  // namespace

bool DeleteRowAndCompact(MutableBytes page, uint16_t index) {
  size_t count = DataPageRowCount(page);
  if (index >= count || (Offset(page, index) & kRowMoved)) return false;
  size_t start = SlotStart(page, index), end = SlotEnd(page, index);
  if (start > end || end > page.size()) return false;
  size_t length = end - start;
  if (length > 0) ShiftRowsBelow(page, index + 1u, start, static_cast<ptrdiff_t>(length));
  Put16(page, kDataRowTableOffset + 2 * index, static_cast<uint16_t>(end | kRowDeleted));
  UpdateFreeSpace(page);
  return true;
}

bool DataPageHasLiveRows(ConstBytes page) {
  size_t count = DataPageRowCount(page);
  for (size_t i = 0; i < count; ++i)
    if (!(Offset(page, i) & kRowMoved)) return true;
  return false;
}

bool ReplaceRow(MutableBytes page, uint16_t index, ConstBytes row) {
  size_t count = DataPageRowCount(page);
  if (index >= count) return false;
  size_t start = SlotStart(page, index), end = SlotEnd(page, index);
  if (start > end) return false;
  ptrdiff_t delta = static_cast<ptrdiff_t>(end - start) - static_cast<ptrdiff_t>(row.size());  // < 0: grows
  if (delta < 0 && DataPageFreeSpace(page) < static_cast<size_t>(-delta)) return false;
  if (delta != 0) ShiftRowsBelow(page, index + 1u, start, delta);
  size_t new_start = end - row.size();
  std::memcpy(page.data() + new_start, row.data(), row.size());
  uint16_t raw = Offset(page, index);
  Put16(page, kDataRowTableOffset + 2 * index,
        static_cast<uint16_t>((raw & ~kRowOffsetMask) | static_cast<uint16_t>(new_start)));
  UpdateFreeSpace(page);
  return true;
}

}  // namespace jet::format
