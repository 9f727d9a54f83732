#include "preview/form4.h"

#include <QFocusEvent>
#include <QTextCursor>

#include "app/error_report.h"
#include "app/window_helpers.h"
#include "platform/ui/qt/window_pointers.h"
#include "preview/statement_model.h"
#include "preview/window_look.h"

namespace preview {

EditLineBox::EditLineBox(QWidget* parent) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

void EditLineBox::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  selectAll();
}

Form4::Form4(StatementModel& rows, QWidget* owner) : QDialog(owner), rows_(rows) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(2580));
  Text1 = new EditLineBox(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Place(Text1, 120, 120, 7800, 1905);
  PushButton2 = MakeButton(this, "PushButton2", "OK", 120, 2130, 3840, 405);
  PushButton1 = MakeButton(this, "PushButton1", "Cancel", 4080, 2130, 3840, 405);
  setTabOrder(Text1, PushButton2);
  setTabOrder(PushButton2, PushButton1);

  connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
  connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
  app::InstallHoverRule(this, kName, {this}, {PushButton1, PushButton2});
  ui::WindowPointers::Register(kName, this);
}

void Form4::Form_Load() {
  report::Trap trap("Form4.Form_Load");
  LoadWindowLook(trap, 100, this, kName, "Edit Line");
}

void Form4::Open(int line, const std::string& text) {
  Form_Load();
  ListLine = line;
  original_ = text;
  Text1->setPlainText(QString::fromStdString(text));
  original_shown_ = Text1->toPlainText();
  Text1->setFocus();
  ShowModal(this);
}

std::string Form4::EditedText() const {
  // The box shows line breaks as it likes; an unchanged text goes back byte for byte.
  const QString shown = Text1->toPlainText();
  if (shown == original_shown_) return original_;
  return shown.toStdString();
}

void Form4::PushButton1_Click() {
  report::Trap trap("Form4.PushButton1_Click");
  trap(100, [&] { close(); });
}

void Form4::PushButton2_Click() {
  report::Trap trap("Form4.PushButton2_Click");
  trap(100, [&] { rows_.SetRowText(ListLine, EditedText()); });
  trap(102, [&] { close(); });
}

}  // namespace preview
