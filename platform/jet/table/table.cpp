#include "platform/jet/table/table.h"

#include <fmt/format.h>

#include <unordered_set>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/numeric.h"
#include "platform/jet/format/row.h"
#include "platform/jet/format/text.h"
#include "platform/jet/table/long_value.h"
#include "platform/jet/table/row_access.h"

namespace jet::table {

using format::ConstBytes;

Result<std::vector<std::byte>> ReadDefinitionBuffer(PageStore& store, uint32_t tdef_page,
                                                    std::vector<uint32_t>* pages) {
  std::vector<std::byte> buffer;
  std::unordered_set<uint32_t> seen;
  uint32_t page = tdef_page;
  bool first = true;
  while (page != 0) {
    if (!seen.insert(page).second)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the table definition on page {} continues in a loop (page {} again)", tdef_page,
                                   page));
    if (page >= store.PageCount())
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the table definition on page {} continues on page {}, outside the file",
                                   tdef_page, page));
    JET_ASSIGN_OR_RETURN(image, store.Read(page));
    if (format::PageType(image) != format::kPageTypeTdef)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("page {} should hold a table definition but has type {:#04x}", page,
                                   format::PageType(image)));
    if (pages) pages->push_back(page);
    ConstBytes part = first ? image : image.subspan(format::kTdefContinuationHeader);
    buffer.insert(buffer.end(), part.begin(), part.end());
    page = format::U32(image, format::kTdefNextPageOffset);
    first = false;
  }
  // tdef_len bounds the definition when its pages carry more (the rest of the
  // last page): a definition spliced and stored again must not take it along.
  if (buffer.size() >= format::kTdefFixedPartSize) {
    const uint32_t length = format::U32(buffer, format::kTdefLengthOffset);
    if (length >= format::kTdefFixedPartSize && length < buffer.size()) buffer.resize(length);
  }
  return buffer;
}

Result<std::unique_ptr<Table>> Table::Open(PageStore& store, uint32_t tdef_page, std::string name) {
  std::vector<uint32_t> pages;
  JET_ASSIGN_OR_RETURN(buffer, ReadDefinitionBuffer(store, tdef_page, &pages));
  // Page 0 is the header: a catalogue row pointing there names no definition.
  if (buffer.size() < format::kTdefFixedPartSize)
    return MakeError(ErrorCode::kCorruption, fmt::format("table {} has no definition (page {})", name, tdef_page));
  JET_ASSIGN_OR_RETURN(def, format::ParseTableDefinition(buffer, tdef_page));
  return std::unique_ptr<Table>(new Table(store, tdef_page, std::move(name), std::move(def), std::move(pages)));
}

namespace {

Result<Cell> ToCell(PageStore& store, const format::ColumnDef& c, const format::RawField& f, const char* where) {
  if (c.is_boolean()) return Cell{f.boolean};
  if (f.null) return Cell{Null{}};
  ConstBytes d = f.data;
  auto need = [&](size_t n) -> Status {
    if (d.size() < n)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("{}: column {} has {} bytes, fewer than its type needs", where, c.name, d.size()));
    return {};
  };
  switch (c.type()) {
    case ColumnType::kByte: JET_TRY(need(1)); return Cell{int64_t{format::U8(d, 0)}};
    case ColumnType::kInteger: JET_TRY(need(2)); return Cell{int64_t{format::I16(d, 0)}};
    case ColumnType::kLong: JET_TRY(need(4)); return Cell{int64_t{format::I32(d, 0)}};
    case ColumnType::kBigInt: JET_TRY(need(8)); return Cell{int64_t{format::I64(d, 0)}};
    case ColumnType::kComplex: JET_TRY(need(4)); return Cell{int64_t{format::I32(d, 0)}};
    case ColumnType::kMoney: JET_TRY(need(8)); return Cell{Money{format::I64(d, 0)}};
    case ColumnType::kSingle: JET_TRY(need(4)); return Cell{static_cast<double>(format::F32(d, 0))};
    case ColumnType::kDouble: JET_TRY(need(8)); return Cell{format::F64(d, 0)};
    case ColumnType::kDateTime: JET_TRY(need(8)); return Cell{DateTimeValue{format::F64(d, 0)}};
    case ColumnType::kGuid: {
      JET_TRY(need(16));
      Guid g;
      for (int i = 0; i < 16; ++i) g.bytes[i] = format::U8(d, i);
      return Cell{g};
    }
    case ColumnType::kNumeric: {
      JET_TRY(need(format::kDecimalSize));
      JET_ASSIGN_OR_RETURN(dec, format::DecodeDecimal(d, c.scale));
      return Cell{dec};
    }
    case ColumnType::kText: return Cell{format::DecodeText(d)};
    case ColumnType::kDateTimeExtended: {
      // Read as its date and time; there is no cell type of that range and
      // precision, so as text ("2021-09-01 12:34:56.1234567").
      auto text = format::ExtendedDateTimeText(d);
      if (!text)
        return MakeError(ErrorCode::kCorruption,
                         fmt::format("{}: column {} holds no Date/Time Extended value", where, c.name));
      return Cell{*text};
    }
    case ColumnType::kMemo:
    case ColumnType::kOle: {
      std::string what = fmt::format("{}: the long value of column {}", where, c.name);
      JET_ASSIGN_OR_RETURN(bytes, ReadLongValue(store, d, what));
      if (c.type() == ColumnType::kMemo) return Cell{format::DecodeText(bytes)};
      return Cell{Bytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                        reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size())};
    }
    default:  // Binary and unknown types: the bytes as stored
      return Cell{Bytes(reinterpret_cast<const uint8_t*>(d.data()), reinterpret_cast<const uint8_t*>(d.data()) + d.size())};
  }
}

}  // namespace

