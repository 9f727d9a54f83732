#include "app/main_window.h"

#include <QCloseEvent>
#include <QTimer>

#include "app/setting_values.h"
#include "platform/ado/error.h"
#include "platform/ui/qt/qt_services.h"
#include "platform/ui/qt/window_pointers.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"
#include "widgets/window_layout.h"

namespace app {
namespace {

using widgets::CheckBox;
using widgets::OptionButton;
using widgets::ProgressBar;
using widgets::TextBox;

// Settings keys, all in section "Pelmora".
constexpr const char* kServerKey = "PostgreSQLServer";
constexpr const char* kPortKey = "PostgreSQLPort";
constexpr const char* kUserKey = "PostgreSQLUser";
constexpr const char* kPasswordKey = "PostgreSQLPassword";
constexpr const char* kDatabaseKey = "PostgreSQLDatabase";
constexpr const char* kAccessFileKey = "AccessMDBFile";
constexpr const char* kAccessPasswordKey = "AccessPassword";
constexpr const char* kPreviewCheckKey = "Check1";
constexpr const char* kPerFileOptionKey = "Option1";
constexpr const char* kPerTableOptionKey = "Option2";
constexpr const char* kKeepTypesKey = "KeepTypesAndKeys";

// The closing handler's name and step in error reports.

// The client area in twips. The Access Database frame has one row more than
// the window first had (the keep-types check box): everything below it moves
// down by that row.
constexpr int kClientWidth = 8040;
constexpr int kRow = 420;
constexpr int kClientHeight = 7845 + kRow;

}  // namespace

MainWindow::MainWindow(ui::SettingsStore& settings, QWidget* parent)
    : QWidget(parent), end_program(QuitProgram), settings_(settings) {
  BuildControls();
  ConnectHandlers();
  ui::WindowPointers::Register(kName, this);
  // The engine commits grouped statements when one ends; while the program
  // waits (a message box, the preview stopped at an error) this timer lets it
  // commit what is already executed.
  auto* idle_commit = new QTimer(this);
  QObject::connect(idle_commit, &QTimer::timeout, this, [this] { CommitWhileIdle(); });
  idle_commit->start(250);
}

MainWindow::~MainWindow() = default;

void MainWindow::CommitWhileIdle() {
  if (!access_conn_ || !access_conn_->IsOpen()) return;
  try {
    access_conn_->Idle();
  } catch (const ado::Error& e) {
    ui::Current().MessageBox(e.Description(), ui::Buttons::Ok, ui::Icon::Exclamation, "Application Error");
  } catch (const std::exception& e) {
    ui::Current().MessageBox(e.what(), ui::Buttons::Ok, ui::Icon::Exclamation, "Application Error");
  }
}

void MainWindow::BuildControls() {
  setFont(widgets::WindowFont());
  setFixedSize(widgets::Px(kClientWidth), widgets::Px(kClientHeight));

  const auto place = widgets::Place;
  auto button = [&](QWidget* parent, const char* caption, int l, int t, int w, int h) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setFont(widgets::ButtonFont());
    b->setAutoDefault(false);
    place(b, l, t, w, h);
    return b;
  };
  auto label = [&](QWidget* parent, const char* caption, int l, int t, int w, int h) {
    auto* text = new QLabel(QString::fromUtf8(caption), parent);
    place(text, l, t, w, h);
    return text;
  };
  auto box = [&](QWidget* parent, bool select_on_focus, bool masked, int l, int t, int w, int h) {
    auto* field = new TextBox(parent, select_on_focus, masked);
    place(field, l, t, w, h);
    return field;
  };

  ui_.transfer_help_button = button(this, "Help", 120, 120, 7800, 405);

