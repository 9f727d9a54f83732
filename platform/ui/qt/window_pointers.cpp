#include "platform/ui/qt/window_pointers.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <map>
#include <optional>

#include "platform/ui/services.h"

namespace ui {
namespace {

struct Entry {
  QPointer<QWidget> window;
  int pointer = kPointerDefault;
  std::optional<QCursor> custom;
  bool applied = false;  // the widgets show `pointer`
};

std::map<std::string, Entry>& Entries() {
  static std::map<std::string, Entry> entries;
  return entries;
}

void Apply(const std::string& name) {
  Entry& entry = Entries()[name];
  entry.applied = false;
  if (!entry.window) return;
  entry.applied = true;
  const QCursor cursor = WindowPointers::CursorFor(name, entry.pointer);
  entry.window->setCursor(cursor);
  for (QWidget* child : entry.window->findChildren<QWidget*>()) {
    if (child->window() == entry.window) child->setCursor(cursor);
  }
}

// Re-applies the setting when the window is shown, so that controls created
// after the last change follow it too.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(std::string name, QObject* parent) : QObject(parent), name_(std::move(name)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched == parent()) Apply(name_);
    return false;
  }

 private:
  std::string name_;
};

}  // namespace

void WindowPointers::Register(const std::string& name, QWidget* window) {
  Entry& entry = Entries()[name];
  entry.window = window;
  auto* watcher = new ShowWatcher(name, window);
  window->installEventFilter(watcher);
  Apply(name);
}

void WindowPointers::SetCustomImage(const std::string& name, const QCursor& cursor) {
  Entries()[name].custom = cursor;
  if (Get(name) == kPointerCustom) Apply(name);
}

bool WindowPointers::HasCustomImage(const std::string& name) {
  auto it = Entries().find(name);
  return it != Entries().end() && it->second.custom.has_value();
}

void WindowPointers::Set(const std::string& name, int pointer) {
  Entry& entry = Entries()[name];
  // Hover handlers set the pointer at every mouse move; only changes walk the widgets.
  if (entry.pointer == pointer && entry.applied) return;
  entry.pointer = pointer;
  Apply(name);
}

int WindowPointers::Get(const std::string& name) {
  auto it = Entries().find(name);
  return it == Entries().end() ? kPointerDefault : it->second.pointer;
}

QCursor WindowPointers::CursorFor(const std::string& name, int pointer) {
  switch (pointer) {
    case kPointerHourglass:
      return QCursor(Qt::WaitCursor);
    case kPointerCustom: {
      auto it = Entries().find(name);
      if (it != Entries().end() && it->second.custom) return *it->second.custom;
      return QCursor(Qt::ArrowCursor);
    }
    default:
      return QCursor(Qt::ArrowCursor);
  }
}

void WindowPointers::Reset() { Entries().clear(); }

}  // namespace ui
