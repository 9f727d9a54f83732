#pragma once
// The conversion log: one ColumnMapping row per source field, in record-set
// order, tables in processing order. The Datatypes Conversion window shows it;
// the run empties it. Rows are filled the way a report-style list view is: a
// row is added with its text (the table), then the sub-items of the last row
// are set one by one.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct ColumnMapping {
  std::string table;
  std::string field;
  std::string source_type;  // the label of the mapping rule; empty for a skipped field
  std::string access_type;  // empty for a skipped field

  bool operator==(const ColumnMapping&) const = default;
};

class ConversionLog {
 public:
  // Sub-item numbers as the list view counts them after the row's own text.
  enum SubItem : int { kField = 1, kSourceType = 2, kAccessType = 3 };

  void AddRow(std::string_view table);
  // Sets sub-item 1, 2 or 3 of the last row. Raises when there is no row or
  // the number is out of range, as the list view would.
  void SetLastRowSubItem(int sub_item, std::string_view text);

  size_t RowCount() const { return rows_.size(); }
  // Row `index`, counted from 0.
  const ColumnMapping& Row(size_t index) const { return rows_.at(index); }
  const std::vector<ColumnMapping>& Rows() const { return rows_; }
  void Clear() { rows_.clear(); }

 private:
  std::vector<ColumnMapping> rows_;
};

}  // namespace engine
