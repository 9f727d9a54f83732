#include "preview/sql_preview_window.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <stdexcept>

#include "engine/statement_sink.h"
#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"
#include "preview/clipboard.h"
#include "preview/datatypes_window.h"
#include "preview/edit_line_dialog.h"
#include "preview/find_replace_dialog.h"
#include "preview/mail_link.h"
#include "preview/row_text.h"
#include "preview/window_look.h"
#include "report/addresses.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"

namespace preview {
namespace {

constexpr const char* kPasteHint = "Click a text area where you normally type and press Ctrl+V to paste the clipboard.";

}  // namespace

SqlPreviewWindow::SqlPreviewWindow(StatementList& rows, engine::ConversionLog& log,
                                   std::unique_ptr<ado::Connection>& access_conn, engine::RunState& run_state,
                                   QWidget* owner)
    : QDialog(owner), rows_(rows), model_(rows, this), access_conn_(access_conn), run_state_(run_state) {
  BuildControls();
  ConnectHandlers();
  find_replace_ = new FindReplaceDialog(model_, this);
  edit_line_ = new EditLineDialog(model_, this);
  datatypes_ = new DatatypesConversionWindow(log, this);
  ui::WindowPointers::Register(kName, this);
}

SqlPreviewWindow::~SqlPreviewWindow() = default;

void SqlPreviewWindow::BuildControls() {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(8430));

  ui_.statements_view = new ReportList(this);
  ui_.statements_view->setObjectName(QStringLiteral("statements_view"));
  Place(ui_.statements_view, 120, 630, 7800, 3315);
  ui_.statements_view->setToolTip(QString::fromUtf8(kListTooltip));
  ui_.statements_view->setContextMenuPolicy(Qt::CustomContextMenu);
  ui_.statements_view->setTextElideMode(Qt::ElideRight);

  ui_.execute_button = MakeButton(this, "execute_button", "Execute SQL", 120, 4040, 7800, 405);
  ui_.find_replace_button = MakeButton(this, "find_replace_button", "Find and Replace", 120, 4550, 3840, 405);
  ui_.copy_sql_button = MakeButton(this, "copy_sql_button", "Copy SQL To Clipboard", 4080, 4550, 3840, 405);

  ui_.error_frame = new QGroupBox(QStringLiteral("Error:"), this);
  ui_.error_frame->setObjectName(QStringLiteral("error_frame"));
  Place(ui_.error_frame, 120, 5010, 7800, 1785);
  ui_.error_text = new widgets::MultiLineTextBox(ui_.error_frame);
  ui_.error_text->setObjectName(QStringLiteral("error_text"));
  Place(ui_.error_text, 240, 300, 7320, 1290);

  ui_.jump_to_error_button = MakeButton(this, "jump_to_error_button", "Jump To Error Line", 120, 6900, 3840, 405);
  ui_.copy_error_button =
      MakeButton(this, "copy_error_button", "Copy Error Message To Clipboard", 4080, 6900, 3840, 405);
  ui_.email_error_button =
      MakeButton(this, "email_error_button", "Email Error Message To Halvex", 120, 7410, 3840, 405);
  ui_.back_button = MakeButton(this, "back_button", "< Back", 120, 120, 3720, 405);
  ui_.progress_bar = new RowProgressBar(this);
  ui_.progress_bar->setObjectName(QStringLiteral("progress_bar"));
  Place(ui_.progress_bar, 120, 7920, 7800, 405);
  ui_.datatypes_button = MakeButton(this, "datatypes_button", "View Datatype Conversion", 4080, 7410, 3840, 405);
  ui_.skip_table_button =
      MakeButton(this, "skip_table_button", "Skip Table / Do Not Execute SQL", 3960, 120, 3960, 405);
  ResetProgress();

