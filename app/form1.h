#pragma once
// Form1, the main window: the PostgreSQL connection fields, the Access target
// file and its password, the SQL preview options and the buttons that start
// every action. Every field and option is written to the settings store the
// moment it changes and read back at start-up, so the window reopens as it was
// left. Controls keep their designer names; the conversion run and the preview
// windows reach them directly.

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/controls.h"
#include "db/list_box.h"
#include "db/source_fields.h"
#include "db/target_fields.h"
#include "platform/ado/connection.h"
#include "platform/ui/qt/settings_store.h"

namespace report {
class Trap;
}

namespace app {

class Form1 : public QWidget {
 public:
  static constexpr const char* kName = "Form1";

  explicit Form1(ui::SettingsStore& settings, QWidget* parent = nullptr);
  ~Form1() override;

  // Pixels for a length in twips at the screen's scale (15 twips a pixel at 96 dpi).
  int Px(int twips) const;

  // Loading the settings: steps 130 to 150 of Form1.Form_Load, under its trap.
  void LoadSettings(report::Trap& trap);

  // Field and option handlers.
  void Check1_Click();
  void Option_Click();

  // Button actions.
  void PushButton1_Click();  // "Test Connection"
  void PushButton2_Click();  // "Help": the login hint
  void PushButton3_Click();  // "...": choose the Access file
  void PushButton4_Click();  // "Load Sample/Example Database"
  void PushButton5_Click();  // "Help": what is transferred
  void PushButton7_Click();  // "Start Converting"

  // The five PostgreSQL fields as displayed.
  db::SourceFields SourceFields() const;
  // The Access file and its password as displayed.
  db::TargetFields TargetFields() const;

  // Lets the target connection commit what it has executed while the program waits.
  void CommitWhileIdle();

  // The "Start Converting" action; the conversion run installs it.
  std::function<void(Form1&)> start_converting;
  // Ends the program once the window has closed; QuitProgram by default.
  std::function<void()> end_program;

  // Controls, in tab order.
  QPushButton* PushButton5;
  QGroupBox* Frame1;
  QLabel* Label6;
  TextBox* Text1;
  QLabel* Label8;
  TextBox* Text9;
  QLabel* Label2;
  TextBox* Text3;
  QLabel* Label7;
  TextBox* Text7;
  QLabel* Label9;
  TextBox* Text10;
  QPushButton* PushButton1;
  QPushButton* PushButton2;
  QGroupBox* Frame3;
  QLabel* Label5;
  TextBox* Text5;
  QPushButton* PushButton3;
  QLabel* lblPassword;
  TextBox* Text6;
  QPushButton* PushButton4;
  QGroupBox* Frame2;
  CheckBox* Check1;
  OptionButton* Option1;
  OptionButton* Option2;
  QPushButton* PushButton7;
  ProgressBar* ProgressBar1;

  // The conversion run's table lists: target (List1) and source (List2) table
  // names. Never shown.
  db::MemoryListBox List1;
  db::MemoryListBox List2;

  // The conversion run's state kept with the window.
  std::unique_ptr<ado::Connection> access_conn;
  bool SQLFormOK = false;
  bool busy = false;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void WriteSetting(const char* key, const std::string& text);

  ui::SettingsStore& settings_;
  double scale_ = 1.0;
};

// Ends the program: no trap runs a further step, every event loop returns and
// no further dialog is shown.
void QuitProgram();

}  // namespace app
