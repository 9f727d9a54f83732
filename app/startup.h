#pragma once
// Start-up: the main window's loading sequence (Form1.Form_Load) and the
// program around it.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace app {

class MainWindow;

inline constexpr const char* kProductName = "Pelmora";

// The default message-box title: the product name cut before its last space,
// once whatever its length, then again while it is longer than 40 characters.
// A name without a space stays as it is (cut to 40 characters when longer).
std::string ApplicationTitleFor(std::string_view product_name);

// The main window's loading (Form1.Form_Load), under its trap: skin (100), hand
// pointer (104, 106), now and then the maker's home page (108), caption, icon
// and application title (128), the settings (130 to 150), and the data-access
// check (152). False when that
// check fails: the program then ends without showing the window.
bool LoadMainWindow(MainWindow& form, const std::function<bool()>& check_database_components);

// Shown when no data-access provider can be found: the EngineAdvisory asks
// whether to open the download pages of the Access Database Engine 2010 and 2016.
void OfferEngineDownload();

// The whole program: services, settings store, main window, loading, event loop.
// `install_run` gives "Start Converting" its action once the window exists; what
// it returns lives as long as the window.
using InstallRun = std::function<std::shared_ptr<void>(MainWindow&)>;
int RunProgram(int argc, char** argv, const InstallRun& install_run = {});

}  // namespace app
