#include "preview/clipboard.h"

#include "platform/ui/services.h"

namespace preview {

void ClearClipboard() {
  ui::Services& services = ui::Current();
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    if (services.ClearClipboard()) return;
  }
}

void SetClipboardText(const std::string& text, int /*format*/) {
  ui::Services& services = ui::Current();
  for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
    if (services.SetClipboardText(text)) return;
  }
}

std::string TickedRowsText(const ListRows& list) {
  ui::Services& services = ui::Current();
  std::string text;
  // The row count is read again for every row: the events let run may change it.
  for (int row = 1; row <= list.RowCount(); ++row) {
    services.ProcessEvents();
    if (!list.RowTicked(row)) continue;
    for (int column = 1; column <= list.ColumnCount(); ++column) {
      services.ProcessEvents();
      if (row > list.RowCount()) return text;
      text += list.ColumnText(row, column);
      text += '\t';
    }
    if (!text.empty() && text.back() == '\t') text.pop_back();
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text += "\r\n";
  }
  return text;
}

void CopyListToClipboard(const ListRows& list) {
  if (list.RowCount() == 0) return;
  const std::string text = TickedRowsText(list);
  ClearClipboard();
  SetClipboardText(text, 0);
}

}  // namespace preview
