#include "widgets/window_helpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <map>

#include "db/file_exists.h"
#include "platform/ui/qt/cursor_file.h"
#include "platform/ui/qt/window_pointers.h"
#include "platform/ui/services.h"

namespace widgets {
namespace {

bool TakesButtonFace(QWidget* widget) {
  return qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget) || qobject_cast<QGroupBox*>(widget) ||
         qobject_cast<QLabel*>(widget);
}

void SetBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void PaintButtonFace(QWidget* window) {
  const QColor face = QApplication::palette(window).color(QPalette::Button);
  SetBackground(window, face);
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (child->window() == window && TakesButtonFace(child)) SetBackground(child, face);
  }
}

// Repaints with the new button colour when the desktop's scheme changes.
class ButtonFaceFollower : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ApplicationPaletteChange && watched == parent())
      PaintButtonFace(static_cast<QWidget*>(watched));
    return false;
  }
};

enum class Hover { Default, Hand };

class HoverRule : public QObject {
 public:
  HoverRule(QWidget* window, std::string name) : QObject(window), name_(std::move(name)) {}

  void Add(QWidget* element, Hover kind) {
    elements_[element] = kind;
    element->setMouseTracking(true);
    element->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    QPointF position;
    if (event->type() == QEvent::MouseMove)
      position = static_cast<QMouseEvent*>(event)->position();
    else if (event->type() == QEvent::Enter)
      position = static_cast<QEnterEvent*>(event)->position();
    else
      return false;
    auto it = elements_.find(static_cast<QWidget*>(watched));
    if (it == elements_.end()) return false;
    // A move over a control inside this element (a label on a frame, a field
    // without a rule) reaches the element too; it belongs to that control.
    if (it->first->childAt(position.toPoint())) return false;
    if (ui::WindowPointers::Get(name_) == ui::kPointerHourglass) return false;
    ui::WindowPointers::Set(name_, it->second == Hover::Hand ? ui::kPointerCustom : ui::kPointerDefault);
    return false;
  }

 private:
  std::string name_;
  std::map<QWidget*, Hover> elements_;
};

}  // namespace

void ApplyButtonFaceColors(QWidget* window) {
  PaintButtonFace(window);
  if (!window->property("pelmora_button_face").toBool()) {
    window->setProperty("pelmora_button_face", true);
    window->installEventFilter(new ButtonFaceFollower(window));
  }
}

std::string SkinFilePath(const std::string& program_folder) { return program_folder + "/x/o.cjs"; }

bool SkinFileExists(const std::string& program_folder) {
  return QFileInfo(QString::fromStdString(SkinFilePath(program_folder))).isFile();
}

void ApplySkin(QWidget* main_window) { ApplyButtonFaceColors(main_window); }

std::string HandPointerPath(const std::string& program_folder) { return program_folder + "/HAND-M.CUR"; }

void LoadCustomPointer(const std::string& window_name, const std::string& path) {
  ui::WindowPointers::SetCustomImage(window_name, ui::LoadCursorFile(QString::fromStdString(path)));
}

void InstallHoverRule(QWidget* window, const std::string& window_name, std::initializer_list<QWidget*> default_elements,
                      std::initializer_list<QWidget*> hand_elements) {
  auto* rule = new HoverRule(window, window_name);
  for (QWidget* element : default_elements) rule->Add(element, Hover::Default);
  for (QWidget* element : hand_elements) rule->Add(element, Hover::Hand);
}

bool FileExists(const std::string& path) { return db::FileExists(path); }

}  // namespace widgets
