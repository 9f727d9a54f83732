#include "platform/jet/table/long_value.h"

#include <fmt/format.h>

#include <unordered_set>

#include "platform/jet/table/row_access.h"

namespace jet::table {

Result<std::vector<std::byte>> ReadLongValue(PageStore& store, format::ConstBytes field, std::string_view what) {
  JET_ASSIGN_OR_RETURN(ref, format::ParseLongValue(field));
  if (ref.kind == format::kLongValueInline) return std::vector<std::byte>(ref.inline_data.begin(), ref.inline_data.end());
  // Nothing longer than the file can be stored in it.
  if (static_cast<uint64_t>(ref.length) > static_cast<uint64_t>(store.PageCount()) * store.PageSize())
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("{} claims {} bytes, more than the file holds", what, ref.length));
  if (ref.kind == format::kLongValueSingle) {
    JET_ASSIGN_OR_RETURN(row, ReadRow(store, ref.first, what));
    if (row.size() < ref.length)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("{} claims {} bytes but its row holds {}", what, ref.length, row.size()));
    return std::vector<std::byte>(row.begin(), row.begin() + ref.length);
  }
  std::vector<std::byte> out;
  out.reserve(ref.length);
  std::unordered_set<uint32_t> seen;
  format::RowPointer at = ref.first;
  while (out.size() < ref.length) {
    if (at.IsNull())
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("{} ends after {} of its {} bytes", what, out.size(), ref.length));
    if (!seen.insert(at.page << 8 | at.row).second)
      return MakeError(ErrorCode::kCorruption, fmt::format("{} loops back to page {} row {}", what, at.page, at.row));
    JET_ASSIGN_OR_RETURN(row, ReadRow(store, at, what));
    if (row.size() < 4)
      return MakeError(ErrorCode::kCorruption, fmt::format("{} has a segment without its link", what));
    at = format::LoadRowPointer(row, 0);
    size_t take = std::min<size_t>(row.size() - 4, ref.length - out.size());
    out.insert(out.end(), row.begin() + 4, row.begin() + 4 + take);
  }
  return out;
}

}  // namespace jet::table
