#pragma once
// The Datatypes Conversion list's model: the conversion log in four columns.
// Like the preview list, it reads the rows live and takes their count at Refresh.

#include <QAbstractTableModel>

#include "engine/conversion_log.h"

namespace preview {

class LogModel : public QAbstractTableModel {
 public:
  explicit LogModel(engine::ConversionLog& log, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void Refresh();

 private:
  engine::ConversionLog& log_;
  int shown_ = 0;
};

}  // namespace preview
