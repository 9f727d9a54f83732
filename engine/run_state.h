#pragma once
// The flags a conversion run shares with the window it runs in and with the
// SQL Preview window, kept with the main window from one run to the next.

namespace engine {

struct RunState {
  // A run is in progress: a second "Start Converting" does nothing (Busy).
  bool busy = false;
  // The SQL Preview window closed after executing its rows (SQLFormOK).
  bool preview_executed = false;
  // Set by the run before every per-table preview; "Skip Table / Do Not
  // Execute SQL" clears it so that the run goes on (EndRunAfterPreview).
  bool end_after_preview = false;
};

}  // namespace engine
