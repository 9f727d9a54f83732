#pragma once
// Everything the program asks of the desktop goes through this one interface:
// message boxes, the open-file dialog, the clipboard, the shell, pointers, the
// event pump and the random draw. QtServices realises it; tests use a scripted
// double (tests/support/scripted_services.h) that records and answers.

#include <optional>
#include <string>

namespace ui {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Exclamation };
enum class Answer { Ok, Yes, No };

// Mouse pointer values as windows set them.
enum Pointer : int { kPointerDefault = 0, kPointerHourglass = 11, kPointerCustom = 99 };

struct FileDialogRequest {
  std::string title;
  std::string filter;  // "Description|pattern|Description|pattern|"
  unsigned long flags = 0;
};

class Services {
 public:
  virtual ~Services() = default;

  // Modal message box. An empty title means the application title.
  virtual Answer MessageBox(const std::string& text, Buttons buttons = Buttons::Ok,
                            Icon icon = Icon::None, const std::string& title = {}) = 0;
  // Lets the user interface repaint and handle input, then returns.
  virtual void ProcessEvents() = 0;
  // Sets the pointer of a window (by its name, "Form1" ...).
  virtual void SetPointer(const std::string& window, int pointer) = 0;
  // The chosen path, or nothing after Cancel.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
  // Clipboard; both may fail while another program holds it (false).
  virtual bool ClearClipboard() = 0;
  virtual bool SetClipboardText(const std::string& text) = 0;
  // Opens a web address or mailto: link with the desktop's default handler.
  virtual void OpenUrl(const std::string& url) = 0;
  // A number in [0, 1), as Rnd gives.
  virtual double Random() = 0;
  // The folder of the running executable.
  virtual std::string ProgramFolder() = 0;
};

// The program-wide services and application title. Set once at start-up.
Services& Current();
void SetCurrent(Services* services);
const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

}  // namespace ui
