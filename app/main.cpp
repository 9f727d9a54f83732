#include "app/conversion_window.h"
#include "app/form1.h"
#include "app/startup.h"
#include "preview/preview_windows.h"

int main(int argc, char** argv) {
  return app::RunProgram(argc, argv, [](app::Form1& form) -> std::shared_ptr<void> {
    auto preview = std::make_shared<preview::PreviewWindows>(&form, form.access_conn, form.SQLFormOK);
    app::InstallConversionRun(form, *preview);
    return preview;
  });
}
