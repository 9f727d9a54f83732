#include "preview/statement_model.h"

namespace preview {

StatementModel::StatementModel(StatementList& list, QObject* parent) : QAbstractListModel(parent), list_(list) {}

int StatementModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

QVariant StatementModel::data(const QModelIndex& index, int role) const {
  const int row = index.row() + 1;
  if (!index.isValid() || row > list_.Count()) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const std::string_view text = list_.Text(row);
      return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    case Qt::CheckStateRole:
      return list_.Ticked(row) ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

bool StatementModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const int row = index.row() + 1;
  if (!index.isValid() || role != Qt::CheckStateRole || row > list_.Count()) return false;
  list_.SetTicked(row, value.toInt() == Qt::Checked);
  tick_toggled_ = true;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}

Qt::ItemFlags StatementModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

QVariant StatementModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) return QStringLiteral("SQL Preview");
  return {};
}

void StatementModel::Refresh() {
  beginResetModel();
  shown_ = list_.Count();
  endResetModel();
}

void StatementModel::SetRowText(int row, std::string_view text) {
  list_.SetText(row, text);
  if (row <= shown_) {
    const QModelIndex changed = index(row - 1);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
  }
}

void StatementModel::RowsChanged(int first, int last) {
  last = std::min(last, shown_);
  if (first < 1 || first > last) return;
  emit dataChanged(index(first - 1), index(last - 1));
}

void StatementModel::TickAll(bool ticked) {
  list_.SetAllTicked(ticked);
  RowsChanged(1, shown_);
}

bool StatementModel::TakeTickToggled() {
  const bool toggled = tick_toggled_;
  tick_toggled_ = false;
  return toggled;
}

}  // namespace preview
