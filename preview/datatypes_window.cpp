#include "preview/datatypes_window.h"

#include "platform/ui/qt/window_pointers.h"
#include "preview/window_look.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"

namespace preview {

DatatypesConversionWindow::DatatypesConversionWindow(engine::ConversionLog& log, QWidget* owner)
    : QDialog(owner), log_(log), model_(log, this) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(8340));
  ui_.log_view = new ReportList(this);
  ui_.log_view->setObjectName(QStringLiteral("log_view"));
  Place(ui_.log_view, 120, 630, 7800, 7605);
  ui_.log_view->setToolTip(QString::fromUtf8(kListTooltip));
  ui_.back_button = MakeButton(this, "back_button", "< Back", 120, 120, 7800, 405);
  setTabOrder(ui_.log_view, ui_.back_button);

  connect(ui_.back_button, &QPushButton::clicked, this, [this] { Back(); });
  widgets::InstallHoverRule(this, kName, {this, ui_.log_view, ui_.log_view->viewport()}, {ui_.back_button});
  ui::WindowPointers::Register(kName, this);
}

void DatatypesConversionWindow::LoadWindow() {
  report::Trap trap(report::procedures::kDatatypesLoad);
  const int step = LoadWindowLook(trap, 100, this, kName, "Datatypes Conversion");
  trap(step, [&] { ui_.log_view->setModel(&model_); });
  trap(step + 2, [&] {
    for (int column = 0; column < 4; ++column) ui_.log_view->SetColumnWidthTwips(column, 1700);
  });
}

void DatatypesConversionWindow::Load() {
  if (loaded_) return;
  loaded_ = true;
  LoadWindow();
}

void DatatypesConversionWindow::Open() {
  Load();
  model_.Refresh();
  ShowModal(this);
  if (isVisible()) hide();
  Unload();
}

void DatatypesConversionWindow::Unload() {
  log_.Clear();
  model_.Refresh();
  loaded_ = false;
}

void DatatypesConversionWindow::Back() {
  report::Trap trap(report::procedures::kDatatypesBack);
  trap(100, [&] { close(); });
}

}  // namespace preview
