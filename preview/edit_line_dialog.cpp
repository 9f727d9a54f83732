#include "preview/edit_line_dialog.h"

#include <QFocusEvent>
#include <QTextCursor>

#include "platform/ui/qt/window_pointers.h"
#include "preview/statement_model.h"
#include "preview/window_look.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"

namespace preview {

EditLineBox::EditLineBox(QWidget* parent) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

void EditLineBox::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  selectAll();
}

EditLineDialog::EditLineDialog(StatementModel& rows, QWidget* owner) : QDialog(owner), rows_(rows) {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(2580));
  ui_.line_edit = new EditLineBox(this);
  ui_.line_edit->setObjectName(QStringLiteral("line_edit"));
  Place(ui_.line_edit, 120, 120, 7800, 1905);
  ui_.ok_button = MakeButton(this, "ok_button", "OK", 120, 2130, 3840, 405);
  ui_.cancel_button = MakeButton(this, "cancel_button", "Cancel", 4080, 2130, 3840, 405);
  setTabOrder(ui_.line_edit, ui_.ok_button);
  setTabOrder(ui_.ok_button, ui_.cancel_button);

  connect(ui_.ok_button, &QPushButton::clicked, this, [this] { Confirm(); });
  connect(ui_.cancel_button, &QPushButton::clicked, this, [this] { Cancel(); });
  widgets::InstallHoverRule(this, kName, {this}, {ui_.cancel_button, ui_.ok_button});
  ui::WindowPointers::Register(kName, this);
}

void EditLineDialog::LoadWindow() {
  report::Trap trap(report::procedures::kEditLineLoad);
  LoadWindowLook(trap, 100, this, kName, "Edit Line");
}

void EditLineDialog::Open(int line, const std::string& text) {
  LoadWindow();
  ListLine = line;
  original_ = text;
  ui_.line_edit->setPlainText(QString::fromStdString(text));
  original_shown_ = ui_.line_edit->toPlainText();
  ui_.line_edit->setFocus();
  ShowModal(this);
}

std::string EditLineDialog::EditedText() const {
  // The box shows line breaks as it likes; an unchanged text goes back byte for byte.
  const QString shown = ui_.line_edit->toPlainText();
  if (shown == original_shown_) return original_;
  return shown.toStdString();
}

void EditLineDialog::Cancel() {
  report::Trap trap(report::procedures::kEditLineCancel);
  trap(100, [&] { close(); });
}

void EditLineDialog::Confirm() {
  report::Trap trap(report::procedures::kEditLineConfirm);
  trap(100, [&] { rows_.SetRowText(ListLine, EditedText()); });
  trap(102, [&] { close(); });
}

}  // namespace preview
