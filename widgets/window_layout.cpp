#include "widgets/window_layout.h"

#include <QGuiApplication>
#include <QScreen>

namespace widgets {

int Px(int twips) {
  double scale = 1.0;
  if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInch() > 0)
    scale = screen->logicalDotsPerInch() / 96.0;
  return qRound(twips / 15.0 * scale);
}

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont WindowFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(9);
  font.setBold(true);
  return font;
}

QFont ButtonFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(11.25);
  font.setBold(true);
  return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setFont(ButtonFont());
  button->setAutoDefault(false);
  Place(button, left, top, width, height);
  return button;
}

}  // namespace widgets
