#include "platform/jet/format/indexed_tdef_writer.h"

#include <algorithm>

#include "platform/jet/format/text.h"
#include "platform/jet/format/tdef_writer.h"

namespace jet::format {
namespace {

constexpr uint8_t kPageTypeTdef = 0x02;
// The engine leaves 04 04 in the cascade bytes of logical indexes that are not
// foreign keys (bytes 21 and 22).
constexpr uint8_t kLogicalIndexNoRelation = 0x04;

MutableBytes Grow(std::vector<std::byte>& out, size_t n) {
  size_t at = out.size();
  out.resize(at + n);
  return MutableBytes(out).subspan(at, n);
}

void PutDescriptor(MutableBytes d, const ColumnDef& c, uint16_t default_collation,
                   const std::optional<AceDescriptorFill>& ace) {
  Put8(d, 0, c.type_code);
  Put32(d, 1, kTdefMagic);
  Put16(d, 5, c.number);
  Put16(d, 7, c.var_index);
  if (!ace) Put16(d, 9, c.number);
  if (c.type() == ColumnType::kNumeric) {
    Put8(d, 11, c.precision);
    Put8(d, 12, c.scale);
    if (ace) Put8(d, 14, ace->sort_version);
  } else if (c.type() == ColumnType::kText || c.type() == ColumnType::kMemo) {
    Put16(d, 11, c.collation);
    Put8(d, 14, c.sort_version);
  } else if (ace) {
    Put16(d, 11, ace->collation);
    Put8(d, 14, ace->sort_version);
  } else {
    Put16(d, 11, default_collation);
  }
  Put8(d, 15, c.flags);
  Put8(d, 16, c.ext_flags);
  Put16(d, 21, c.fixed_offset);
  Put16(d, 23, c.length);
}

}  // namespace

void PutRealIndex(MutableBytes b, const RealIndex& r) {
  Put32(b, 0, kRealIndexMagic);
  for (size_t slot = 0; slot < kMaxRealIndexColumns; ++slot) {
    if (slot < r.columns.size()) {
      Put16(b, 4 + 3 * slot, r.columns[slot].column_number);
      Put8(b, 6 + 3 * slot, r.columns[slot].ascending ? 0x01 : 0x00);
    } else {
      Put16(b, 4 + 3 * slot, 0xFFFF);
    }
  }
  PutRowPointer(b, 34, r.usage_map);
  Put32(b, 38, r.root_page);
  Put8(b, 46, r.flags);
}

void PutLogicalIndex(MutableBytes b, const LogicalIndex& l) {
  Put32(b, 0, kTdefMagic);
  Put32(b, 4, l.number);
  Put32(b, 8, l.real_index);
  Put8(b, 23, l.kind);
  if (l.kind == kLogicalIndexRelationship) {
    Put8(b, 12, l.side);
    Put32(b, 13, l.other_index);
    Put32(b, 17, l.other_tdef);
    Put8(b, 21, l.on_update);
    Put8(b, 22, l.on_delete);
    return;
  }
  Put32(b, 13, 0xFFFFFFFF);
  Put8(b, 21, kLogicalIndexNoRelation);
  Put8(b, 22, kLogicalIndexNoRelation);
}

std::vector<std::byte> EncodeIndexedTableDefinition(const TableDefinition& def,
                                                    std::optional<AceDescriptorFill> ace) {
  uint16_t default_collation = 0;
  for (const auto& c : def.columns)
    if (c.type() == ColumnType::kText || c.type() == ColumnType::kMemo) {
      default_collation = c.collation;
      break;
    }
  uint16_t var_count = static_cast<uint16_t>(
      std::count_if(def.columns.begin(), def.columns.end(), [](const ColumnDef& c) { return !c.fixed(); }));

  std::vector<std::byte> out(kTdefFixedPartSize);
  MutableBytes h(out);
  Put8(h, 0, kPageTypeTdef);
  Put8(h, 1, 0x01);
  Put32(h, 12, kTdefMagic);
  Put32(h, kTdefRowCountOffset, def.row_count);
  Put32(h, kTdefAutonumberOffset, def.autonumber);
  Put8(h, 0x18, 0x01);
  Put8(h, 0x28, def.table_type);
  Put16(h, 0x29, def.max_columns);
  Put16(h, 0x2B, var_count);
  Put16(h, 0x2D, static_cast<uint16_t>(def.columns.size()));
  Put32(h, 0x2F, static_cast<uint32_t>(def.logical_indexes.size()));
  Put32(h, 0x33, static_cast<uint32_t>(def.real_indexes.size()));
  PutRowPointer(h, 0x37, def.owned_pages);
  PutRowPointer(h, 0x3B, def.free_pages);

  for (const auto& r : def.real_indexes) Put32(Grow(out, 12), 4, r.unique_entries);
  for (const auto& c : def.columns) PutDescriptor(Grow(out, kColumnDescriptorSize), c, default_collation, ace);
  for (const auto& c : def.columns) AppendTdefName(out, c.name);
  for (const auto& r : def.real_indexes) PutRealIndex(Grow(out, kRealIndexSize), r);
  for (const auto& l : def.logical_indexes) PutLogicalIndex(Grow(out, kLogicalIndexSize), l);
  for (const auto& l : def.logical_indexes) AppendTdefName(out, l.name);
  for (const auto& m : def.column_maps) {
    MutableBytes b = Grow(out, 10);
    Put16(b, 0, m.column_number);
    PutRowPointer(b, 2, m.owned);
    PutRowPointer(b, 6, m.free);
  }
  Put16(Grow(out, 2), 0, 0xFFFF);
  Put32(MutableBytes(out), kTdefLengthOffset, static_cast<uint32_t>(out.size()));
  return out;
}

}  // namespace jet::format
