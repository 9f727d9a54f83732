#include "preview/row_text.h"

#include <QString>
#include <algorithm>
#include <functional>

namespace preview {

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::optional<std::string> ReplaceFirstOccurrence(std::string_view text, std::string_view search,
                                                  std::string_view replacement) {
  if (search.empty()) return std::nullopt;
  const bool ascii_search =
      std::all_of(search.begin(), search.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii_search) {
    // Bytes compared with ASCII letters folded: the row's bytes stay as they
    // are, whatever they hold.
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto found = std::search(text.begin(), text.end(), search.begin(), search.end(),
                                   [&](char a, char b) { return fold(a) == fold(b); });
    if (found == text.end()) return std::nullopt;
    const size_t p = static_cast<size_t>(found - text.begin());
    std::string changed(text.substr(0, p));
    changed += replacement;
    changed += text.substr(p + search.size());
    return changed;
  }
  // Letter case is compared on characters, not bytes, so that "É" finds "é".
  const QString row = QString::fromUtf8(text.data(), qsizetype(text.size()));
  const QString needle = QString::fromUtf8(search.data(), qsizetype(search.size()));
  const qsizetype found = row.indexOf(needle, 0, Qt::CaseInsensitive);
  if (found < 0) return std::nullopt;
  QString changed = row.left(found);
  changed += QString::fromUtf8(replacement.data(), qsizetype(replacement.size()));
  changed += row.mid(found + needle.size());
  return changed.toStdString();
}

}  // namespace preview