  QWidget* order[] = {ui_.statements_view, ui_.execute_button,       ui_.find_replace_button, ui_.copy_sql_button,
                      ui_.error_text,      ui_.jump_to_error_button, ui_.copy_error_button,   ui_.email_error_button,
                      ui_.back_button,     ui_.datatypes_button,     ui_.skip_table_button};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void SqlPreviewWindow::ConnectHandlers() {
  connect(ui_.statements_view, &QAbstractItemView::clicked, this, [this](const QModelIndex&) { StatementClicked(); });
  ui_.statements_view->viewport()->installEventFilter(this);
  connect(ui_.statements_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* tick = menu.addAction(QStringLiteral("Tick All Rows"));
    QAction* untick = menu.addAction(QStringLiteral("Untick All Rows"));
    QAction* chosen = menu.exec(ui_.statements_view->viewport()->mapToGlobal(at));
    if (chosen == tick) TickAll(true);
    if (chosen == untick) TickAll(false);
  });
  // A click on the heading ticks every row, or clears them all when all are ticked.
  connect(ui_.statements_view->header(), &QHeaderView::sectionClicked, this, [this](int) {
    bool all = rows_.Count() > 0;
    for (int row = 1; all && row <= rows_.Count(); ++row) all = rows_.Ticked(row);
    TickAll(!all);
  });

  const std::pair<QPushButton*, void (SqlPreviewWindow::*)()> actions[] = {
      {ui_.execute_button, &SqlPreviewWindow::ExecuteSql},
      {ui_.copy_sql_button, &SqlPreviewWindow::CopySql},
      {ui_.find_replace_button, &SqlPreviewWindow::OpenFindReplace},
      {ui_.copy_error_button, &SqlPreviewWindow::CopyError},
      {ui_.back_button, &SqlPreviewWindow::Back},
      {ui_.jump_to_error_button, &SqlPreviewWindow::JumpToErrorLine},
      {ui_.datatypes_button, &SqlPreviewWindow::ShowDatatypes},
      {ui_.email_error_button, &SqlPreviewWindow::EmailError},
      {ui_.skip_table_button, &SqlPreviewWindow::SkipTable}};
  for (auto [button, action] : actions)
    connect(button, &QPushButton::clicked, this, [this, action] { (this->*action)(); });

  widgets::InstallHoverRule(
      this, kName, {this, ui_.error_frame, ui_.statements_view, ui_.statements_view->viewport()},
      {ui_.execute_button, ui_.copy_sql_button, ui_.find_replace_button, ui_.copy_error_button, ui_.back_button,
       ui_.jump_to_error_button, ui_.datatypes_button, ui_.email_error_button, ui_.skip_table_button});
}

bool SqlPreviewWindow::eventFilter(QObject* watched, QEvent* event) {
  // A tick toggled by the keyboard must not swallow the next click on a row.
  if (watched == ui_.statements_view->viewport() && event->type() == QEvent::MouseButtonPress) model_.TakeTickToggled();
  return QDialog::eventFilter(watched, event);
}

void SqlPreviewWindow::LoadWindow() {
  report::Trap trap(report::procedures::kPreviewLoad);
  const int step = LoadWindowLook(trap, 100, this, kName, "SQL Preview");
  trap(step, [&] {
    if (ui_.statements_view->model() != &model_) ui_.statements_view->setModel(&model_);
  });
  trap(step + 2, [&] { ui_.statements_view->SetColumnWidthTwips(0, 7000); });
}

void SqlPreviewWindow::Load() {
  if (loaded_) return;
  loaded_ = true;
  LoadWindow();
}

void SqlPreviewWindow::Open() {
  Load();
  model_.Refresh();
  SetErrorText({});
  ResetProgress();
  stop_requested_ = false;
  ShowModal(this);
  // The loop also returns when the program ends; the window goes all the same.
  if (isVisible()) hide();
  Unload();
}

void SqlPreviewWindow::Unload() {
  rows_.Clear();
  model_.Refresh();
  SetErrorText({});
  ResetProgress();
  loaded_ = false;
}

void SqlPreviewWindow::done(int result) {
  // A pass that is running stops after its current row; the rows stay until
  // the modal loop has returned.
  if (passes_ > 0) stop_requested_ = true;
  QDialog::done(result);
}

void SqlPreviewWindow::keyPressEvent(QKeyEvent* event) {
  // Escape would close the window and discard every edit; only "< Back",
  // "Skip Table" and the close box close it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void SqlPreviewWindow::ResetProgress() {
  ui_.progress_bar->setValue(0);
  ui_.progress_bar->SetCaption("Progress Bar");
}

