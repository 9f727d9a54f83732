#pragma once
// Small pieces every window shares: the button-face colour scheme, the skin step
// of the main window, the hover rule for the window pointer, and FileExists.

#include <QWidget>
#include <initializer_list>
#include <string>

namespace widgets {

// The window's background, and that of its option buttons, check boxes, frames
// and labels, take the palette's button colour. The colour follows the desktop's
// scheme when that changes later.
void ApplyButtonFaceColors(QWidget* window);

// The skin file "x/o.cjs" below the program folder; a folder of that name does
// not count.
std::string SkinFilePath(const std::string& program_folder);
bool SkinFileExists(const std::string& program_folder);
// Our own look stands in for the skin component: the colour settings alone.
void ApplySkin(QWidget* main_window);

// The hand pointer file "HAND-M.CUR" below the program folder.
std::string HandPointerPath(const std::string& program_folder);
// Makes the cursor file the window's custom pointer image, as every window's
// loading does when FileExists(HandPointerPath(...)). A file that is not a
// cursor throws std::runtime_error("Invalid picture") for the loading's trap.
void LoadCustomPointer(const std::string& window_name, const std::string& path);

// Pointer movement over a default element (the window background, frames, some
// fields) sets the window's pointer to the arrow; over a hand element (the push
// buttons) to the custom image. Neither replaces the hourglass, and elements in
// neither list leave the pointer as it is. The busy test reads the pointer that
// ui::Services::SetPointer set through QtServices (ui::WindowPointers).
void InstallHoverRule(QWidget* window, const std::string& window_name, std::initializer_list<QWidget*> default_elements,
                      std::initializer_list<QWidget*> hand_elements);

// True when the path's modification time can be read: an existing file or
// folder. False for an empty or malformed path or a missing one. Never fails.
bool FileExists(const std::string& path);

}  // namespace widgets
