#include "preview/find_replace_dialog.h"

#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"
#include "preview/row_text.h"
#include "preview/statement_model.h"
#include "preview/window_look.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"

namespace preview {

FindReplaceDialog::FindReplaceDialog(StatementModel& rows, QWidget* owner) : QDialog(owner), rows_(rows) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(1500));
  ui_.find_edit = new widgets::TextBox(this);
  ui_.find_edit->setObjectName(QStringLiteral("find_edit"));
  Place(ui_.find_edit, 1560, 120, 6360, 345);
  ui_.replace_edit = new widgets::TextBox(this);
  ui_.replace_edit->setObjectName(QStringLiteral("replace_edit"));
  Place(ui_.replace_edit, 1560, 600, 6360, 345);
  ui_.find_label = new QLabel(QStringLiteral("Find what:"), this);
  ui_.find_label->setObjectName(QStringLiteral("find_label"));
  Place(ui_.find_label, 120, 165, 1215, 255);
  ui_.find_label->setBuddy(ui_.find_edit);
  ui_.replace_label = new QLabel(QStringLiteral("Replace with:"), this);
  ui_.replace_label->setObjectName(QStringLiteral("replace_label"));
  Place(ui_.replace_label, 120, 645, 1215, 255);
  ui_.replace_label->setBuddy(ui_.replace_edit);
  for (QLabel* label : {ui_.find_label, ui_.replace_label}) {
    // A caption a few pixels wider than its twips grows into the gap before its box.
    if (label->sizeHint().width() > label->width()) label->resize(label->sizeHint().width(), label->height());
  }
  ui_.replace_button = MakeButton(this, "replace_button", "Replace", 120, 1050, 3840, 405);
  ui_.cancel_button = MakeButton(this, "cancel_button", "Cancel", 4080, 1050, 3840, 405);
  setTabOrder(ui_.find_edit, ui_.replace_edit);
  setTabOrder(ui_.replace_edit, ui_.replace_button);
  setTabOrder(ui_.replace_button, ui_.cancel_button);

  connect(ui_.replace_button, &QPushButton::clicked, this, [this] { Replace(); });
  connect(ui_.cancel_button, &QPushButton::clicked, this, [this] { Cancel(); });
  widgets::InstallHoverRule(this, kName, {this}, {ui_.cancel_button, ui_.replace_button});
  ui::WindowPointers::Register(kName, this);
}

void FindReplaceDialog::LoadWindow() {
  report::Trap trap(report::procedures::kFindReplaceLoad);
  LoadWindowLook(trap, 100, this, kName, "Find and Replace");
}

void FindReplaceDialog::Open() {
  ui_.find_edit->clear();
  ui_.replace_edit->clear();
  LoadWindow();
  ui_.find_edit->setFocus();
  ShowModal(this);
}

void FindReplaceDialog::Cancel() {
  report::Trap trap(report::procedures::kFindReplaceCancel);
  trap(100, [&] { close(); });
}

void FindReplaceDialog::Replace() {
  report::Trap trap(report::procedures::kFindReplaceReplace);
  ui::Services& services = ui::Current();
  StatementList& list = rows_.List();
  bool empty = false;
  trap(100, [&] { empty = list.Count() == 0; });
  if (empty) {
    trap(102, [&] { services.MessageBox("No SQL to run."); });
    return;
  }
  trap(104, [&] { services.SetPointer(kName, ui::kPointerHourglass); });
  const std::string search = ui_.find_edit->Text();
  const std::string replacement = ui_.replace_edit->Text();
  int n = 0;
  trap(106, [&] { n = list.Count(); });
  int changed_first = 0, changed_last = 0;
  for (int x = 1; x <= n; ++x) {
    trap(108, [&] { services.ProcessEvents(); });
    if (report::EndRequested() || x > list.Count()) break;
    std::optional<std::string> changed;
    trap(110, [&] { changed = ReplaceFirstOccurrence(list.Text(x), search, replacement); });
    if (!changed) continue;
    trap(112, [&] {
      list.SetText(x, *changed);
      if (!changed_first) changed_first = x;
      changed_last = x;
    });
  }
  if (changed_first) rows_.RowsChanged(changed_first, changed_last);
  // The hourglass goes before the message, and does not stay for the next opening.
  trap(114, [&] { services.SetPointer(kName, ui::kPointerDefault); });
  trap(116, [&] { services.MessageBox("Done."); });
  trap(118, [&] { close(); });
}

}  // namespace preview
