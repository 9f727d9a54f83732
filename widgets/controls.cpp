#include "widgets/controls.h"

#include <QFocusEvent>
#include <QProxyStyle>
#include <stdexcept>

namespace widgets {
namespace {

// Masks with "*" and shows no last typed character.
class StarMaskStyle : public QProxyStyle {
 public:
  explicit StarMaskStyle(const QString& base) : QProxyStyle(base) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

}  // namespace

TextBox::TextBox(QWidget* parent, bool select_on_focus, bool masked)
    : QLineEdit(parent), select_on_focus_(select_on_focus) {
  if (masked) {
    auto* style = new StarMaskStyle(QWidget::style()->name());
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
  }
}

void TextBox::focusInEvent(QFocusEvent* event) {
  const int caret = cursorPosition();
  QLineEdit::focusInEvent(event);
  if (select_on_focus_) {
    setSelection(0, int(text().size()));
  } else if (hasSelectedText()) {
    deselect();
    setCursorPosition(caret);
  }
}

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}

int CheckBox::Value() const {
  switch (checkState()) {
    case Qt::Checked:
      return kTicked;
    case Qt::PartiallyChecked:
      return kGreyed;
    default:
      return kClear;
  }
}

void CheckBox::SetValue(int state) {
  switch (state) {
    case kClear:
      setCheckState(Qt::Unchecked);
      break;
    case kTicked:
      setCheckState(Qt::Checked);
      break;
    case kGreyed:
      setCheckState(Qt::PartiallyChecked);
      break;
    default:
      throw std::runtime_error("Invalid property value");
  }
}

void CheckBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

OptionButton::OptionButton(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {}

void OptionButton::SetValue(bool value) {
  if (value || !isChecked()) {
    setChecked(value);
    return;
  }
  // An auto-exclusive button refuses to clear itself; lift that for the change.
  setAutoExclusive(false);
  setChecked(false);
  setAutoExclusive(true);
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(true);
  setAlignment(Qt::AlignCenter);
}

void ProgressBar::SetCaption(const std::string& caption) {
  caption_ = caption;
  update();
}

}  // namespace widgets