void SqlPreviewWindow::SelectRow(int row) {
  if (row < 1 || row > model_.rowCount()) throw std::out_of_range("Index out of bounds");
  ui_.statements_view->selectionModel()->setCurrentIndex(
      model_.index(row - 1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void SqlPreviewWindow::ScrollToRow(int row) {
  if (row < 1 || row > model_.rowCount()) throw std::out_of_range("Index out of bounds");
  ui_.statements_view->scrollTo(model_.index(row - 1));
}

void SqlPreviewWindow::SetExecuting(bool executing) {
  ui_.execute_button->setEnabled(!executing);
  ui_.find_replace_button->setEnabled(!executing);
}

void SqlPreviewWindow::SetErrorText(const std::string& text) {
  error_text_ = text;
  ui_.error_text->setPlainText(QString::fromStdString(text));
  error_shown_ = ui_.error_text->toPlainText();
}

std::string SqlPreviewWindow::ErrorText() const {
  // The box shows line breaks as it likes; an unchanged text is read byte for byte.
  const QString shown = ui_.error_text->toPlainText();
  if (shown == error_shown_) return error_text_;
  return shown.toStdString();
}

void SqlPreviewWindow::TickAll(bool ticked) { model_.TickAll(ticked); }

void SqlPreviewWindow::StatementClicked() {
  if (model_.TakeTickToggled()) return;  // the click ticked or cleared the row's box
  if (Executing()) return;               // rows are not edited under a running pass
  report::Trap trap(report::procedures::kPreviewStatementClicked);
  int line = 0;
  trap(100, [&] {
    const QModelIndex current = ui_.statements_view->currentIndex();
    if (current.isValid() && ui_.statements_view->selectionModel()->isSelected(current)) line = current.row() + 1;
  });
  if (line < 1) return;
  std::string text;
  if (!trap(102, [&] { text = std::string(rows_.Text(line)); })) return;
  trap(104, [&] { edit_line_->Open(line, text); });
}

void SqlPreviewWindow::Back() {
  report::Trap trap(report::procedures::kPreviewBack);
  trap(100, [&] { close(); });
}

void SqlPreviewWindow::SkipTable() {
  report::Trap trap(report::procedures::kPreviewSkipTable);
  trap(100, [&] { run_state_.end_after_preview = false; });
  trap(102, [&] { close(); });
}

void SqlPreviewWindow::JumpToErrorLine() {
  report::Trap trap(report::procedures::kPreviewJumpToError);
  bool has_rows = false;
  trap(100, [&] { has_rows = rows_.Count() > 0; });
  if (!has_rows) return;
  bool has_error_line = false;
  trap(102, [&] { has_error_line = ErrorLine >= 1; });
  if (!has_error_line) return;
  trap(104, [&] { SelectRow(ErrorLine); });
  trap(106, [&] { ScrollToRow(ErrorLine); });
}

void SqlPreviewWindow::OpenFindReplace() {
  report::Trap trap(report::procedures::kPreviewFindReplace);
  trap(100, [&] {
    if (!Executing()) find_replace_->Open();
  });
}

void SqlPreviewWindow::ShowDatatypes() {
  report::Trap trap(report::procedures::kPreviewDatatypes);
  trap(100, [&] { datatypes_->Open(); });
}

void SqlPreviewWindow::CopySql() {
  report::Trap trap(report::procedures::kPreviewCopySql);
  trap(100, [&] { preview::CopyListToClipboard(rows_); });
  trap(102,
       [&] { ui::Current().MessageBox(std::string("Results have been copied to the clipboard.\r\r") + kPasteHint); });
}

void SqlPreviewWindow::CopyError() {
  report::Trap trap(report::procedures::kPreviewCopyError);
  std::string error_text;
  trap(100, [&] { error_text = ErrorText(); });
  if (IsBlank(error_text)) return;
  trap(102, [&] { preview::ClearClipboard(); });
  trap(104, [&] { preview::SetClipboardText(error_text, 0); });
  trap(106, [&] {
    ui::Current().MessageBox(std::string("Error message have been copied to the clipboard.\r\r") + kPasteHint);
  });
}

void SqlPreviewWindow::EmailError() {
  report::Trap trap(report::procedures::kPreviewEmailError);
  std::string error_text;
  trap(100, [&] { error_text = ErrorText(); });
  if (IsBlank(error_text)) return;
  std::string link;
  trap(102, [&] { link = ErrorMailLink(addresses::kSupportEmail, kProductName, error_text); });
  trap(104, [&] { ui::Current().OpenUrl(link); });
}

}  // namespace preview
