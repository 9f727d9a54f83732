#pragma once
// Find and Replace ("Form3" in error reports): in every row of the SQL Preview
// list, replaces the first occurrence of the search text (any letter case) by
// the replacement as typed, then says "Done." and closes. Each opening serves
// one pass.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "widgets/controls.h"

namespace preview {

class StatementModel;

class FindReplaceDialog : public QDialog {
 public:
  static constexpr const char* kName = "Form3";

  struct ControlSet {
    widgets::TextBox* find_edit;     // Text1 "Find what:"
    widgets::TextBox* replace_edit;  // Text2 "Replace with:"
    QLabel* find_label;              // Label2
    QLabel* replace_label;           // Label6
    QPushButton* replace_button;     // PushButton2 "Replace"
    QPushButton* cancel_button;      // PushButton1 "Cancel"
  };

  FindReplaceDialog(StatementModel& rows, QWidget* owner);

  // Loads the window with both boxes empty and shows it modally.
  void Open();

  void LoadWindow();  // Form3.Form_Load
  void Cancel();      // Form3.PushButton1_Click "Cancel"
  void Replace();     // Form3.PushButton2_Click "Replace"

  // The controls, for tests and pictures that drive the window as a user would.
  const ControlSet& Controls() const { return ui_; }

 private:
  ControlSet ui_{};
  StatementModel& rows_;
};

}  // namespace preview
