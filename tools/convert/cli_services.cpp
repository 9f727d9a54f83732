#include "tools/convert/cli_services.h"

#include <filesystem>

#include "platform/ui/line_breaks.h"

namespace convert {

std::string CliServices::ForTerminal(const std::string& text) { return ui::WithLineFeeds(text); }

ui::Answer CliServices::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon, const std::string&) {
  if (line_) line_->End();
  std::fprintf(err_, "%s\n", ForTerminal(text).c_str());
  std::fflush(err_);
  return buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::Ok;
}

std::string CliServices::ProgramFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace convert
