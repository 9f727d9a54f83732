#pragma once
// The program's pictures, drawn in code: the application icon and the hand
// pointer that the build writes to HAND-M.CUR.

#include <QIcon>
#include <QImage>
#include <QPoint>

namespace app {

// Two databases and an arrow between them, on a rounded square.
QImage DrawAppIcon(int size);
QIcon AppIcon();

// A pointing hand, 32 by 32, and the tip of its finger.
QImage DrawHandPointer();
inline constexpr QPoint kHandPointerHotspot{7, 0};

}  // namespace app
