#include "platform/jet/format/tdef_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/indexed_tdef_writer.h"
#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

constexpr size_t kRealIndexBlockSize = 12;  // per real index in the fixed part
constexpr size_t kColumnMapEntrySize = 10;
constexpr size_t kTerminatorSize = 2;
constexpr size_t kPageBytes = 4096;
constexpr size_t kContinuationPayload = kPageBytes - kTdefContinuationHeader;

// Bytes a fixed column takes in the row's fixed area (Yes/No: none, it is a mask bit).
uint16_t FixedLength(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean: return 1;  // descriptor length; no row bytes
    case ColumnType::kByte: return 1;
    case ColumnType::kInteger: return 2;
    case ColumnType::kLong: return 4;
    case ColumnType::kSingle: return 4;
    case ColumnType::kMoney:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
    case ColumnType::kBigInt: return 8;
    case ColumnType::kGuid: return 16;
    case ColumnType::kNumeric: return 17;
    default: return 0;
  }
}

bool IsVariable(ColumnType type) {
  return type == ColumnType::kText || type == ColumnType::kMemo || type == ColumnType::kOle ||
         type == ColumnType::kBinary;
}

size_t NameBytes(const std::string& name) { return 2 + 2 * Utf16Length(name); }


void PutDescriptor(MutableBytes d, const ColumnDef& c) {
  Put8(d, 0, c.type_code);
  Put32(d, 1, kTdefMagic);
  Put16(d, 5, c.number);
  Put16(d, 7, c.var_index);
  Put16(d, 9, c.number);
  if (c.type() == ColumnType::kText || c.type() == ColumnType::kMemo) {
    Put16(d, 11, c.collation);
    Put8(d, 13, 0);
    Put8(d, 14, c.sort_version);
  } else if (c.type() == ColumnType::kNumeric) {
    Put8(d, 11, c.precision);
    Put8(d, 12, c.scale);
  }
  Put8(d, 15, c.flags);
  Put8(d, 16, c.ext_flags);
  Put16(d, 21, c.fixed_offset);
  Put16(d, 23, c.length);
}

}  // namespace

void AppendTdefName(std::vector<std::byte>& out, const std::string& name) {
  std::u16string units = Utf8ToUtf16(name);
  size_t at = out.size();
  out.resize(at + 2 + 2 * units.size());
  MutableBytes b(out);
  Put16(b, at, static_cast<uint16_t>(2 * units.size()));
  for (size_t i = 0; i < units.size(); ++i) Put16(b, at + 2 + 2 * i, units[i]);
}

Result<std::vector<ColumnDef>> LayOutColumns(std::span<const ColumnSpec> specs, Collation collation) {
  if (specs.empty()) return MakeError(ErrorCode::kInvalidValue, "a table needs at least one column");
  if (specs.size() > kMaxColumns)
    return MakeError(ErrorCode::kInvalidValue,
                     fmt::format("a table can have at most {} columns, not {}", kMaxColumns, specs.size()));
  std::vector<ColumnDef> columns;
  columns.reserve(specs.size());
  uint16_t fixed_end = 0, var_count = 0;
  for (size_t i = 0; i < specs.size(); ++i) {
    const ColumnSpec& s = specs[i];
    ColumnDef c;
    c.name = s.name;
    c.type_code = static_cast<uint8_t>(s.type);
    c.number = static_cast<uint16_t>(i);
    if (IsVariable(s.type)) {
      c.flags = 0x02;
      c.var_index = var_count++;
      if (s.type == ColumnType::kText) c.length = static_cast<uint16_t>(2 * s.max_chars);
      if (s.type == ColumnType::kBinary) c.length = s.max_chars;
      if (s.type == ColumnType::kText || s.type == ColumnType::kMemo) {
        c.collation = collation.lcid;
        c.sort_version = collation.version;
        // Access flags its text columns for compressed text and leaves the
        // flag clear on memo columns (whose text it compresses all the same).
        if (s.type == ColumnType::kText) c.ext_flags = kColumnCompressedUnicode;
      }
    } else {
      c.length = FixedLength(s.type);
      if (c.length == 0)
        return MakeError(ErrorCode::kNotSupported,
                         fmt::format("column {} has a type a new table cannot have ({:#04x})", s.name, c.type_code));
      c.flags = kColumnFixed | 0x02;
      if (s.auto_number && s.type == ColumnType::kLong) c.flags |= kColumnAutoLong;
      if (s.type == ColumnType::kNumeric) {
        c.precision = s.precision;
        c.scale = s.scale;
      }
      if (s.type != ColumnType::kBoolean) {
        c.fixed_offset = fixed_end;
        fixed_end = static_cast<uint16_t>(fixed_end + c.length);
      }
    }
    columns.push_back(std::move(c));
  }
  // The smallest row: column count, fixed area, variable-data trailer, null mask.
  size_t smallest = 2 + fixed_end + (var_count ? 4 + 2 * static_cast<size_t>(var_count) : 0) + (specs.size() + 7) / 8;
  if (smallest > kMaxRowSize)
    return MakeError(ErrorCode::kInvalidValue,
                     fmt::format("its columns need {} bytes per row even when empty, more than the {} an Access row "
                                 "can hold",
                                 smallest, kMaxRowSize));
  return columns;
}

