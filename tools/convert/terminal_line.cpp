#include "tools/convert/terminal_line.h"

namespace convert {

void TerminalLine::Draw(const std::string& text) {
  std::fprintf(terminal_, "\r\033[K%s", text.c_str());
  std::fflush(terminal_);
  open_ = true;
}

void TerminalLine::End() {
  if (!open_) return;
  std::fputc('\n', terminal_);
  std::fflush(terminal_);
  open_ = false;
}

}  // namespace convert