Status Table::DecodeCells(ConstBytes row, std::vector<Cell>& out, const char* where) const {
  std::vector<format::RawField> fields;
  return DecodeCells(row, def_.columns, fields, out, where);
}

Status Table::DecodeCells(ConstBytes row, std::span<const format::ColumnDef> columns,
                          std::vector<format::RawField>& fields, std::vector<Cell>& out, const char* where) const {
  JET_TRY(format::DecodeRow(row, columns, def_.var_columns, fields, where));
  out.resize(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    JET_ASSIGN_OR_RETURN(cell, ToCell(*store_, columns[i], fields[i], where));
    out[i] = std::move(cell);
  }
  return {};
}

RowCursor Table::Scan() const { return Scan({}); }

RowCursor Table::Scan(std::span<const size_t> columns) const {
  std::vector<format::ColumnDef> chosen;
  for (size_t at : columns) chosen.push_back(def_.columns.at(at));
  std::string what = fmt::format("the owned-pages map of table {}", name_);
  auto pages = ReadUsageMap(*store_, def_.owned_pages, what);
  if (!pages) return RowCursor(*this, {}, pages.error(), std::move(chosen));
  return RowCursor(*this, std::move(*pages), Status{}, std::move(chosen));
}

RowCursor::RowCursor(const Table& table, std::vector<uint32_t> pages, Status status,
                     std::vector<format::ColumnDef> chosen)
    : table_(&table), chosen_(std::move(chosen)), pages_(std::move(pages)), status_(std::move(status)) {
  if (status_) Advance();
}

void RowCursor::Next() {
  if (!valid_) return;
  ++row_index_;
  Advance();
}

Status RowCursor::LoadRow(uint32_t page, uint16_t index) {
  const std::span<const format::ColumnDef> columns =
      chosen_.empty() ? std::span<const format::ColumnDef>(table_->columns()) : chosen_;
  // The row is named only in a message: a row that fails is decoded again
  // with its name, rather than every row formatting one.
  if (table_->DecodeCells(bytes_, columns, fields_, row_, "")) return {};
  std::string where = fmt::format("row {} on page {} of table {}", index, page, table_->name());
  return table_->DecodeCells(bytes_, columns, fields_, row_, where.c_str());
}

void RowCursor::Advance() {
  valid_ = false;
  PageStore& store = table_->store();
  for (; page_index_ < pages_.size(); ++page_index_, row_index_ = 0) {
    uint32_t page = pages_[page_index_];
    if (page >= store.PageCount()) {
      status_ = MakeError(ErrorCode::kCorruption,
                          fmt::format("table {} lists page {}, outside the file ({} pages)", table_->name(), page,
                                      store.PageCount()));
      return;
    }
    auto image = store.Read(page);
    if (!image) {
      status_ = image.error();
      return;
    }
    if (format::PageType(*image) != format::kPageTypeData || format::DataPageOwner(*image) != table_->tdef_page()) {
      status_ = MakeError(ErrorCode::kCorruption,
                          fmt::format("page {} is listed by table {} but does not belong to it", page,
                                      table_->name()));
      return;
    }
    if (auto ok = format::CheckDataPage(*image, page); !ok) {
      status_ = ok.error();
      return;
    }
    uint16_t count = format::DataPageRowCount(*image);
    for (; row_index_ < count; ++row_index_) {
      auto slot = format::DataPageRow(*image, page, row_index_);
      if (!slot) {
        status_ = slot.error();
        return;
      }
      if (!slot->live()) continue;  // deleted, or moved to the row that lists it as a lookup
      // Long values may read other pages; keep this page's row bytes stable by copying.
      bytes_.assign(image->begin() + slot->start, image->begin() + slot->end);
      if (auto ok = LoadRow(page, row_index_); !ok) {
        status_ = ok.error();
        return;
      }
      valid_ = true;
      return;
    }
  }
}

}  // namespace jet::table
