#include "platform/jet/table/long_value_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {
namespace {

constexpr size_t kSegmentData = format::kMaxSingleLongValue - 4;  // 4072 bytes behind the link
// A page gets a whole segment to itself when the value is this long.
constexpr size_t kLargeRow = 2048;

bool IsLongValuePage(format::ConstBytes page) {
  return format::PageType(page) == format::kPageTypeData && format::DataPageOwner(page) == format::kLongValueOwner;
}

}  // namespace

Result<uint32_t> LongValueWriter::NewPage(bool fill_later) {
  JET_ASSIGN_OR_RETURN(page, pages_.Allocate());
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(page));
    format::InitDataPage(image, format::kLongValueOwner);
  }
  if (!owned_.IsNull()) JET_TRY(SetMapPage(store_, pages_, owned_, page, true));
  if (fill_later && !free_.IsNull()) JET_TRY(SetMapPage(store_, pages_, free_, page, true));
  return page;
}

Result<format::RowPointer> LongValueWriter::Place(format::ConstBytes row) {
  uint16_t index = 0;
  if (row.size() >= kLargeRow) {  // a page of its own, full afterwards
    JET_ASSIGN_OR_RETURN(page, NewPage(false));
    JET_ASSIGN_OR_RETURN(image, store_.Write(page));
    if (!format::AppendRow(image, row, &index))
      return MakeError(ErrorCode::kCorruption, "a long-value row does not fit an empty page");
    return format::RowPointer{page, static_cast<uint8_t>(index)};
  }
  if (!looked_up_ && !free_.IsNull()) {
    // Continue on the last page the column's free-space map still lists.
    looked_up_ = true;
    JET_ASSIGN_OR_RETURN(listed, ReadUsageMap(store_, free_, "the free-space map of a long-value column"));
    for (auto it = listed.rbegin(); it != listed.rend() && current_ == 0; ++it) {
      if (*it >= store_.PageCount()) continue;
      JET_ASSIGN_OR_RETURN(image, store_.Read(*it));
      if (IsLongValuePage(image)) current_ = *it;
    }
  }
  if (current_ != 0) {
    JET_ASSIGN_OR_RETURN(image, store_.Write(current_));
    if (IsLongValuePage(image) && format::AppendRow(image, row, &index))
      return format::RowPointer{current_, static_cast<uint8_t>(index)};
    if (!free_.IsNull()) JET_TRY(SetMapPage(store_, pages_, free_, current_, false));
    current_ = 0;
  }
  JET_ASSIGN_OR_RETURN(page, NewPage(true));
  current_ = page;
  JET_ASSIGN_OR_RETURN(image, store_.Write(page));
  if (!format::AppendRow(image, row, &index))
    return MakeError(ErrorCode::kCorruption, "a long-value row does not fit an empty page");
  return format::RowPointer{page, static_cast<uint8_t>(index)};
}

Status LongValueWriter::Store(format::ConstBytes data, format::MutableBytes header) {
  if (data.size() > 0x3FFFFFFF)
    return MakeError(ErrorCode::kInvalidValue, "a Memo or OLE value may hold at most 1 GB");
  auto length = static_cast<uint32_t>(data.size());
  if (data.size() <= format::kMaxSingleLongValue) {
    JET_ASSIGN_OR_RETURN(at, Place(data));
    format::PutLongValueHeader(header, length, format::kLongValueSingle, at);
    return {};
  }
  // A chain, in ascending order as Access writes it: each segment is placed
  // with an empty link, which is filled in once its successor has a place.
  size_t segments = (data.size() + kSegmentData - 1) / kSegmentData;
  std::vector<std::byte> row;
  format::RowPointer first, previous;
  for (size_t s = 0; s < segments; ++s) {
    size_t begin = s * kSegmentData;
    size_t size = std::min(kSegmentData, data.size() - begin);
    row.resize(4 + size);
    format::PutRowPointer(row, 0, format::RowPointer{});
    std::copy(data.begin() + begin, data.begin() + begin + size, row.begin() + 4);
    JET_ASSIGN_OR_RETURN(at, Place(row));
    if (s == 0) first = at;
    else JET_TRY(Link(previous, at));
    previous = at;
  }
  format::PutLongValueHeader(header, length, format::kLongValueChain, first);
  return {};
}

Status LongValueWriter::Link(format::RowPointer from, format::RowPointer to) {
  JET_ASSIGN_OR_RETURN(image, store_.Write(from.page));
  JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(image, from.page, from.row));
  if (slot.end - slot.start < 4)
    return MakeError(ErrorCode::kCorruption, fmt::format("a long-value segment on page {} has no link", from.page));
  format::PutRowPointer(image, slot.start, to);
  return {};
}

Status LongValueWriter::FreeRow(format::RowPointer at, format::RowPointer* next) {
  std::string what = fmt::format("a long value at row {} of page {}", at.row, at.page);
  if (at.page == 0 || at.page >= store_.PageCount())
    return MakeError(ErrorCode::kCorruption, fmt::format("{} lies outside the file", what));
  JET_ASSIGN_OR_RETURN(image, store_.Write(at.page));
  if (!IsLongValuePage(image))
    return MakeError(ErrorCode::kCorruption, fmt::format("{} is not on a long-value page", what));
  JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(image, at.page, at.row));
  if (!slot.live()) return MakeError(ErrorCode::kCorruption, fmt::format("{} is deleted already", what));
  if (next) {
    if (slot.end - slot.start < 4) return MakeError(ErrorCode::kCorruption, fmt::format("{} has no link", what));
    *next = format::LoadRowPointer(image, slot.start);
  }
  format::DeleteRowAndCompact(image, at.row);
  if (format::DataPageHasLiveRows(image) || at.page == current_) {
    if (!free_.IsNull() && at.page != current_ && format::DataPageRowCount(image) < format::kMaxRowsPerPage)
      JET_TRY(SetMapPage(store_, pages_, free_, at.page, true));
    return {};
  }
  if (!owned_.IsNull()) JET_TRY(SetMapPage(store_, pages_, owned_, at.page, false));
  if (!free_.IsNull()) JET_TRY(SetMapPage(store_, pages_, free_, at.page, false));
  return pages_.Release(at.page);
}

Status LongValueWriter::Free(format::ConstBytes field) {
  JET_ASSIGN_OR_RETURN(ref, format::ParseLongValue(field));
  if (ref.kind == format::kLongValueInline) return {};
  if (ref.kind == format::kLongValueSingle) return FreeRow(ref.first, nullptr);
  std::unordered_set<uint32_t> seen;
  format::RowPointer at = ref.first;
  while (!at.IsNull()) {
    if (!seen.insert(at.page << 8 | at.row).second)
      return MakeError(ErrorCode::kCorruption, "a long value's chain loops");
    format::RowPointer next;
    JET_TRY(FreeRow(at, &next));
    at = next;
  }
  return {};
}

}  // namespace jet::table
