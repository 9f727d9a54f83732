#include "app/conversion_window.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "preview/preview_windows.h"

int main(int argc, char** argv) {
  return app::RunProgram(argc, argv, [](app::MainWindow& window) -> std::shared_ptr<void> {
    auto preview = std::make_shared<preview::PreviewWindows>(&window, window.AccessConn(), window.State());
    app::InstallConversionRun(window, *preview);
    return preview;
  });
}