  ui_.source_frame = new QGroupBox(QStringLiteral("PostgreSQL Database"), this);
  place(ui_.source_frame, 120, 630, 7800, 2895);
  ui_.server_label = label(ui_.source_frame, "Server:", 240, 405, 1095, 255);
  ui_.server_edit = box(ui_.source_frame, true, false, 1320, 360, 4575, 345);
  ui_.port_label = label(ui_.source_frame, "Port:", 6000, 405, 495, 255);
  ui_.port_edit = box(ui_.source_frame, true, false, 6480, 360, 1095, 345);
  ui_.user_label = label(ui_.source_frame, "Username:", 240, 885, 1095, 255);
  ui_.user_edit = box(ui_.source_frame, false, false, 1320, 870, 6255, 345);
  ui_.password_label = label(ui_.source_frame, "Password:", 240, 1365, 1095, 255);
  ui_.password_edit = box(ui_.source_frame, true, true, 1320, 1320, 6255, 345);
  ui_.database_label = label(ui_.source_frame, "Database:", 240, 1845, 1095, 255);
  ui_.database_edit = box(ui_.source_frame, false, false, 1320, 1800, 6255, 345);
  ui_.test_connection_button = button(ui_.source_frame, "Test Connection", 240, 2280, 3600, 400);
  ui_.login_help_button = button(ui_.source_frame, "Help", 3960, 2280, 3600, 405);

  ui_.target_frame = new QGroupBox(QStringLiteral("Access Database"), this);
  place(ui_.target_frame, 120, 3630, 7800, 1845 + kRow);
  ui_.target_file_label = label(ui_.target_frame, "MDB or ACCDB File:", 240, 345, 1935, 255);
  ui_.target_file_edit = box(ui_.target_frame, true, false, 2280, 300, 4455, 345);
  ui_.browse_button = button(ui_.target_frame, "...", 6840, 300, 690, 345);
  ui_.target_password_label = label(ui_.target_frame, "Password (if required):", 240, 840, 1950, 225);
  ui_.target_password_edit = box(ui_.target_frame, true, true, 2280, 800, 5265, 345);
  ui_.keep_types_check = new CheckBox(QStringLiteral("Keep column types, keys and relationships"), ui_.target_frame);
  place(ui_.keep_types_check, 240, 1290, 7275, 255);
  ui_.keep_types_check->SetValue(CheckBox::kClear);
  ui_.sample_button = button(ui_.target_frame, "Load Sample/Example Database", 240, 1260 + kRow, 7275, 405);

  ui_.preview_frame = new QGroupBox(QStringLiteral("SQL Preview"), this);
  place(ui_.preview_frame, 120, 5550 + kRow, 7800, 1065);
  ui_.preview_check = new CheckBox(QStringLiteral("Enable SQL Preview mode to see SQL commands or check for errors"),
                                   ui_.preview_frame);
  place(ui_.preview_check, 240, 300, 6735, 255);
  ui_.per_file_option = new OptionButton(QStringLiteral("Show SQL Preview For Each File"), ui_.preview_frame);
  place(ui_.per_file_option, 240, 630, 3135, 255);
  ui_.per_table_option = new OptionButton(QStringLiteral("Show SQL Preview For Each Table"), ui_.preview_frame);
  place(ui_.per_table_option, 3600, 630, 3375, 255);
  // As designed: the preview check box clear, the per-file option selected.
  ui_.preview_check->SetValue(CheckBox::kClear);
  ui_.per_file_option->SetValue(true);

  ui_.start_button = button(this, "Start Converting", 120, 6735 + kRow, 7800, 405);
  ui_.progress_bar = new ProgressBar(this);
  place(ui_.progress_bar, 120, 7260 + kRow, 7800, 405);
  ui_.progress_bar->SetCaption("Progress Bar");

  // Where this platform draws a caption a few pixels wider than the twips allow,
  // the control grows to the right into the gap before its neighbour instead of
  // clipping its caption.
  for (QWidget* captioned : findChildren<QWidget*>()) {
    if (qobject_cast<QLabel*>(captioned) || qobject_cast<QCheckBox*>(captioned) ||
        qobject_cast<QRadioButton*>(captioned)) {
      const int needed = captioned->sizeHint().width();
      if (needed > captioned->width()) captioned->resize(needed, captioned->height());
    }
  }

