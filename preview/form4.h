#pragma once
// Form4, Edit Line: rewrites one row of the SQL Preview list. The preview sets
// ListLine and the text, shows the window modally; "OK" writes the text back
// exactly as typed, "Cancel" or the close box leave the row alone.

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

class Form4 : public QDialog {
 public:
  static constexpr const char* kName = "Form4";

  Form4(StatementModel& rows, QWidget* owner);

  // Loads the window, puts `text` into Text1 for row `line` and shows it
  // modally; returns when it closes.
  void Open(int line, const std::string& text);

  void Form_Load();
  void PushButton1_Click();  // "Cancel"
  void PushButton2_Click();  // "OK"

  // The text as it stands: the original text, byte for byte, while it reads
  // as it did when the window opened.
  std::string EditedText() const;

  // The row being edited (from 1).
  int ListLine = 0;

  EditLineBox* Text1;
  QPushButton* PushButton2;
  QPushButton* PushButton1;

 private:
  StatementModel& rows_;
  std::string original_;
  QString original_shown_;
};

}  // namespace preview
