#include "preview/log_model.h"

namespace preview {

LogModel::LogModel(engine::ConversionLog& log, QObject* parent) : QAbstractTableModel(parent), log_(log) {}

int LogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant LogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole || size_t(index.row()) >= log_.RowCount()) return {};
  const engine::ColumnMapping& row = log_.Row(size_t(index.row()));
  const std::string* texts[] = {&row.table, &row.field, &row.source_type, &row.access_type};
  return QString::fromStdString(*texts[index.column()]);
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeadings[] = {"PostgreSQL Table", "PostgreSQL Table Field", "PostgreSQL Field Datatype",
                                          "New MS Access Datatype"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
  return QString::fromUtf8(kHeadings[section]);
}

Qt::ItemFlags LogModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void LogModel::Refresh() {
  beginResetModel();
  shown_ = int(log_.RowCount());
  endResetModel();
}

}  // namespace preview
