#pragma once
// What the preview windows share: placement in twips, the two fonts, push
// buttons as every window makes them, and the loading steps common to each
// window (colour scheme, icon, caption, hand pointer).

#include <QFont>
#include <QPushButton>
#include <QWidget>
#include <string>

namespace report {
class Trap;
}

namespace preview {

inline constexpr const char* kProductName = "Pelmora";

// Pixels for a length in twips at the screen's scale (15 twips a pixel at 96 dpi).
int Px(int twips);
void Place(QWidget* widget, int left, int top, int width, int height);
QFont WindowFont();  // Arial 9 point bold
QFont ButtonFont();  // Arial 11.25 point bold
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height);

// Form_Load's common steps, numbered from `first_step` in steps of 2: the
// window colour scheme, the application icon, the caption "<caption> - Pelmora",
// and the hand pointer from HAND-M.CUR in the program folder when it exists.
// Returns the next free step number.
int LoadWindowLook(report::Trap& trap, int first_step, QWidget* window, const std::string& window_name,
                   const char* caption);

}  // namespace preview

class QDialog;

namespace preview {

// Shows a dialog modally and returns when it closes; once the program is
// ending it returns at once without showing it.
void ShowModal(QDialog* dialog);

}  // namespace preview
