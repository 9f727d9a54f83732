#include "platform/jet/format/tdef.h"

#include <fmt/format.h>

#include <algorithm>

#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

// A reader over the definition buffer that turns every overrun into a Corruption.
class Cursor {
 public:
  Cursor(ConstBytes b, uint32_t page) : b_(b), page_(page) {}
  Status Need(size_t n, const char* what) const {
    if (!InRange(b_.size(), at_, n))
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the table definition on page {} ends inside its {}", page_, what));
    return {};
  }
  ConstBytes Take(size_t n) {
    ConstBytes s = b_.subspan(at_, n);
    at_ += n;
    return s;
  }
  size_t at() const { return at_; }

 private:
  ConstBytes b_;
  uint32_t page_;
  size_t at_ = 0;
};

Result<std::string> ReadName(Cursor& c, const char* what) {
  JET_TRY(c.Need(2, what));
  size_t n = U16(c.Take(2), 0);
  JET_TRY(c.Need(n, what));
  return Utf16LeToUtf8(c.Take(n));
}

}  // namespace

Result<TableDefinition> ParseTableDefinition(ConstBytes b, uint32_t page) {
  if (b.size() < kTdefFixedPartSize || U8(b, 0) != 0x02)
    return MakeError(ErrorCode::kCorruption, fmt::format("page {} is not a table definition", page));
  TableDefinition t;
  t.length = U32(b, kTdefLengthOffset);
  t.row_count = U32(b, kTdefRowCountOffset);
  t.autonumber = U32(b, kTdefAutonumberOffset);
  t.table_type = U8(b, 0x28);
  t.max_columns = U16(b, 0x29);
  t.var_columns = U16(b, 0x2B);
  uint16_t column_count = U16(b, 0x2D);
  uint32_t logical_count = U32(b, 0x2F);
  uint32_t real_count = U32(b, 0x33);
  t.owned_pages = LoadRowPointer(b, 0x37);
  t.free_pages = LoadRowPointer(b, 0x3B);
  // Access allows 255 columns and 32 indexes; beyond that the counts are garbage.
  if (column_count > 4096 || logical_count > 1024 || real_count > 1024)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("the table definition on page {} has impossible counts ({} columns, {} indexes)",
                                 page, column_count, real_count));

  Cursor c(b, page);
  c.Take(kTdefFixedPartSize);
  JET_TRY(c.Need(12 * static_cast<size_t>(real_count), "index statistics"));
  std::vector<uint32_t> unique_counts;
  for (uint32_t i = 0; i < real_count; ++i) unique_counts.push_back(U32(c.Take(12), 4));

  JET_TRY(c.Need(kColumnDescriptorSize * static_cast<size_t>(column_count), "column descriptors"));
  t.columns.resize(column_count);
  for (auto& col : t.columns) {
    ConstBytes d = c.Take(kColumnDescriptorSize);
    col.type_code = U8(d, 0);
    col.number = U16(d, 5);
    col.var_index = U16(d, 7);
    col.flags = U8(d, 15);
    col.ext_flags = U8(d, 16);
    col.fixed_offset = U16(d, 21);
    col.length = U16(d, 23);
    if (col.type() == ColumnType::kText || col.type() == ColumnType::kMemo) {
      col.collation = U16(d, 11);
      col.sort_version = U8(d, 14);
    } else if (col.type() == ColumnType::kNumeric) {
      col.precision = U8(d, 11);
      col.scale = U8(d, 12);
    } else if (col.type() == ColumnType::kComplex) {
      col.complex_id = U32(d, 11);
    }
  }
  for (auto& col : t.columns) {
    JET_ASSIGN_OR_RETURN(name, ReadName(c, "column names"));
    col.name = std::move(name);
  }

  JET_TRY(c.Need(kRealIndexSize * static_cast<size_t>(real_count), "index definitions"));
  for (uint32_t i = 0; i < real_count; ++i) {
    ConstBytes d = c.Take(kRealIndexSize);
    RealIndex ri;
    for (int k = 0; k < 10; ++k) {
      uint16_t number = U16(d, 4 + 3 * k);
      if (number == 0xFFFF) continue;
      ri.columns.push_back(IndexColumn{number, U8(d, 4 + 3 * k + 2) != 0});
    }
    ri.usage_map = LoadRowPointer(d, 34);
    ri.root_page = U32(d, 38);
    ri.flags = U8(d, 46);
    ri.unique_entries = unique_counts[i];
    t.real_indexes.push_back(std::move(ri));
  }
  JET_TRY(c.Need(kLogicalIndexSize * static_cast<size_t>(logical_count), "logical indexes"));
  for (uint32_t i = 0; i < logical_count; ++i) {
    ConstBytes d = c.Take(kLogicalIndexSize);
    LogicalIndex li;
    li.number = U32(d, 4);
    li.real_index = U32(d, 8);
    li.kind = U8(d, 23);
    if (li.kind == kLogicalIndexRelationship) {
      li.side = U8(d, 12);
      li.other_index = U32(d, 13);
      li.other_tdef = U32(d, 17);
      li.on_update = U8(d, 21);
      li.on_delete = U8(d, 22);
    }
    t.logical_indexes.push_back(std::move(li));
  }
  for (auto& li : t.logical_indexes) {
    JET_ASSIGN_OR_RETURN(name, ReadName(c, "index names"));
    li.name = std::move(name);
  }
  // Column usage maps up to the FF FF terminator (some definitions end without it).
  while (InRange(b.size(), c.at(), 2)) {
    uint16_t number = U16(b, c.at());
    if (number == 0xFFFF) break;
    JET_TRY(c.Need(10, "column usage maps"));
    ConstBytes d = c.Take(10);
    t.column_maps.push_back(ColumnMaps{number, LoadRowPointer(d, 2), LoadRowPointer(d, 6)});
  }

  std::sort(t.columns.begin(), t.columns.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
  for (size_t i = 1; i < t.columns.size(); ++i)
    if (t.columns[i].number == t.columns[i - 1].number)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the table definition on page {} numbers two columns {}", page,
                                   t.columns[i].number));
  return t;
}

}  // namespace jet::format

