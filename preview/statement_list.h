#pragma once
// The StatementList: the rows of the SQL Preview list, one complete statement
// per row, numbered from 1, each with a tick mark (clear when added). The run
// appends to it; Edit Line and Find and Replace change row texts in place; the
// executor reads it. Rows are never inserted, removed or reordered, only
// cleared all at once.
//
// A run may list millions of statements, so the texts live in large shared
// blocks with a 12-byte entry per row instead of a string object per row.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/statement_sink.h"
#include "preview/list_rows.h"

namespace preview {

class StatementList : public engine::StatementSink, public preview::ListRows {
 public:
  StatementList();
  ~StatementList() override;

  void Clear() override;
  void Append(std::string_view statement) override;

  int Count() const { return static_cast<int>(entries_.size()); }
  // Row `row` (from 1). Throws std::out_of_range("Index out of bounds") for a
  // row that does not exist. The view stays valid until the list next changes.
  std::string_view Text(int row) const;
  void SetText(int row, std::string_view text);

  bool Ticked(int row) const;
  void SetTicked(int row, bool ticked);
  void SetAllTicked(bool ticked);

  // Bytes held for the rows: texts (with what edits left behind) and entries.
  size_t MemoryBytes() const;

  // preview::ListRows: one column, the statement.
  int RowCount() const override { return Count(); }
  int ColumnCount() const override { return 1; }
  std::string_view ColumnText(int row, int column) const override;
  bool RowTicked(int row) const override { return Ticked(row); }

 private:
  struct Entry {
    uint32_t block;
    uint32_t offset;
    uint32_t length;
  };
  struct Block {
    std::unique_ptr<char[]> bytes;
    uint32_t size = 0;
    uint32_t used = 0;
  };

  size_t Index(int row) const;
  Entry Store(std::string_view text);
  // Rewrites the texts into fresh blocks once edits have left more dead bytes
  // than live ones.
  void CompactIfWorthIt();

  std::vector<Block> blocks_;
  std::vector<Entry> entries_;
  std::vector<bool> ticks_;
  size_t live_bytes_ = 0;
  size_t dead_bytes_ = 0;
};

}  // namespace preview
