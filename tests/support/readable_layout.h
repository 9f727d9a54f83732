#pragma once
// What a user of a window notices about its layout: every caption shows whole,
// and no control covers another in the same panel (the window or a group box).
// Labels may end one pixel inside the field they name, as designed.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace testing_support {

inline void ExpectReadableLayout(QWidget& window) {
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&window)) continue;
    const std::string name = widget->objectName().toStdString();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4) << name;
    } else if (qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget)) {
      EXPECT_LE(widget->sizeHint().width(), widget->width()) << name;
    }
  }
  QList<QWidget*> panels = {&window};
  for (QGroupBox* box : window.findChildren<QGroupBox*>()) panels.append(box);
  for (QWidget* panel : panels) {
    QList<QWidget*> children;
    for (QWidget* child : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (child->isVisibleTo(&window) && !child->isWindow()) children.append(child);
    for (QWidget* a : children)
      for (QWidget* b : children)
        if (a < b)
          EXPECT_LE((a->geometry() & b->geometry()).width(), 1)
              << a->objectName().toStdString() << " and " << b->objectName().toStdString();
  }
}

}  // namespace testing_support
