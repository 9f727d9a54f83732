#pragma once
// The clipboard procedures, over the desktop services. The
// clipboard may be held by another program for a moment, so clearing and
// setting are retried; neither ever reports a failure.

#include <string>

#include "preview/list_rows.h"

namespace preview {

inline constexpr int kClipboardAttempts = 1000;

// Empties the clipboard: up to 1000 attempts, stopping at the first that succeeds.
void ClearClipboard();
// Puts `text` on the clipboard, retried like ClearClipboard. Format 0 is plain
// text; the desktop services know no other format, so every format puts the
// text as plain text.
void SetClipboardText(const std::string& text, int format);

// The ticked rows, each as its column texts joined by TAB with the trailing
// spaces removed, followed by CR LF. The events are let run once per row and
// once per column visited.
std::string TickedRowsText(const ListRows& list);
// Replaces the clipboard text with TickedRowsText; a list without rows leaves
// the clipboard alone.
void CopyListToClipboard(const ListRows& list);

}  // namespace preview
