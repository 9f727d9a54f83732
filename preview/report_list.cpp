#include "preview/report_list.h"

#include <QHeaderView>

#include "preview/window_look.h"

namespace preview {

ReportList::ReportList(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
}

void ReportList::SetColumnWidthTwips(int column, int twips) { setColumnWidth(column, Px(twips)); }

}  // namespace preview
