#pragma once
// The main window ("Form1" in error reports): the PostgreSQL connection fields,
// the Access target file and its password, the SQL preview options and the
// buttons that start every action. Every field and option is written to the
// settings store the moment it changes and read back at start-up, so the window
// reopens as it was left. The conversion run reads the window through the
// accessors below; the controls themselves are private.

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "db/list_box.h"
#include "db/source_fields.h"
#include "db/target_fields.h"
#include "engine/run_state.h"
#include "platform/ado/connection.h"
#include "platform/ui/qt/settings_store.h"
#include "widgets/controls.h"

namespace report {
class Trap;
}

namespace app {

class MainWindow : public QWidget {
 public:
  // The window's name in error reports ("Form1.PushButton7_Click") and pointer rules.
  static constexpr const char* kName = "Form1";

  // The controls by role, in tab order; the designer names are kept in the
  // comments for tracing reports and settings keys back to them.
  struct ControlSet {
    QPushButton* transfer_help_button;        // PushButton5 "Help"
    QGroupBox* source_frame;                  // Frame1
    QLabel* server_label;                     // Label6
    widgets::TextBox* server_edit;            // Text1
    QLabel* port_label;                       // Label8
    widgets::TextBox* port_edit;              // Text9
    QLabel* user_label;                       // Label2
    widgets::TextBox* user_edit;              // Text3
    QLabel* password_label;                   // Label7
    widgets::TextBox* password_edit;          // Text7
    QLabel* database_label;                   // Label9
    widgets::TextBox* database_edit;          // Text10
    QPushButton* test_connection_button;      // PushButton1
    QPushButton* login_help_button;           // PushButton2 "Help"
    QGroupBox* target_frame;                  // Frame3
    QLabel* target_file_label;                // Label5
    widgets::TextBox* target_file_edit;       // Text5
    QPushButton* browse_button;               // PushButton3 "..."
    QLabel* target_password_label;            // lblPassword
    widgets::TextBox* target_password_edit;   // Text6
    widgets::CheckBox* keep_types_check;      // "Keep column types, keys and relationships"
    QPushButton* sample_button;               // PushButton4
    QGroupBox* preview_frame;                 // Frame2
    widgets::CheckBox* preview_check;         // Check1
    widgets::OptionButton* per_file_option;   // Option1
    widgets::OptionButton* per_table_option;  // Option2
    QPushButton* start_button;                // PushButton7 "Start Converting"
    widgets::ProgressBar* progress_bar;       // ProgressBar1
  };

  explicit MainWindow(ui::SettingsStore& settings, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Loading the settings: steps 130 to 150 of Form1.Form_Load, under its trap.
  void LoadSettings(report::Trap& trap);

  // Field and option handlers.
  void PreviewCheckClicked();   // Check1_Click
  void PreviewOptionClicked();  // Option1_Click, Option2_Click

  // Button actions; their reports name the designer procedures.
  void TestConnection();      // Form1.PushButton1_Click "Test Connection"
  void ShowLoginHint();       // Form1.PushButton2_Click "Help"
  void ChooseTargetFile();    // Form1.PushButton3_Click "..."
  void LoadSampleDatabase();  // Form1.PushButton4_Click "Load Sample/Example Database"
  void ShowTransferNotes();   // Form1.PushButton5_Click "Help"
  void StartConverting();     // Form1.PushButton7_Click "Start Converting"

  // What the conversion run reads and writes.
  db::SourceFields SourceFields() const;  // the five PostgreSQL fields as displayed
  db::TargetFields TargetFields() const;  // the Access file and its password as displayed
  int PreviewCheck() const;               // the preview check box's state: 1 ticked
  bool KeepTypes() const;                 // "Keep column types, keys and relationships" ticked
  bool PerFileOption() const;
  bool PerTableOption() const;
  void SetProgressValue(int percent);
  void SetProgressCaption(const std::string& caption);
  // The run's table lists (List1 and List2), never shown.
  db::MemoryListBox& TargetTables() { return target_tables_; }
  db::MemoryListBox& SourceTables() { return source_tables_; }
  // The run's target connection (access_conn) and flags, kept with the window.
  std::unique_ptr<ado::Connection>& AccessConn() { return access_conn_; }
  engine::RunState& State() { return run_state_; }

  // The controls, for tests and pictures that drive the window as a user would.
  const ControlSet& Controls() const { return ui_; }

  // Lets the target connection commit what it has executed while the program waits.
  void CommitWhileIdle();

  // The "Start Converting" action; the conversion run installs it.
  std::function<void(MainWindow&)> start_converting;
  // Ends the program once the window has closed; QuitProgram by default.
  std::function<void()> end_program;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void WriteSetting(const char* key, const std::string& text);

  ui::SettingsStore& settings_;
  bool loading_keep_types_ = false;  // the check box set from the settings, not by the user
  ControlSet ui_{};
  db::MemoryListBox target_tables_;
  db::MemoryListBox source_tables_;
  std::unique_ptr<ado::Connection> access_conn_;
  engine::RunState run_state_;
};

// Ends the program: no trap runs a further step, every event loop returns and
// no further dialog is shown.
void QuitProgram();

}  // namespace app
