#pragma once
// Edit Line ("Form4" in error reports): rewrites one row of the SQL Preview
// list. The preview sets ListLine and the text, shows the window modally; "OK"
// writes the text back exactly as typed, "Cancel" or the close box leave the
// row alone.

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

namespace preview {

class StatementModel;

// The multi-line box of Edit Line: Tab moves on, and focus entering it selects
// the whole text.
class EditLineBox : public QPlainTextEdit {
 public:
  explicit EditLineBox(QWidget* parent);

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

class EditLineDialog : public QDialog {
 public:
  static constexpr const char* kName = "Form4";

  struct ControlSet {
    EditLineBox* line_edit;      // Text1
    QPushButton* ok_button;      // PushButton2 "OK"
    QPushButton* cancel_button;  // PushButton1 "Cancel"
  };

  EditLineDialog(StatementModel& rows, QWidget* owner);

  // Loads the window, puts `text` into the line box for row `line` and shows it
  // modally; returns when it closes.
  void Open(int line, const std::string& text);

  void LoadWindow();  // Form4.Form_Load
  void Cancel();      // Form4.PushButton1_Click "Cancel"
  void Confirm();     // Form4.PushButton2_Click "OK"

  // The text as it stands: the original text, byte for byte, while it reads
  // as it did when the window opened.
  std::string EditedText() const;

  // The row being edited (from 1).
  int ListLine = 0;

  // The controls, for tests and pictures that drive the window as a user would.
  const ControlSet& Controls() const { return ui_; }

 private:
  ControlSet ui_{};
  StatementModel& rows_;
  std::string original_;
  QString original_shown_;
};

}  // namespace preview
