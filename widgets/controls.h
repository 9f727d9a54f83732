#pragma once
// The main window's control kinds on Qt, with the behaviour the program's
// windows expect of them where Qt's own differs.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <string>

namespace widgets {

// A one-line text box. With select-on-focus, focus entering the box selects its
// whole text; without it, focus leaves the caret where it was and selects
// nothing (Qt would select everything on Tab). A masked box shows "*" for every
// character.
class TextBox : public QLineEdit {
 public:
  explicit TextBox(QWidget* parent, bool select_on_focus = false, bool masked = false);
  std::string Text() const { return text().toStdString(); }
  void SetText(const std::string& text) { setText(QString::fromStdString(text)); }

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  bool select_on_focus_;
};

// A multi-line text box in which Tab moves the focus, as in every other field.
class MultiLineTextBox : public QPlainTextEdit {
 public:
  explicit MultiLineTextBox(QWidget* parent);
};

// A check box whose value is the program's check state: 0 clear, 1 ticked,
// 2 greyed (Qt orders them 0, 2, 1). Greyed is set by the program only; a click
// on a greyed or clear box ticks it, a click on a ticked box clears it, so a
// click never greys it.
class CheckBox : public QCheckBox {
 public:
  static constexpr int kClear = 0, kTicked = 1, kGreyed = 2;
  CheckBox(const QString& caption, QWidget* parent);
  int Value() const;
  // Throws std::runtime_error("Invalid property value") for a state outside 0..2.
  void SetValue(int state);

 protected:
  void nextCheckState() override;
};

// One option of a group of option buttons (the siblings on the same frame).
// SetValue(false) really clears it, so that all options of a group may be clear,
// which an exclusive Qt group never allows.
class OptionButton : public QRadioButton {
 public:
  OptionButton(const QString& caption, QWidget* parent);
  bool Value() const { return isChecked(); }
  void SetValue(bool value);
};

// A progress bar that shows a caption of the program's choosing over the bar.
class ProgressBar : public QProgressBar {
 public:
  explicit ProgressBar(QWidget* parent);
  void SetCaption(const std::string& caption);
  std::string Caption() const { return caption_; }
  // What the bar shows: the caption as it is ("%p" stays "%p").
  QString text() const override { return QString::fromStdString(caption_); }

 private:
  std::string caption_;
};

}  // namespace widgets
