#include "preview/form5.h"

#include "app/error_report.h"
#include "app/window_helpers.h"
#include "platform/ui/qt/window_pointers.h"
#include "preview/window_look.h"

namespace preview {

Form5::Form5(engine::ConversionLog& log, QWidget* owner) : QDialog(owner), log_(log), model_(log, this) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(8340));
  ListView1 = new ReportList(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  Place(ListView1, 120, 630, 7800, 7605);
  ListView1->setToolTip(QString::fromUtf8(kListTooltip));
  PushButton5 = MakeButton(this, "PushButton5", "< Back", 120, 120, 7800, 405);
  setTabOrder(ListView1, PushButton5);

  connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
  app::InstallHoverRule(this, kName, {this, ListView1, ListView1->viewport()}, {PushButton5});
  ui::WindowPointers::Register(kName, this);
}

void Form5::Form_Load() {
  report::Trap trap("Form5.Form_Load");
  const int step = LoadWindowLook(trap, 100, this, kName, "Datatypes Conversion");
  trap(step, [&] { ListView1->setModel(&model_); });
  trap(step + 2, [&] {
    for (int column = 0; column < 4; ++column) ListView1->SetColumnWidthTwips(column, 1700);
  });
}

void Form5::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void Form5::Open() {
  Load();
  model_.Refresh();
  ShowModal(this);
  if (isVisible()) hide();
  Unload();
}

void Form5::Unload() {
  log_.Clear();
  model_.Refresh();
  loaded_ = false;
}

void Form5::PushButton5_Click() {
  report::Trap trap("Form5.PushButton5_Click");
  trap(100, [&] { close(); });
}

}  // namespace preview
