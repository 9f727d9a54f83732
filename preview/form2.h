#pragma once
// Form2, SQL Preview: the statements of a conversion run, one per row, before
// they touch the Access file. The run fills the list while the window is
// hidden and shows it modally; "Execute SQL" runs the rows on the run's target
// connection, and the smaller windows edit, search and export them. The run
// learns how the window closed from SQLFormOK and EndRunAfterPreview.
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

#include "app/controls.h"
#include "engine/conversion_log.h"
#include "platform/ado/connection.h"
#include "preview/report_list.h"
#include "preview/row_progress_bar.h"
#include "preview/statement_list.h"
#include "preview/statement_model.h"

namespace preview {

class Form3;
class Form4;
class Form5;

class Form2 : public QDialog {
 public:
  static constexpr const char* kName = "Form2";

  // `access_conn` and `sql_form_ok` are the main window's members; the window
  // uses the connection and never opens or closes it.
  Form2(StatementList& rows, engine::ConversionLog& log, std::unique_ptr<ado::Connection>& access_conn,
        bool& sql_form_ok, QWidget* owner);
  ~Form2() override;

  // Loads the window invisibly unless it is loaded (the run touches the list).
  void Load();
  bool Loaded() const { return loaded_; }
  // Shows the window modally, owned by the main window; returns when it has
  // closed, with its rows and error text discarded.
  void Open();

  void Form_Load();
  void ListView1_Click();
  void PushButton1_Click();  // "Execute SQL"
  void PushButton2_Click();  // "Copy SQL To Clipboard"
  void PushButton3_Click();  // "Find and Replace"
  void PushButton4_Click();  // "Copy Error Message To Clipboard"
  void PushButton5_Click();  // "< Back"
  void PushButton6_Click();  // "Jump To Error Line"
  void PushButton7_Click();  // "View Datatype Conversion"
  void PushButton8_Click();  // "Email Error Message To Halvex"
  void PushButton9_Click();  // "Skip Table / Do Not Execute SQL"

  // Ticks or clears the tick box of every row (the list's context menu, or a
  // click on its heading).
  void TickAll(bool ticked);

  bool Executing() const { return passes_ > 0; }
  StatementModel& Model() { return model_; }
  Form3& FindAndReplaceWindow() { return *form3_; }
  Form4& EditLineWindow() { return *form4_; }
  Form5& DatatypesWindow() { return *form5_; }

  // The row of the last statement error (0: none since the program started).
  // Kept across closings and new lists.
  int ErrorLine = 0;

  // Controls, in tab order.
  ReportList* ListView1;
  QPushButton* PushButton1;
  QPushButton* PushButton3;
  QPushButton* PushButton2;
  app::MultiLineTextBox* Text1;
  QPushButton* PushButton6;
  QPushButton* PushButton4;
  QPushButton* PushButton8;
  QPushButton* PushButton5;
  RowProgressBar* ProgressBar1;
  QGroupBox* Frame2;
  QPushButton* PushButton7;
  QPushButton* PushButton9;

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

  StatementList& rows_;
  StatementModel model_;
  std::unique_ptr<ado::Connection>& access_conn_;
  bool& sql_form_ok_;
  Form3* form3_;
  Form4* form4_;
  Form5* form5_;
  bool loaded_ = false;
  int passes_ = 0;
  bool stop_requested_ = false;
  std::string error_text_;
  QString error_shown_;
  std::string progress_text_;  // reused by every row of a pass
};

}  // namespace preview
