#pragma once
// A table: its definition (read across continuation pages) and a scan of its
// rows over the data pages its owned-pages map lists.
//
//   auto cursor = table.Scan();
//   for (; cursor.Valid(); cursor.Next()) Use(cursor.row());
//   if (!cursor.status()) ...   // a damaged page ends the scan with a Corruption

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/row.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"

namespace jet::table {

// Reads the logical definition buffer that starts on page `tdef_page`, up to
// its length (tdef_len).
Result<std::vector<std::byte>> ReadDefinitionBuffer(PageStore& store, uint32_t tdef_page,
                                                    std::vector<uint32_t>* pages = nullptr);

class Table;

class RowCursor {
 public:
  bool Valid() const { return valid_; }
  void Next();
  const Status& status() const { return status_; }
  // The current row, one cell per column in column-number order, or per
  // column chosen (Scan's `columns`) in the order chosen.
  const std::vector<Cell>& row() const { return row_; }
  format::RowPointer position() const {
    return {pages_.empty() ? 0 : pages_[page_index_], static_cast<uint8_t>(row_index_)};
  }

 private:
  friend class Table;
  RowCursor(const Table& table, std::vector<uint32_t> pages, Status status,
            std::vector<format::ColumnDef> chosen = {});
  void Advance();  // moves to the next live row from the current position
  Status LoadRow(uint32_t page, uint16_t index);

  const Table* table_;
  std::vector<format::ColumnDef> chosen_;  // none: every column
  std::vector<uint32_t> pages_;
  size_t page_index_ = 0;
  uint16_t row_index_ = 0;
  bool started_ = false;
  bool valid_ = false;
  Status status_;
  std::vector<Cell> row_;
  // Kept from row to row, so that a scan allocates nothing per row.
  std::vector<std::byte> bytes_;
  std::vector<format::RawField> fields_;
};

class Table {
 public:
  static Result<std::unique_ptr<Table>> Open(PageStore& store, uint32_t tdef_page, std::string name);

  const std::string& name() const { return name_; }
  uint32_t tdef_page() const { return tdef_page_; }
  const format::TableDefinition& definition() const { return def_; }
  const std::vector<format::ColumnDef>& columns() const { return def_.columns; }
  // Pages the definition occupies (first and continuations).
  const std::vector<uint32_t>& definition_pages() const { return definition_pages_; }

  // Rows in page order; a failure to read the owned-pages map ends at once
  // with that status.
  RowCursor Scan() const;
  // Rows in page order with only the cells of `columns` (positions in
  // columns(), at least one): the other columns are neither converted nor,
  // when long values, read.
  RowCursor Scan(std::span<const size_t> columns) const;
  // Converts one row's bytes (already split) into cells, reading long values.
  Status DecodeCells(format::ConstBytes row, std::vector<Cell>& out, const char* where) const;
  // The same for the columns `columns` (definitions from columns(), one cell
  // each), splitting the row with `fields` as scratch.
  Status DecodeCells(format::ConstBytes row, std::span<const format::ColumnDef> columns,
                     std::vector<format::RawField>& fields, std::vector<Cell>& out, const char* where) const;

  PageStore& store() const { return *store_; }

 private:
  Table(PageStore& store, uint32_t tdef_page, std::string name, format::TableDefinition def,
        std::vector<uint32_t> pages)
      : store_(&store), tdef_page_(tdef_page), name_(std::move(name)), def_(std::move(def)),
        definition_pages_(std::move(pages)) {}

  PageStore* store_;
  uint32_t tdef_page_;
  std::string name_;
  format::TableDefinition def_;
  std::vector<uint32_t> definition_pages_;
};

}  // namespace jet::table
