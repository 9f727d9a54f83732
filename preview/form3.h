#pragma once
// Form3, Find and Replace: in every row of the SQL Preview list, replaces the
// first occurrence of the search text (any letter case) by the replacement as
// typed, then says "Done." and closes. Each opening serves one pass.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "app/controls.h"

namespace preview {

class StatementModel;

class Form3 : public QDialog {
 public:
  static constexpr const char* kName = "Form3";

  Form3(StatementModel& rows, QWidget* owner);

  // Loads the window with both boxes empty and shows it modally.
  void Open();

  void Form_Load();
  void PushButton1_Click();  // "Cancel"
  void PushButton2_Click();  // "Replace"

  app::TextBox* Text1;  // "Find what:"
  app::TextBox* Text2;  // "Replace with:"
  QLabel* Label2;
  QLabel* Label6;
  QPushButton* PushButton2;
  QPushButton* PushButton1;

 private:
  StatementModel& rows_;
};

}  // namespace preview
