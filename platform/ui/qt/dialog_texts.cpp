#include "platform/ui/qt/dialog_texts.h"

#include "platform/ui/line_breaks.h"

namespace ui {

QString DisplayText(std::string_view text) { return QString::fromStdString(WithLineFeeds(text)); }

QStringList NameFilters(std::string_view filter) {
  QStringList parts = QString::fromUtf8(filter.data(), qsizetype(filter.size())).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    if (description.isEmpty() && patterns.isEmpty()) continue;
    patterns.replace(';', ' ');
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.simplified());
  }
  return filters;
}

}  // namespace ui
