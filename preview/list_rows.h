#pragma once
// What the clipboard copy reads from a report-style list: rows (from 1), the
// texts of their columns (column 1 is the row's own text, the others its
// sub-items) and their tick marks.

#include <string_view>

namespace preview {

class ListRows {
 public:
  virtual ~ListRows() = default;
  virtual int RowCount() const = 0;
  virtual int ColumnCount() const = 0;
  // Valid until the list next changes.
  virtual std::string_view ColumnText(int row, int column) const = 0;
  virtual bool RowTicked(int row) const = 0;
};

}  // namespace preview
