#include "platform/ui/qt/dialog_texts.h"

namespace ui {

QString DisplayText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return QString::fromStdString(out);
}

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
