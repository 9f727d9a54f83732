#include "preview/report_list.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

#include "preview/window_look.h"

namespace preview {
namespace {

// Rows a little taller than the text, so that tick boxes do not touch.
class RoomyRows : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(size.height() + Px(60));
    return size;
  }
};

}  // namespace

ReportList::ReportList(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setItemDelegate(new RoomyRows(this));
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
}

void ReportList::SetColumnWidthTwips(int column, int twips) { setColumnWidth(column, Px(twips)); }

}  // namespace preview
