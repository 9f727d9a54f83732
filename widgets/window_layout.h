#pragma once
// Placement in twips, the two fonts and push buttons as every window of the
// program makes them (the main window and the preview windows alike).

#include <QFont>
#include <QPushButton>
#include <QWidget>

namespace widgets {

// Pixels for a length in twips at the screen's scale (15 twips a pixel at 96 dpi).
int Px(int twips);
void Place(QWidget* widget, int left, int top, int width, int height);
QFont WindowFont();  // Arial 9 point bold
QFont ButtonFont();  // Arial 11.25 point bold
// A push button in the button font that never becomes the default button.
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height);

}  // namespace widgets
