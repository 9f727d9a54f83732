#pragma once
// Conversions between the program's texts and what Qt's dialogs expect.

#include <QString>
#include <QStringList>
#include <string_view>

namespace ui {

// Message texts use CR LF and bare CR as line breaks; Qt shows only LF, and a bare
// CR would swallow the empty line that "\r\r" means. Both become "\n".
QString DisplayText(std::string_view text);

// "Description|pattern|Description|pattern|" (patterns may be ";"-separated)
// becomes Qt name filters "Description (pattern ...)", in order.
QStringList NameFilters(std::string_view filter);

}  // namespace ui
