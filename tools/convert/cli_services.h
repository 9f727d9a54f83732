#pragma once
// ui::Services for the command line: a message box becomes its text on stderr
// (a progress line open on the terminal is ended first). What the run itself
// tells (the overwrite question, "Done.", refused statements) reaches the
// command line through its RunWindow (cli_window.h), not through dialogs.

#include <cstdio>
#include <string>

#include "platform/ui/services.h"
#include "tools/convert/terminal_line.h"

namespace convert {

class CliServices : public ui::Services {
 public:
  // `line`: the progress line on `err`, nullptr when none is drawn.
  explicit CliServices(FILE* err, TerminalLine* line = nullptr) : err_(err), line_(line) {}

  // Prints the text; a question nobody can answer on a terminal is answered No.
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

  // Message texts use CR LF and bare CR line breaks; a terminal wants LF.
  static std::string ForTerminal(const std::string& text);

 private:
  FILE* err_;
  TerminalLine* line_;
};

}  // namespace convert