  const std::pair<QWidget*, const char*> names[] = {
      {ui_.transfer_help_button, "transfer_help_button"},
      {ui_.source_frame, "source_frame"},
      {ui_.server_label, "server_label"},
      {ui_.server_edit, "server_edit"},
      {ui_.port_label, "port_label"},
      {ui_.port_edit, "port_edit"},
      {ui_.user_label, "user_label"},
      {ui_.user_edit, "user_edit"},
      {ui_.password_label, "password_label"},
      {ui_.password_edit, "password_edit"},
      {ui_.database_label, "database_label"},
      {ui_.database_edit, "database_edit"},
      {ui_.test_connection_button, "test_connection_button"},
      {ui_.login_help_button, "login_help_button"},
      {ui_.target_frame, "target_frame"},
      {ui_.target_file_label, "target_file_label"},
      {ui_.target_file_edit, "target_file_edit"},
      {ui_.browse_button, "browse_button"},
      {ui_.target_password_label, "target_password_label"},
      {ui_.target_password_edit, "target_password_edit"},
      {ui_.keep_types_check, "keep_types_check"},
      {ui_.sample_button, "sample_button"},
      {ui_.preview_frame, "preview_frame"},
      {ui_.preview_check, "preview_check"},
      {ui_.per_file_option, "per_file_option"},
      {ui_.per_table_option, "per_table_option"},
      {ui_.start_button, "start_button"},
      {ui_.progress_bar, "progress_bar"}};
  for (auto [widget, name] : names) widget->setObjectName(QString::fromUtf8(name));
  setObjectName(QString::fromUtf8(kName));

