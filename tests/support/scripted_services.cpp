#include "tests/support/scripted_services.h"

namespace testing_support {

ScriptedServices::ScriptedServices() : previous_(nullptr) { ui::SetCurrent(this); }
ScriptedServices::~ScriptedServices() { ui::SetCurrent(previous_); }

ui::Answer ScriptedServices::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                                        const std::string& title) {
  messages.push_back({text, buttons, icon, title.empty() ? ui::ApplicationTitle() : title});
  if (buttons == ui::Buttons::Ok) return ui::Answer::Ok;
  if (answer_for)
    if (auto answer = answer_for(text)) return *answer;
  if (answers.empty()) return ui::Answer::No;
  ui::Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedServices::SetPointer(const std::string& window, int pointer) {
  pointer_changes.emplace_back(window, pointer);
}

std::optional<std::string> ScriptedServices::OpenFileDialog(const ui::FileDialogRequest& request) {
  file_requests.push_back(request);
  if (file_choices.empty()) return std::nullopt;
  auto choice = file_choices.front();
  file_choices.pop_front();
  return choice;
}

bool ScriptedServices::ClearClipboard() {
  ++clipboard_calls;
  if (clipboard_failures > 0) {
    --clipboard_failures;
    return false;
  }
  clipboard.clear();
  return true;
}

bool ScriptedServices::SetClipboardText(const std::string& text) {
  ++clipboard_calls;
  if (clipboard_failures > 0) {
    --clipboard_failures;
    return false;
  }
  clipboard = text;
  return true;
}

}  // namespace testing_support
