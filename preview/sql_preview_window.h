#pragma once
// The SQL Preview window ("Form2" in error reports): the statements of a
// conversion run, one per row, before they touch the Access file. The run fills
// the list while the window is hidden and shows it modally; "Execute SQL" runs
// the rows on the run's target connection, and the smaller windows edit, search
// and export them. The run learns how the window closed from its RunState.
//
// While "Execute SQL" runs, the buttons that would change the rows under it
// ("Execute SQL" itself and "Find and Replace") are disabled and a click on a
// row opens nothing; "< Back", "Skip Table / Do Not Execute SQL" and the close
// box stop the pass after the current row and close the window. Rows are
// discarded only once the window's modal loop has returned, when nothing is
// reading them any more.

#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <memory>
#include <string>

#include "engine/conversion_log.h"
#include "engine/run_state.h"
#include "platform/ado/connection.h"
#include "preview/report_list.h"
#include "preview/row_progress_bar.h"
#include "preview/statement_list.h"
#include "preview/statement_model.h"
#include "widgets/controls.h"

namespace preview {

class FindReplaceDialog;
class EditLineDialog;
class DatatypesConversionWindow;

class SqlPreviewWindow : public QDialog {
 public:
  static constexpr const char* kName = "Form2";

  // The controls by role, in tab order, with their designer names.
  struct ControlSet {
    ReportList* statements_view;            // ListView1
    QPushButton* execute_button;            // PushButton1 "Execute SQL"
    QPushButton* find_replace_button;       // PushButton3 "Find and Replace"
    QPushButton* copy_sql_button;           // PushButton2 "Copy SQL To Clipboard"
    widgets::MultiLineTextBox* error_text;  // Text1
    QPushButton* jump_to_error_button;      // PushButton6 "Jump To Error Line"
    QPushButton* copy_error_button;         // PushButton4 "Copy Error Message To Clipboard"
    QPushButton* email_error_button;        // PushButton8 "Email Error Message To Halvex"
    QPushButton* back_button;               // PushButton5 "< Back"
    RowProgressBar* progress_bar;           // ProgressBar1
    QGroupBox* error_frame;                 // Frame2 "Error:"
    QPushButton* datatypes_button;          // PushButton7 "View Datatype Conversion"
    QPushButton* skip_table_button;         // PushButton9 "Skip Table / Do Not Execute SQL"
  };

  // `access_conn` and `run_state` are kept with the main window; the window
  // uses the connection and never opens or closes it.
  SqlPreviewWindow(StatementList& rows, engine::ConversionLog& log, std::unique_ptr<ado::Connection>& access_conn,
                   engine::RunState& run_state, QWidget* owner);
  ~SqlPreviewWindow() override;

  // Loads the window invisibly unless it is loaded (the run touches the list).
  void Load();
  bool Loaded() const { return loaded_; }
  // Shows the window modally, owned by the main window; returns when it has
  // closed, with its rows and error text discarded.
  void Open();

  // The window's procedures; their reports name the designer procedures.
  void LoadWindow();        // Form2.Form_Load
  void StatementClicked();  // Form2.ListView1_Click
  void ExecuteSql();        // Form2.PushButton1_Click "Execute SQL"
  void CopySql();           // Form2.PushButton2_Click "Copy SQL To Clipboard"
  void OpenFindReplace();   // Form2.PushButton3_Click "Find and Replace"
  void CopyError();         // Form2.PushButton4_Click "Copy Error Message To Clipboard"
  void Back();              // Form2.PushButton5_Click "< Back"
  void JumpToErrorLine();   // Form2.PushButton6_Click "Jump To Error Line"
  void ShowDatatypes();     // Form2.PushButton7_Click "View Datatype Conversion"
  void EmailError();        // Form2.PushButton8_Click "Email Error Message To Halvex"
  void SkipTable();         // Form2.PushButton9_Click "Skip Table / Do Not Execute SQL"

  // Ticks or clears the tick box of every row (the list's context menu, or a
  // click on its heading).
  void TickAll(bool ticked);

  bool Executing() const { return passes_ > 0; }
  StatementModel& Model() { return model_; }
  FindReplaceDialog& FindAndReplaceWindow() { return *find_replace_; }
  EditLineDialog& EditLineWindow() { return *edit_line_; }
  DatatypesConversionWindow& DatatypesWindow() { return *datatypes_; }

  // The row of the last statement error (0: none since the program started).
  // Kept across closings and new lists.
  int ErrorLine = 0;

  // The controls, for tests and pictures that drive the window as a user would.
  const ControlSet& Controls() const { return ui_; }

 protected:
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void Unload();
  void ResetProgress();
  // Marks row `row` (from 1) as the selected one / scrolls it into view; both
  // throw "Index out of bounds" for a row the list does not have.
  void SelectRow(int row);
  void ScrollToRow(int row);
  void SetExecuting(bool executing);
  // The error text box: what was put there, byte for byte, until the user edits it.
  void SetErrorText(const std::string& text);
  std::string ErrorText() const;

  ControlSet ui_{};
  StatementList& rows_;
  StatementModel model_;
  std::unique_ptr<ado::Connection>& access_conn_;
  engine::RunState& run_state_;
  FindReplaceDialog* find_replace_;
  EditLineDialog* edit_line_;
  DatatypesConversionWindow* datatypes_;
  bool loaded_ = false;
  int passes_ = 0;
  bool stop_requested_ = false;
  std::string error_text_;
  QString error_shown_;
  std::string progress_text_;  // reused by every row of a pass
};

}  // namespace preview
