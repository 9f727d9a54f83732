#pragma once
// The progress line a run draws on a terminal. It is redrawn in place, so
// every other output must end it first, or a report would start on the same
// line as the bar.

#include <cstdio>
#include <string>

namespace convert {

class TerminalLine {
 public:
  explicit TerminalLine(FILE* terminal) : terminal_(terminal) {}
  // Replaces the open line (if any) with `text`; the line stays open.
  void Draw(const std::string& text);
  // Ends an open line; nothing when none is open.
  void End();

 private:
  FILE* terminal_;
  bool open_ = false;
};

}  // namespace convert