  QWidget* order[] = {ui_.transfer_help_button, ui_.server_edit,       ui_.port_edit,
                      ui_.user_edit,            ui_.password_edit,     ui_.database_edit,
                      ui_.test_connection_button, ui_.login_help_button, ui_.target_file_edit,
                      ui_.browse_button,        ui_.target_password_edit, ui_.keep_types_check,
                      ui_.sample_button,
                      ui_.preview_check,        ui_.per_file_option,   ui_.per_table_option,
                      ui_.start_button};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void MainWindow::ConnectHandlers() {
  auto persist = [this](TextBox* field, const char* key) {
    connect(field, &QLineEdit::textChanged, this,
            [this, key](const QString& text) { WriteSetting(key, text.toStdString()); });
  };
  persist(ui_.server_edit, kServerKey);
  persist(ui_.port_edit, kPortKey);
  persist(ui_.user_edit, kUserKey);
  persist(ui_.password_edit, kPasswordKey);
  persist(ui_.database_edit, kDatabaseKey);
  persist(ui_.target_file_edit, kAccessFileKey);
  persist(ui_.target_password_edit, kAccessPasswordKey);

  // The check box's click runs whenever its state changes, by a click or by the program.
  connect(ui_.preview_check, &QCheckBox::stateChanged, this, [this](int) { PreviewCheckClicked(); });
  // Stored when it changes, as "0" or "1"; never written by loading it.
  connect(ui_.keep_types_check, &QCheckBox::stateChanged, this, [this](int) {
    if (!loading_keep_types_) WriteSetting(kKeepTypesKey, std::to_string(ui_.keep_types_check->Value()));
  });
  // An option's click runs when it becomes selected; being deselected runs nothing.
  for (OptionButton* option : {ui_.per_file_option, ui_.per_table_option}) {
    connect(option, &QAbstractButton::toggled, this, [this](bool on) {
      if (on) PreviewOptionClicked();
    });
  }

  connect(ui_.test_connection_button, &QPushButton::clicked, this, [this] { TestConnection(); });
  connect(ui_.login_help_button, &QPushButton::clicked, this, [this] { ShowLoginHint(); });
  connect(ui_.browse_button, &QPushButton::clicked, this, [this] { ChooseTargetFile(); });
  connect(ui_.sample_button, &QPushButton::clicked, this, [this] { LoadSampleDatabase(); });
  connect(ui_.transfer_help_button, &QPushButton::clicked, this, [this] { ShowTransferNotes(); });
  connect(ui_.start_button, &QPushButton::clicked, this, [this] { StartConverting(); });

  widgets::InstallHoverRule(this, kName,
                            {this, ui_.source_frame, ui_.preview_frame, ui_.target_frame, ui_.server_edit,
                             ui_.target_file_edit, ui_.target_password_edit, ui_.password_edit},
                            {ui_.test_connection_button, ui_.login_help_button, ui_.browse_button, ui_.sample_button,
                             ui_.transfer_help_button, ui_.start_button});
}

void MainWindow::WriteSetting(const char* key, const std::string& text) { settings_.Write(key, text); }

void MainWindow::LoadSettings(report::Trap& trap) {
  trap(130, [&] { ui_.preview_check->SetValue(CheckStateFromText(settings_.Read(kPreviewCheckKey, "1"))); });
  trap(132, [&] { ui_.per_file_option->SetValue(BooleanFromText(settings_.Read(kPerFileOptionKey, "1"))); });
  trap(134, [&] { ui_.per_table_option->SetValue(BooleanFromText(settings_.Read(kPerTableOptionKey, "0"))); });
  trap(136, [&] { ui_.target_file_edit->SetText(settings_.Read(kAccessFileKey, "")); });
  trap(138, [&] { ui_.target_password_edit->SetText(settings_.Read(kAccessPasswordKey, "")); });
  trap(140, [&] { ui_.server_edit->SetText(settings_.Read(kServerKey, "localhost")); });
  trap(142, [&] { ui_.port_edit->SetText(settings_.Read(kPortKey, "5432")); });
  trap(144, [&] { ui_.user_edit->SetText(settings_.Read(kUserKey, "")); });
  trap(146, [&] { ui_.password_edit->SetText(settings_.Read(kPasswordKey, "")); });
  trap(148, [&] { ui_.database_edit->SetText(settings_.Read(kDatabaseKey, "")); });
  trap(149, [&] {
    loading_keep_types_ = true;
    ui_.keep_types_check->SetValue(settings_.Read(kKeepTypesKey, "0") == "1" ? CheckBox::kTicked : CheckBox::kClear);
    loading_keep_types_ = false;
  });
  trap(150, [&] { PreviewCheckClicked(); });
}

void MainWindow::PreviewCheckClicked() {
  const int state = ui_.preview_check->Value();
  const bool ticked = state == CheckBox::kTicked;
  ui_.per_file_option->setEnabled(ticked);
  ui_.per_table_option->setEnabled(ticked);
  WriteSetting(kPreviewCheckKey, std::to_string(state));
}

void MainWindow::PreviewOptionClicked() {
  WriteSetting(kPerFileOptionKey, BooleanText(ui_.per_file_option->Value()));
  WriteSetting(kPerTableOptionKey, BooleanText(ui_.per_table_option->Value()));
}

void MainWindow::StartConverting() {
  if (start_converting) start_converting(*this);
}

db::SourceFields MainWindow::SourceFields() const {
  return {ui_.server_edit->Text(), ui_.port_edit->Text(), ui_.user_edit->Text(), ui_.password_edit->Text(),
          ui_.database_edit->Text()};
}

db::TargetFields MainWindow::TargetFields() const {
  return {ui_.target_file_edit->Text(), ui_.target_password_edit->Text()};
}

int MainWindow::PreviewCheck() const { return ui_.preview_check->Value(); }
bool MainWindow::KeepTypes() const { return ui_.keep_types_check->Value() == CheckBox::kTicked; }
bool MainWindow::PerFileOption() const { return ui_.per_file_option->Value(); }
bool MainWindow::PerTableOption() const { return ui_.per_table_option->Value(); }
void MainWindow::SetProgressValue(int percent) { ui_.progress_bar->setValue(percent); }
void MainWindow::SetProgressCaption(const std::string& caption) { ui_.progress_bar->SetCaption(caption); }

// Closing the main window ends the program at once: a run in progress takes no
// further step, and the target file is committed and closed by closing its
// connection here. That close is the run's last commit, so its failure (a full
// disk) is reported before the program ends; the statements since the previous
// commit are lost and the user must know.
void MainWindow::closeEvent(QCloseEvent* event) {
  report::RequestEnd();
  if (access_conn_ && access_conn_->IsOpen()) {
    try {
      access_conn_->Close();
    } catch (...) {
      report::ShowReport(report::DescriptionOf(std::current_exception()), report::procedures::kMainWindowUnload,
                         report::procedures::kMainWindowUnloadClose);
    }
  }
  event->accept();
  if (end_program) end_program();
}

void QuitProgram() {
  report::RequestEnd();
  ui::QtServices::EndProgram();
}

}  // namespace app