// Declared with the public column (public/column.h).
namespace jet {
using namespace format;

std::string AccessTypeName(const ColumnDef& c) {
  switch (c.type()) {
    case ColumnType::kBoolean: return "Yes/No";
    case ColumnType::kByte: return "Byte";
    case ColumnType::kInteger: return "Integer";
    case ColumnType::kLong: return c.flags & kColumnAutoLong ? "AutoNumber" : "Long Integer";
    case ColumnType::kMoney: return "Currency";
    case ColumnType::kSingle: return "Single";
    case ColumnType::kDouble: return "Double";
    case ColumnType::kDateTime: return "Date/Time";
    case ColumnType::kBinary: return fmt::format("Binary ({})", c.length);
    case ColumnType::kText: return fmt::format("Text ({})", c.length / 2);
    case ColumnType::kOle: return "OLE Object";
    case ColumnType::kMemo: return c.flags & kColumnHyperlink ? "Hyperlink" : "Memo";
    case ColumnType::kGuid: return c.flags & kColumnAutoGuid ? "AutoNumber (Replication ID)" : "Replication ID";
    case ColumnType::kNumeric: return fmt::format("Decimal ({}, {})", c.precision, c.scale);
    case ColumnType::kComplex: return "Attachment/Multi-value (not supported)";
    case ColumnType::kBigInt: return "Large Number";
    case ColumnType::kDateTimeExtended: return "Date/Time Extended";
    default: return fmt::format("Unknown type {:#04x} (not supported)", c.type_code);
  }
}

std::string SqlTypeName(const ColumnDef& c) {
  switch (c.type()) {
    case ColumnType::kBoolean: return "BIT";
    case ColumnType::kByte: return "BYTE";
    case ColumnType::kInteger: return "SHORT";
    case ColumnType::kLong: return c.flags & kColumnAutoLong ? "COUNTER" : "LONG";
    case ColumnType::kMoney: return "CURRENCY";
    case ColumnType::kSingle: return "SINGLE";
    case ColumnType::kDouble: return "DOUBLE";
    case ColumnType::kDateTime: return "DATETIME";
    case ColumnType::kBinary: return fmt::format("BINARY({})", c.length);
    case ColumnType::kText: return fmt::format("TEXT({})", c.length / 2);
    case ColumnType::kOle: return "LONGBINARY";
    case ColumnType::kMemo: return "MEMO";
    case ColumnType::kGuid: return "GUID";
    case ColumnType::kNumeric: return fmt::format("DECIMAL({},{})", c.precision, c.scale);
    case ColumnType::kBigInt: return "BIGINT";
    case ColumnType::kComplex: return "LONG /* attachment or multi-value column: not supported */";
    case ColumnType::kDateTimeExtended: return "TEXT(42) /* Date/Time Extended: not supported */";
    default: return fmt::format("LONGBINARY /* unknown type {:#04x}: not supported */", c.type_code);
  }
}

}  // namespace jet
