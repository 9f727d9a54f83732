#pragma once
// What the preview windows share: the loading steps common to each window
// (colour scheme, icon, caption, hand pointer) and their modal showing.

#include <QWidget>
#include <string>

#include "widgets/window_layout.h"

namespace report {
class Trap;
}

namespace preview {

inline constexpr const char* kProductName = "Pelmora";

// The preview windows place their controls in twips with the shared helpers.
using widgets::ButtonFont;
using widgets::MakeButton;
using widgets::Place;
using widgets::Px;
using widgets::WindowFont;

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
