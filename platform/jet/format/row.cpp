#include "platform/jet/format/row.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

namespace jet::format {

Status DecodeRow(ConstBytes row, std::span<const ColumnDef> columns, uint16_t table_var_columns,
                 std::vector<RawField>& out, const char* where) {
  auto corrupt = [&](const char* what) {
    return MakeError(ErrorCode::kCorruption, fmt::format("{} is damaged: {}", where, what));
  };
  out.assign(columns.size(), RawField{});
  if (row.size() < 2) return corrupt("shorter than its column count");
  size_t column_count = U16(row, 0);
  size_t mask_size = (column_count + 7) / 8;
  if (row.size() < 2 + mask_size) return corrupt("too short for its null mask");
  size_t mask_at = row.size() - mask_size;
  auto present = [&](uint16_t number) {
    return number < column_count && (U8(row, mask_at + number / 8) >> (number % 8)) & 1;
  };

  // The variable-offset table, read backwards from the null mask, where it
  // lies: var_offset[0..n-1], then eod.
  size_t var_count = 0;
  size_t data_end = mask_at;  // end of the area that column data may use
  if (table_var_columns > 0) {
    if (mask_at < 4) return corrupt("too short for its variable-column count");
    var_count = U16(row, mask_at - 2);
    size_t table_size = 2 * (var_count + 1) + 2;  // offsets, eod, count
    if (table_size > mask_at - 2) return corrupt("its variable-column table does not fit");
    data_end = mask_at - table_size;
  }
  auto offset = [&](size_t i) -> size_t { return U16(row, mask_at - 4 - 2 * i); };  // i <= var_count

  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& c = columns[i];
    RawField& f = out[i];
    if (c.is_boolean()) {
      f.null = false;
      f.boolean = present(c.number);
      continue;
    }
    if (!present(c.number)) continue;
    if (c.fixed()) {
      size_t at = 2 + static_cast<size_t>(c.fixed_offset);
      if (!InRange(data_end, at, c.length)) return corrupt("a fixed column lies outside the row");
      f.null = false;
      f.data = row.subspan(at, c.length);
    } else {
      if (c.var_index >= var_count) continue;  // added after this row was written
      size_t start = offset(c.var_index);
      size_t end = offset(c.var_index + 1u);
      if (start > end || end > data_end) return corrupt("a variable column lies outside the row");
      f.null = false;
      f.data = row.subspan(start, end - start);
    }
  }
  return {};
}

std::vector<std::byte> EncodeRow(std::span<const ColumnDef> columns, uint16_t max_columns,
                                 std::span<const RawField> fields) {
  size_t fixed_end = 2;
  std::vector<const ColumnDef*> var_columns;
  for (const auto& c : columns) {
    if (c.is_boolean()) continue;
    if (c.fixed())
      fixed_end = std::max(fixed_end, 2 + static_cast<size_t>(c.fixed_offset) + c.length);
    else
      var_columns.push_back(&c);
  }
  std::sort(var_columns.begin(), var_columns.end(),
            [](const ColumnDef* a, const ColumnDef* b) { return a->var_index < b->var_index; });
  size_t var_count = var_columns.empty() ? 0 : var_columns.back()->var_index + 1u;

  std::vector<std::byte> out(fixed_end, std::byte{0});
  Put16(out, 0, max_columns);
  std::vector<uint8_t> mask((max_columns + 7) / 8, 0);
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& c = columns[i];
    const RawField& f = fields[i];
    bool bit = c.is_boolean() ? f.boolean : !f.null;
    if (bit) mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
    if (!c.is_boolean() && c.fixed() && !f.null)
      std::memcpy(out.data() + 2 + c.fixed_offset, f.data.data(), std::min<size_t>(f.data.size(), c.length));
  }
  if (var_count > 0) {
    std::vector<uint16_t> offsets(var_count + 1, 0);
    size_t next = 0;
    for (size_t v = 0; v < var_count; ++v) {
      offsets[v] = static_cast<uint16_t>(out.size());
      while (next < var_columns.size() && var_columns[next]->var_index == v) {
        size_t i = static_cast<size_t>(var_columns[next] - columns.data());
        if (!fields[i].null) out.insert(out.end(), fields[i].data.begin(), fields[i].data.end());
        ++next;
      }
    }
    offsets[var_count] = static_cast<uint16_t>(out.size());
    size_t at = out.size();
    out.resize(at + 2 * (var_count + 1) + 2);
    Put16(out, at, offsets[var_count]);
    for (size_t v = var_count; v-- > 0;) Put16(out, at + 2 + 2 * (var_count - 1 - v), offsets[v]);
    Put16(out, out.size() - 2, static_cast<uint16_t>(var_count));
  }
  for (uint8_t m : mask) out.push_back(static_cast<std::byte>(m));
  return out;
}

}  // namespace jet::format