std::vector<uint16_t> LongValueColumns(std::span<const ColumnDef> columns) {
  std::vector<uint16_t> out;
  for (const auto& c : columns)
    if (c.is_long_value()) out.push_back(c.number);
  return out;
}

size_t DefinitionLength(std::span<const ColumnDef> columns) {
  size_t length = kTdefFixedPartSize + kColumnDescriptorSize * columns.size() + kTerminatorSize;
  for (const auto& c : columns) {
    length += NameBytes(c.name);
    if (c.is_long_value()) length += kColumnMapEntrySize;
  }
  return length;
}

size_t DefinitionPageCount(size_t length) {
  if (length <= kPageBytes) return 1;
  return 1 + (length - kPageBytes + kContinuationPayload - 1) / kContinuationPayload;
}

std::vector<std::byte> EncodeTableDefinition(const NewTableDefinition& def) {
  std::vector<std::byte> out(kTdefFixedPartSize);
  MutableBytes h(out);
  uint16_t var_count = 0;
  for (const auto& c : def.columns)
    if (!c.fixed()) ++var_count;
  Put8(h, 0, kPageTypeTdef);
  Put8(h, 1, 0x01);
  Put32(h, 12, kTdefMagic);
  Put8(h, 0x18, 0x01);  // Access sets it on every table it makes
  Put8(h, 0x28, kTableTypeUser);
  Put16(h, 0x29, static_cast<uint16_t>(def.columns.size()));
  Put16(h, 0x2B, var_count);
  Put16(h, 0x2D, static_cast<uint16_t>(def.columns.size()));
  Put32(h, 0x2F, static_cast<uint32_t>(def.logical_indexes.size()));
  Put32(h, 0x33, static_cast<uint32_t>(def.real_indexes.size()));
  PutRowPointer(h, 0x37, def.owned_pages);
  PutRowPointer(h, 0x3B, def.free_pages);

  // Per real index: its count of unique entries at +4.
  for (const auto& r : def.real_indexes) {
    size_t at = out.size();
    out.resize(at + kRealIndexBlockSize);
    Put32(MutableBytes(out), at + 4, r.unique_entries);
  }
  for (const auto& c : def.columns) {
    size_t at = out.size();
    out.resize(at + kColumnDescriptorSize);
    PutDescriptor(MutableBytes(out).subspan(at, kColumnDescriptorSize), c);
  }
  for (const auto& c : def.columns) AppendTdefName(out, c.name);
  for (const auto& r : def.real_indexes) {
    size_t at = out.size();
    out.resize(at + kRealIndexSize);
    PutRealIndex(MutableBytes(out).subspan(at, kRealIndexSize), r);
  }
  for (const auto& l : def.logical_indexes) {
    size_t at = out.size();
    out.resize(at + kLogicalIndexSize);
    PutLogicalIndex(MutableBytes(out).subspan(at, kLogicalIndexSize), l);
  }
  for (const auto& l : def.logical_indexes) AppendTdefName(out, l.name);
  for (const auto& m : def.column_maps) {
    size_t at = out.size();
    out.resize(at + kColumnMapEntrySize);
    MutableBytes b(out);
    Put16(b, at, m.column_number);
    PutRowPointer(b, at + 2, m.owned);
    PutRowPointer(b, at + 6, m.free);
  }
  out.push_back(std::byte{0xFF});
  out.push_back(std::byte{0xFF});
  Put32(MutableBytes(out), kTdefLengthOffset, static_cast<uint32_t>(out.size()));
  return out;
}

std::vector<std::vector<std::byte>> PaginateDefinition(ConstBytes buffer, std::span<const uint32_t> pages) {
  std::vector<std::vector<std::byte>> images;
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::vector<std::byte> image(kPageBytes);
    MutableBytes p(image);
    size_t header = i == 0 ? 0 : kTdefContinuationHeader;
    size_t take = std::min(buffer.size() - at, kPageBytes - header);
    std::memcpy(image.data() + header, buffer.data() + at, take);
    at += take;
    Put8(p, 0, kPageTypeTdef);
    Put8(p, 1, 0x01);
    // Free space as Access writes it: the first page counts its 8-byte
    // header once more; continuation pages count theirs twice.
    long free = static_cast<long>(kPageBytes) - static_cast<long>(header + take) - 8;
    if (i == 0 && pages.size() > 1) free = 0;
    Put16(p, kDataFreeSpaceOffset, static_cast<uint16_t>(std::max(free, 0L)));
    Put32(p, kTdefNextPageOffset, i + 1 < pages.size() ? pages[i + 1] : 0);
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace jet::format
