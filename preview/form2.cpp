#include "preview/form2.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <stdexcept>

#include "app/addresses.h"
#include "app/error_report.h"
#include "app/window_helpers.h"
#include "engine/statement_sink.h"
#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"
#include "preview/clipboard.h"
#include "preview/form3.h"
#include "preview/form4.h"
#include "preview/form5.h"
#include "preview/mail_link.h"
#include "preview/row_text.h"
#include "preview/window_look.h"

namespace preview {
namespace {

constexpr const char* kPasteHint = "Click a text area where you normally type and press Ctrl+V to paste the clipboard.";

}  // namespace

Form2::Form2(StatementList& rows, engine::ConversionLog& log, std::unique_ptr<ado::Connection>& access_conn,
             bool& sql_form_ok, QWidget* owner)
    : QDialog(owner), rows_(rows), model_(rows, this), access_conn_(access_conn), sql_form_ok_(sql_form_ok) {
  BuildControls();
  ConnectHandlers();
  form3_ = new Form3(model_, this);
  form4_ = new Form4(model_, this);
  form5_ = new Form5(log, this);
  ui::WindowPointers::Register(kName, this);
}

Form2::~Form2() = default;

void Form2::BuildControls() {
  setObjectName(QString::fromUtf8(kName));
  setFont(WindowFont());
  setFixedSize(Px(8040), Px(8430));

  ListView1 = new ReportList(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  Place(ListView1, 120, 630, 7800, 3315);
  ListView1->setToolTip(QString::fromUtf8(kListTooltip));
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView1->setTextElideMode(Qt::ElideRight);

  PushButton1 = MakeButton(this, "PushButton1", "Execute SQL", 120, 4040, 7800, 405);
  PushButton3 = MakeButton(this, "PushButton3", "Find and Replace", 120, 4550, 3840, 405);
  PushButton2 = MakeButton(this, "PushButton2", "Copy SQL To Clipboard", 4080, 4550, 3840, 405);

  Frame2 = new QGroupBox(QStringLiteral("Error:"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  Place(Frame2, 120, 5010, 7800, 1785);
  Text1 = new app::MultiLineTextBox(Frame2);
  Text1->setObjectName(QStringLiteral("Text1"));
  Place(Text1, 240, 300, 7320, 1290);

  PushButton6 = MakeButton(this, "PushButton6", "Jump To Error Line", 120, 6900, 3840, 405);
  PushButton4 = MakeButton(this, "PushButton4", "Copy Error Message To Clipboard", 4080, 6900, 3840, 405);
  PushButton8 = MakeButton(this, "PushButton8", "Email Error Message To Halvex", 120, 7410, 3840, 405);
  PushButton5 = MakeButton(this, "PushButton5", "< Back", 120, 120, 3720, 405);
  ProgressBar1 = new RowProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  Place(ProgressBar1, 120, 7920, 7800, 405);
  PushButton7 = MakeButton(this, "PushButton7", "View Datatype Conversion", 4080, 7410, 3840, 405);
  PushButton9 = MakeButton(this, "PushButton9", "Skip Table / Do Not Execute SQL", 3960, 120, 3960, 405);
  ResetProgress();

  QWidget* order[] = {ListView1,   PushButton1, PushButton3, PushButton2, Text1,       PushButton6,
                      PushButton4, PushButton8, PushButton5, PushButton7, PushButton9};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void Form2::ConnectHandlers() {
  connect(ListView1, &QAbstractItemView::clicked, this, [this](const QModelIndex&) { ListView1_Click(); });
  ListView1->viewport()->installEventFilter(this);
  connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* tick = menu.addAction(QStringLiteral("Tick All Rows"));
    QAction* untick = menu.addAction(QStringLiteral("Untick All Rows"));
    QAction* chosen = menu.exec(ListView1->viewport()->mapToGlobal(at));
    if (chosen == tick) TickAll(true);
    if (chosen == untick) TickAll(false);
  });
  // A click on the heading ticks every row, or clears them all when all are ticked.
  connect(ListView1->header(), &QHeaderView::sectionClicked, this, [this](int) {
    bool all = rows_.Count() > 0;
    for (int row = 1; all && row <= rows_.Count(); ++row) all = rows_.Ticked(row);
    TickAll(!all);
  });

  const std::pair<QPushButton*, void (Form2::*)()> actions[] = {
      {PushButton1, &Form2::PushButton1_Click}, {PushButton2, &Form2::PushButton2_Click},
      {PushButton3, &Form2::PushButton3_Click}, {PushButton4, &Form2::PushButton4_Click},
      {PushButton5, &Form2::PushButton5_Click}, {PushButton6, &Form2::PushButton6_Click},
      {PushButton7, &Form2::PushButton7_Click}, {PushButton8, &Form2::PushButton8_Click},
      {PushButton9, &Form2::PushButton9_Click}};
  for (auto [button, action] : actions) connect(button, &QPushButton::clicked, this, [this, action] { (this->*action)(); });

  app::InstallHoverRule(this, kName, {this, Frame2, ListView1, ListView1->viewport()},
                        {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7,
                         PushButton8, PushButton9});
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  // A tick toggled by the keyboard must not swallow the next click on a row.
  if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonPress) model_.TakeTickToggled();
  return QDialog::eventFilter(watched, event);
}

void Form2::Form_Load() {
  report::Trap trap("Form2.Form_Load");
  const int step = LoadWindowLook(trap, 100, this, kName, "SQL Preview");
  trap(step, [&] {
    if (ListView1->model() != &model_) ListView1->setModel(&model_);
  });
  trap(step + 2, [&] { ListView1->SetColumnWidthTwips(0, 7000); });
}

void Form2::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void Form2::Open() {
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

void Form2::Unload() {
  rows_.Clear();
  model_.Refresh();
  SetErrorText({});
  ResetProgress();
  loaded_ = false;
}

void Form2::done(int result) {
  // A pass that is running stops after its current row; the rows stay until
  // the modal loop has returned.
  if (passes_ > 0) stop_requested_ = true;
  QDialog::done(result);
}

void Form2::keyPressEvent(QKeyEvent* event) {
  // Escape would close the window and discard every edit; only "< Back",
  // "Skip Table" and the close box close it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Form2::ResetProgress() {
  ProgressBar1->setValue(0);
  ProgressBar1->SetCaption("Progress Bar");
}

void Form2::SelectRow(int row) {
  if (row < 1 || row > model_.rowCount()) throw std::out_of_range("Index out of bounds");
  ListView1->selectionModel()->setCurrentIndex(model_.index(row - 1),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void Form2::ScrollToRow(int row) {
  if (row < 1 || row > model_.rowCount()) throw std::out_of_range("Index out of bounds");
  ListView1->scrollTo(model_.index(row - 1));
}

void Form2::SetExecuting(bool executing) {
  PushButton1->setEnabled(!executing);
  PushButton3->setEnabled(!executing);
}

void Form2::SetErrorText(const std::string& text) {
  error_text_ = text;
  Text1->setPlainText(QString::fromStdString(text));
  error_shown_ = Text1->toPlainText();
}

std::string Form2::ErrorText() const {
  // The box shows line breaks as it likes; an unchanged text is read byte for byte.
  const QString shown = Text1->toPlainText();
  if (shown == error_shown_) return error_text_;
  return shown.toStdString();
}

void Form2::TickAll(bool ticked) { model_.TickAll(ticked); }

void Form2::ListView1_Click() {
  if (model_.TakeTickToggled()) return;  // the click ticked or cleared the row's box
  if (Executing()) return;               // rows are not edited under a running pass
  report::Trap trap("Form2.ListView1_Click");
  int line = 0;
  trap(100, [&] {
    const QModelIndex current = ListView1->currentIndex();
    if (current.isValid() && ListView1->selectionModel()->isSelected(current)) line = current.row() + 1;
  });
  if (line < 1) return;
  std::string text;
  if (!trap(102, [&] { text = std::string(rows_.Text(line)); })) return;
  trap(104, [&] { form4_->Open(line, text); });
}

void Form2::PushButton5_Click() {
  report::Trap trap("Form2.PushButton5_Click");
  trap(100, [&] { close(); });
}

void Form2::PushButton9_Click() {
  report::Trap trap("Form2.PushButton9_Click");
  trap(100, [&] { engine::EndRunAfterPreview = false; });
  trap(102, [&] { close(); });
}

void Form2::PushButton6_Click() {
  report::Trap trap("Form2.PushButton6_Click");
  bool has_rows = false;
  trap(100, [&] { has_rows = rows_.Count() > 0; });
  if (!has_rows) return;
  bool has_error_line = false;
  trap(102, [&] { has_error_line = ErrorLine >= 1; });
  if (!has_error_line) return;
  trap(104, [&] { SelectRow(ErrorLine); });
  trap(106, [&] { ScrollToRow(ErrorLine); });
}

void Form2::PushButton3_Click() {
  report::Trap trap("Form2.PushButton3_Click");
  trap(100, [&] {
    if (!Executing()) form3_->Open();
  });
}

void Form2::PushButton7_Click() {
  report::Trap trap("Form2.PushButton7_Click");
  trap(100, [&] { form5_->Open(); });
}

void Form2::PushButton2_Click() {
  report::Trap trap("Form2.PushButton2_Click");
  trap(100, [&] { preview::CopyListToClipboard(rows_); });
  trap(102, [&] {
    ui::Current().MessageBox(std::string("Results have been copied to the clipboard.\r\r") + kPasteHint);
  });
}

void Form2::PushButton4_Click() {
  report::Trap trap("Form2.PushButton4_Click");
  std::string error_text;
  trap(100, [&] { error_text = ErrorText(); });
  if (IsBlank(error_text)) return;
  trap(102, [&] { preview::ClearClipboard(); });
  trap(104, [&] { preview::SetClipboardText(error_text, 0); });
  trap(106, [&] {
    ui::Current().MessageBox(std::string("Error message have been copied to the clipboard.\r\r") + kPasteHint);
  });
}

void Form2::PushButton8_Click() {
  report::Trap trap("Form2.PushButton8_Click");
  std::string error_text;
  trap(100, [&] { error_text = ErrorText(); });
  if (IsBlank(error_text)) return;
  std::string link;
  trap(102, [&] { link = ErrorMailLink(addresses::kSupportEmail, kProductName, error_text); });
  trap(104, [&] { ui::Current().OpenUrl(link); });
}

}  // namespace preview
