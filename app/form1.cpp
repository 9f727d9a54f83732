#include "app/form1.h"

#include <QTimer>

#include "platform/ado/error.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/error_report.h"
#include "app/setting_values.h"
#include "app/window_helpers.h"
#include "platform/ui/qt/qt_services.h"
#include "platform/ui/qt/window_pointers.h"

namespace app {
namespace {

// Settings keys, all in section "Pelmora".
constexpr const char* kServerKey = "PostgreSQLServer";
constexpr const char* kPortKey = "PostgreSQLPort";
constexpr const char* kUserKey = "PostgreSQLUser";
constexpr const char* kPasswordKey = "PostgreSQLPassword";
constexpr const char* kDatabaseKey = "PostgreSQLDatabase";
constexpr const char* kAccessFileKey = "AccessMDBFile";
constexpr const char* kAccessPasswordKey = "AccessPassword";
constexpr const char* kCheck1Key = "Check1";
constexpr const char* kOption1Key = "Option1";
constexpr const char* kOption2Key = "Option2";

// The client area in twips.
constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 7845;

QFont WindowFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(9);
  font.setBold(true);
  return font;
}

QFont ButtonFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(11.25);
  font.setBold(true);
  return font;
}

}  // namespace

Form1::Form1(ui::SettingsStore& settings, QWidget* parent)
    : QWidget(parent), end_program(QuitProgram), settings_(settings) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && screen->logicalDotsPerInch() > 0) scale_ = screen->logicalDotsPerInch() / 96.0;
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

Form1::~Form1() = default;

void Form1::CommitWhileIdle() {
  if (!access_conn || !access_conn->IsOpen()) return;
  try {
    access_conn->Idle();
  } catch (const ado::Error& e) {
    ui::Current().MessageBox(e.Description(), ui::Buttons::Ok, ui::Icon::Exclamation, "Application Error");
  } catch (const std::exception& e) {
    ui::Current().MessageBox(e.what(), ui::Buttons::Ok, ui::Icon::Exclamation, "Application Error");
  }
}

int Form1::Px(int twips) const { return qRound(twips / 15.0 * scale_); }

void Form1::BuildControls() {
  setFont(WindowFont());
  setFixedSize(Px(kClientWidth), Px(kClientHeight));

  auto place = [this](QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
  };
  auto button = [&](QWidget* parent, const char* caption, int l, int t, int w, int h) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setFont(ButtonFont());
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

  PushButton5 = button(this, "Help", 120, 120, 7800, 405);

  Frame1 = new QGroupBox(QStringLiteral("PostgreSQL Database"), this);
  place(Frame1, 120, 630, 7800, 2895);
  Label6 = label(Frame1, "Server:", 240, 405, 1095, 255);
  Text1 = box(Frame1, true, false, 1320, 360, 4575, 345);
  Label8 = label(Frame1, "Port:", 6000, 405, 495, 255);
  Text9 = box(Frame1, true, false, 6480, 360, 1095, 345);
  Label2 = label(Frame1, "Username:", 240, 885, 1095, 255);
  Text3 = box(Frame1, false, false, 1320, 870, 6255, 345);
  Label7 = label(Frame1, "Password:", 240, 1365, 1095, 255);
  Text7 = box(Frame1, true, true, 1320, 1320, 6255, 345);
  Label9 = label(Frame1, "Database:", 240, 1845, 1095, 255);
  Text10 = box(Frame1, false, false, 1320, 1800, 6255, 345);
  PushButton1 = button(Frame1, "Test Connection", 240, 2280, 3600, 400);
  PushButton2 = button(Frame1, "Help", 3960, 2280, 3600, 405);

  Frame3 = new QGroupBox(QStringLiteral("Access Database"), this);
  place(Frame3, 120, 3630, 7800, 1845);
  Label5 = label(Frame3, "MDB or ACCDB File:", 240, 345, 1935, 255);
  Text5 = box(Frame3, true, false, 2280, 300, 4455, 345);
  PushButton3 = button(Frame3, "...", 6840, 300, 690, 345);
  lblPassword = label(Frame3, "Password (if required):", 240, 840, 1950, 225);
  Text6 = box(Frame3, true, true, 2280, 800, 5265, 345);
  PushButton4 = button(Frame3, "Load Sample/Example Database", 240, 1260, 7275, 405);

  Frame2 = new QGroupBox(QStringLiteral("SQL Preview"), this);
  place(Frame2, 120, 5550, 7800, 1065);
  Check1 = new CheckBox(QStringLiteral("Enable SQL Preview mode to see SQL commands or check for errors"), Frame2);
  place(Check1, 240, 300, 6735, 255);
  Option1 = new OptionButton(QStringLiteral("Show SQL Preview For Each File"), Frame2);
  place(Option1, 240, 630, 3135, 255);
  Option2 = new OptionButton(QStringLiteral("Show SQL Preview For Each Table"), Frame2);
  place(Option2, 3600, 630, 3375, 255);
  // As designed: the preview check box clear, the per-file option selected.
  Check1->SetValue(CheckBox::kClear);
  Option1->SetValue(true);

  PushButton7 = button(this, "Start Converting", 120, 6735, 7800, 405);
  ProgressBar1 = new ProgressBar(this);
  place(ProgressBar1, 120, 7260, 7800, 405);
  ProgressBar1->SetCaption("Progress Bar");

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
      {PushButton5, "PushButton5"}, {Frame1, "Frame1"},   {Label6, "Label6"},         {Text1, "Text1"},
      {Label8, "Label8"},           {Text9, "Text9"},     {Label2, "Label2"},         {Text3, "Text3"},
      {Label7, "Label7"},           {Text7, "Text7"},     {Label9, "Label9"},         {Text10, "Text10"},
      {PushButton1, "PushButton1"}, {PushButton2, "PushButton2"}, {Frame3, "Frame3"}, {Label5, "Label5"},
      {Text5, "Text5"},             {PushButton3, "PushButton3"}, {lblPassword, "lblPassword"}, {Text6, "Text6"},
      {PushButton4, "PushButton4"}, {Frame2, "Frame2"},   {Check1, "Check1"},         {Option1, "Option1"},
      {Option2, "Option2"},         {PushButton7, "PushButton7"}, {ProgressBar1, "ProgressBar1"}};
  for (auto [widget, name] : names) widget->setObjectName(QString::fromUtf8(name));
  setObjectName(QString::fromUtf8(kName));

  QWidget* order[] = {PushButton5, Text1,       Text9, Text3,  Text7,       Text10,  PushButton1, PushButton2,
                      Text5,       PushButton3, Text6, PushButton4, Check1, Option1, Option2, PushButton7};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void Form1::ConnectHandlers() {
  auto persist = [this](TextBox* field, const char* key) {
    connect(field, &QLineEdit::textChanged, this,
            [this, key](const QString& text) { WriteSetting(key, text.toStdString()); });
  };
  persist(Text1, kServerKey);
  persist(Text9, kPortKey);
  persist(Text3, kUserKey);
  persist(Text7, kPasswordKey);
  persist(Text10, kDatabaseKey);
  persist(Text5, kAccessFileKey);
  persist(Text6, kAccessPasswordKey);

  // The check box's click runs whenever its state changes, by a click or by the program.
  connect(Check1, &QCheckBox::stateChanged, this, [this](int) { Check1_Click(); });
  // An option's click runs when it becomes selected; being deselected runs nothing.
  for (OptionButton* option : {Option1, Option2}) {
    connect(option, &QAbstractButton::toggled, this, [this](bool on) {
      if (on) Option_Click();
    });
  }

  connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
  connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
  connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
  connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
  connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
  connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });

  InstallHoverRule(this, kName, {this, Frame1, Frame2, Frame3, Text1, Text5, Text6, Text7},
                   {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton7});
}

