#include "preview/form3.h"

#include "app/error_report.h"
#include "app/window_helpers.h"
#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"
#include "preview/row_text.h"
#include "preview/statement_model.h"
#include "preview/window_look.h"

namespace preview {

Form3::Form3(StatementModel& rows, QWidget* owner) : QDialog(owner), rows_(rows) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(1500));
  Text1 = new app::TextBox(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Place(Text1, 1560, 120, 6360, 345);
  Text2 = new app::TextBox(this);
  Text2->setObjectName(QStringLiteral("Text2"));
  Place(Text2, 1560, 600, 6360, 345);
  Label2 = new QLabel(QStringLiteral("Find what:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Place(Label2, 120, 165, 1215, 255);
  Label2->setBuddy(Text1);
  Label6 = new QLabel(QStringLiteral("Replace with:"), this);
  Label6->setObjectName(QStringLiteral("Label6"));
  Place(Label6, 120, 645, 1215, 255);
  Label6->setBuddy(Text2);
  for (QLabel* label : {Label2, Label6}) {
    // A caption a few pixels wider than its twips grows into the gap before its box.
    if (label->sizeHint().width() > label->width()) label->resize(label->sizeHint().width(), label->height());
  }
  PushButton2 = MakeButton(this, "PushButton2", "Replace", 120, 1050, 3840, 405);
  PushButton1 = MakeButton(this, "PushButton1", "Cancel", 4080, 1050, 3840, 405);
  setTabOrder(Text1, Text2);
  setTabOrder(Text2, PushButton2);
  setTabOrder(PushButton2, PushButton1);

  connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
  connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
  app::InstallHoverRule(this, kName, {this}, {PushButton1, PushButton2});
  ui::WindowPointers::Register(kName, this);
}

void Form3::Form_Load() {
  report::Trap trap("Form3.Form_Load");
  LoadWindowLook(trap, 100, this, kName, "Find and Replace");
}

void Form3::Open() {
  Text1->clear();
  Text2->clear();
  Form_Load();
  Text1->setFocus();
  ShowModal(this);
}

void Form3::PushButton1_Click() {
  report::Trap trap("Form3.PushButton1_Click");
  trap(100, [&] { close(); });
}

void Form3::PushButton2_Click() {
  report::Trap trap("Form3.PushButton2_Click");
  ui::Services& services = ui::Current();
  StatementList& list = rows_.List();
  bool empty = false;
  trap(100, [&] { empty = list.Count() == 0; });
  if (empty) {
    trap(102, [&] { services.MessageBox("No SQL to run."); });
    return;
  }
  trap(104, [&] { services.SetPointer(kName, ui::kPointerHourglass); });
  const std::string search = Text1->Text();
  const std::string replacement = Text2->Text();
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
