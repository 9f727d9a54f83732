#pragma once
// The pointer setting of each window, by the window's name ("Form1" ...).
//
// A window's pointer (default arrow 0, hourglass 11, custom 99) applies over the
// window and every control on it: it is set on each widget of the window, so it
// wins over a control's own cursor (the I-beam of a line edit). The custom value
// shows the window's custom image, or the arrow when it has none. Secondary
// windows owned by a window keep their own pointers.

#include <QCursor>
#include <string>

class QWidget;

namespace ui {

class WindowPointers {
 public:
  // Attaches a window to its name; its current setting is applied at once and
  // again whenever the window is shown. The entry forgets the widget when it dies.
  static void Register(const std::string& name, QWidget* window);
  static void SetCustomImage(const std::string& name, const QCursor& cursor);
  static bool HasCustomImage(const std::string& name);
  static void Set(const std::string& name, int pointer);
  // kPointerDefault for a window never set.
  static int Get(const std::string& name);
  // The cursor that `pointer` means for that window.
  static QCursor CursorFor(const std::string& name, int pointer);
  // Forgets every window (tests).
  static void Reset();
};

}  // namespace ui