void Form1::WriteSetting(const char* key, const std::string& text) { settings_.Write(key, text); }

void Form1::LoadSettings(report::Trap& trap) {
  trap(130, [&] { Check1->SetValue(CheckStateFromText(settings_.Read(kCheck1Key, "1"))); });
  trap(132, [&] { Option1->SetValue(BooleanFromText(settings_.Read(kOption1Key, "1"))); });
  trap(134, [&] { Option2->SetValue(BooleanFromText(settings_.Read(kOption2Key, "0"))); });
  trap(136, [&] { Text5->SetText(settings_.Read(kAccessFileKey, "")); });
  trap(138, [&] { Text6->SetText(settings_.Read(kAccessPasswordKey, "")); });
  trap(140, [&] { Text1->SetText(settings_.Read(kServerKey, "localhost")); });
  trap(142, [&] { Text9->SetText(settings_.Read(kPortKey, "5432")); });
  trap(144, [&] { Text3->SetText(settings_.Read(kUserKey, "")); });
  trap(146, [&] { Text7->SetText(settings_.Read(kPasswordKey, "")); });
  trap(148, [&] { Text10->SetText(settings_.Read(kDatabaseKey, "")); });
  trap(150, [&] { Check1_Click(); });
}

void Form1::Check1_Click() {
  const int state = Check1->Value();
  const bool ticked = state == CheckBox::kTicked;
  Option1->setEnabled(ticked);
  Option2->setEnabled(ticked);
  WriteSetting(kCheck1Key, std::to_string(state));
}

void Form1::Option_Click() {
  WriteSetting(kOption1Key, BooleanText(Option1->Value()));
  WriteSetting(kOption2Key, BooleanText(Option2->Value()));
}

void Form1::PushButton7_Click() {
  if (start_converting) start_converting(*this);
}

db::SourceFields Form1::SourceFields() const {
  return {Text1->Text(), Text9->Text(), Text3->Text(), Text7->Text(), Text10->Text()};
}

db::TargetFields Form1::TargetFields() const { return {Text5->Text(), Text6->Text()}; }

// Closing the main window ends the program at once: a run in progress takes no
// further step, and the target file is committed and closed by closing its
// connection here.
void Form1::closeEvent(QCloseEvent* event) {
  report::RequestEnd();
  if (access_conn && access_conn->IsOpen()) {
    try {
      access_conn->Close();
    } catch (...) {
      // Ending regardless; the engine has done what it could.
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
