#pragma once
// The SQL Preview list's model: one column headed "SQL Preview" over the
// StatementList, with a tick box per row. It reads the rows live, so a view
// repaints whatever the list holds; the row count it reports is taken at
// Refresh, which the window calls when it is shown and after the list was
// emptied, so the view never meets a count it was not told about.

#include <QAbstractListModel>
#include <string_view>

#include "preview/statement_list.h"

namespace preview {

class StatementModel : public QAbstractListModel {
 public:
  explicit StatementModel(StatementList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  StatementList& List() { return list_; }
  // Takes the list's current rows.
  void Refresh();
  // Row `row` (from 1) gets `text`; the view repaints it.
  void SetRowText(int row, std::string_view text);
  // Repaints rows first..last (from 1) after they were changed on the list.
  void RowsChanged(int first, int last);
  void TickAll(bool ticked);
  // True once after a tick box was toggled by the user, so that the click that
  // toggled it does not also open the row.
  bool TakeTickToggled();

 private:
  StatementList& list_;
  int shown_ = 0;
  bool tick_toggled_ = false;
};

}  // namespace preview
