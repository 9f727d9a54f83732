#include "tools/convert/cli_services.h"

#include <unistd.h>

#include <filesystem>

#include "platform/ui/line_breaks.h"

namespace convert {

std::string CliServices::ForTerminal(const std::string& text) { return ui::WithLineFeeds(text); }

ui::Answer CliServices::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                                   const std::string& title) {
  if (line_) line_->End();
  if (buttons == ui::Buttons::YesNo) {
    if (policy_ == OverwritePolicy::kYes) return ui::Answer::Yes;
    if (policy_ == OverwritePolicy::kNo || !in_) return ui::Answer::No;
    for (;;) {
      std::fprintf(err_, "%s [y/n] ", ForTerminal(text).c_str());
      std::fflush(err_);
      char line[64];
      if (!std::fgets(line, sizeof line, in_)) return ui::Answer::No;
      if (line[0] == 'y' || line[0] == 'Y') return ui::Answer::Yes;
      if (line[0] == 'n' || line[0] == 'N') return ui::Answer::No;
    }
  }
  if (text == "Done.") {
    if (!quiet_) {
      std::fprintf(out_, "Done.\n");
      std::fflush(out_);
    }
    return ui::Answer::Ok;
  }
  if (icon == ui::Icon::Exclamation || title == "Application Error") {
    ++reports_;
    if (refusals_) refusals_->last_report = text;
  }
  std::fprintf(err_, "%s\n", ForTerminal(text).c_str());
  std::fflush(err_);
  return ui::Answer::Ok;
}

std::string CliServices::ProgramFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace convert
