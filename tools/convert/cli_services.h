#pragma once
// ui::Services for the command line: message boxes become lines on stderr
// ("Done." on stdout), the overwrite question is answered by --overwrite or
// asked on the terminal, and reports are counted so the exit status can tell.
// A progress line open on the terminal is ended before anything is printed;
// quiet, only the reports are printed.

#include <cstdio>
#include <string>

#include "platform/ui/services.h"
#include "tools/convert/terminal_line.h"
#include "tools/convert/verify.h"

namespace convert {

enum class OverwritePolicy { kAsk, kYes, kNo };

class CliServices : public ui::Services {
 public:
  // `line`: the progress line on `err`, nullptr when none is drawn.
  CliServices(OverwritePolicy policy, FILE* out, FILE* err, FILE* terminal_in, TerminalLine* line = nullptr,
              bool quiet = false)
      : policy_(policy), out_(out), err_(err), in_(terminal_in), line_(line), quiet_(quiet) {}

  ui::Answer MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                        const std::string& title) override;
  void ProcessEvents() override {}
  void SetPointer(const std::string&, int) override {}
  std::optional<std::string> OpenFileDialog(const ui::FileDialogRequest&) override { return std::nullopt; }
  bool ClearClipboard() override { return false; }
  bool SetClipboardText(const std::string&) override { return false; }
  void OpenUrl(const std::string&) override {}
  double Random() override { return 0.5; }
  std::string ProgramFolder() override;

  int Reports() const { return reports_; }
  // Where the last report is kept, as the reason of a refused row (--verify).
  void SetRefusalLog(RefusalLog* log) { refusals_ = log; }

  // Message texts use CR LF and bare CR line breaks; a terminal wants LF.
  static std::string ForTerminal(const std::string& text);

 private:
  OverwritePolicy policy_;
  FILE* out_;
  FILE* err_;
  FILE* in_;
  TerminalLine* line_;
  bool quiet_;
  RefusalLog* refusals_ = nullptr;
  int reports_ = 0;
};

}  // namespace convert
