#include "app/startup.h"

#include <QApplication>
#include <QStyleFactory>

#include "app/artwork.h"
#include "app/main_window.h"
#include "db/access.h"
#include "platform/ui/qt/qt_services.h"
#include "platform/ui/qt/settings_store.h"
#include "platform/ui/services.h"
#include "report/addresses.h"
#include "report/error_report.h"
#include "report/procedures.h"
#include "widgets/window_helpers.h"

namespace app {
namespace {

constexpr size_t kTitleLength = 40;
constexpr int kHomePageDraw = 7;  // one draw in a hundred opens the home page

std::string CutBeforeLastSpace(const std::string& text) {
  const auto space = text.rfind(' ');
  if (space == std::string::npos) return text.substr(0, kTitleLength);
  return text.substr(0, space);
}

}  // namespace

std::string ApplicationTitleFor(std::string_view product_name) {
  std::string title = CutBeforeLastSpace(std::string(product_name));
  while (title.size() > kTitleLength) title = CutBeforeLastSpace(title);
  return title;
}

void OfferEngineDownload() {
  ui::Services& ui = ui::Current();
  if (ui.MessageBox(db::EngineAdvisory(), ui::Buttons::YesNo, ui::Icon::None) == ui::Answer::Yes) {
    ui.OpenUrl(addresses::kAccessEngine2010Download);
    ui.OpenUrl(addresses::kAccessEngine2016Download);
  }
}

bool LoadMainWindow(MainWindow& form, const std::function<bool()>& check_database_components) {
  report::Trap trap(report::procedures::kMainWindowLoad);
  ui::Services& ui = ui::Current();
  const std::string folder = ui.ProgramFolder();
  const std::string pointer_file = widgets::HandPointerPath(folder);

  trap(100, [&] {
    if (widgets::SkinFileExists(folder)) widgets::ApplySkin(&form);
  });
  bool has_pointer_file = true;
  trap(104, [&] { has_pointer_file = widgets::FileExists(pointer_file); });
  if (has_pointer_file) {
    trap(106, [&] { widgets::LoadCustomPointer(MainWindow::kName, pointer_file); });
    trap(108, [&] {
      const int draw = int(ui.Random() * 100) + 1;
      if (draw == kHomePageDraw) ui.OpenUrl(addresses::kHomePage);
    });
  }
  trap(128, [&] { form.setWindowTitle(QString::fromUtf8(kProductName)); });
  trap(128, [&] { form.setWindowIcon(AppIcon()); });
  trap(128, [&] { ui::SetApplicationTitle(ApplicationTitleFor(kProductName)); });
  form.LoadSettings(trap);

  bool components = false;
  trap(152, [&] { components = check_database_components(); });
  return components && !report::EndRequested();
}

int RunProgram(int argc, char** argv, const InstallRun& install_run) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName(ui::SettingsStore::kOrganisation);
  QApplication::setApplicationName(ui::SettingsStore::kApplication);
  QGuiApplication::setDesktopFileName(QStringLiteral("pelmora"));
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(style);
  QApplication::setWindowIcon(AppIcon());

  ui::QtServices services;
  ui::SetCurrent(&services);
  ui::SettingsStore settings;

  MainWindow form(settings);
  std::shared_ptr<void> run_parts = install_run ? install_run(form) : nullptr;
  if (!LoadMainWindow(form, [] { return db::CheckDatabaseComponents(OfferEngineDownload); })) return 0;
  form.show();
  return QApplication::exec();
}

}  // namespace app
