#pragma once
// A report-style list view: rows of one line each under column headings, no
// tree decoration, whole rows selected one at a time, nothing edited in place.
// Rows are all one height, so a list of millions scrolls without measuring them.

#include <QTreeView>

namespace preview {

class ReportList : public QTreeView {
 public:
  explicit ReportList(QWidget* parent);
  // Sets column `column` (from 0) to `twips` wide.
  void SetColumnWidthTwips(int column, int twips);
};

}  // namespace preview
