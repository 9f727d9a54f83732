#pragma once
// A ui::Services double for tests: records every message box, pointer change,
// opened address and clipboard text, and answers questions from a script.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/services.h"

namespace testing_support {

struct ShownMessage {
  std::string text;
  ui::Buttons buttons;
  ui::Icon icon;
  std::string title;  // as shown: the application title when the caller gave none
};

class ScriptedServices : public ui::Services {
 public:
  ScriptedServices();
  ~ScriptedServices() override;

  ui::Answer MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                        const std::string& title) override;
  void ProcessEvents() override { ++events_processed; }
  void SetPointer(const std::string& window, int pointer) override;
  std::optional<std::string> OpenFileDialog(const ui::FileDialogRequest& request) override;
  bool ClearClipboard() override;
  bool SetClipboardText(const std::string& text) override;
  void OpenUrl(const std::string& url) override { opened_urls.push_back(url); }
  double Random() override { return random_value; }
  std::string ProgramFolder() override { return program_folder; }

  // Script: answers for Yes/No questions, in order (default No when empty);
  // file dialog results (nullopt = Cancel).
  std::deque<ui::Answer> answers;
  // When set, answers a question by its text first (nothing: take `answers`).
  std::function<std::optional<ui::Answer>(const std::string& text)> answer_for;
  std::deque<std::optional<std::string>> file_choices;
  int clipboard_failures = 0;  // this many clipboard calls fail before one succeeds
  double random_value = 0.5;
  std::string program_folder = "/opt/pelmora";

  // Record.
  std::vector<ShownMessage> messages;
  std::vector<std::pair<std::string, int>> pointer_changes;
  std::vector<ui::FileDialogRequest> file_requests;
  std::vector<std::string> opened_urls;
  std::string clipboard;
  int clipboard_calls = 0;
  long events_processed = 0;

 private:
  ui::Services* previous_;
};

}  // namespace testing_support
