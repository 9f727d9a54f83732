#include "tools/convert/stored_rows.h"

#include <cctype>

#include "platform/jet/public/database.h"

namespace convert {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

std::optional<StoredCounts> CountStoredRows(const db::TargetFields& target, const std::vector<std::string>& tables) {
  auto db = jet::Database::Open(target.path, {.password = target.password});
  if (!db) return std::nullopt;
  StoredCounts counts;
  std::vector<std::string> counted;  // names equal but for case are one Access table
  for (const std::string& table : tables) {
    if (!(*db)->HasTable(table)) continue;
    bool seen = false;
    for (const auto& c : counted) seen = seen || EqualNoCase(c, table);
    if (seen) continue;
    counted.push_back(table);
    auto reader = (*db)->ReadTable(table);
    if (!reader) return std::nullopt;
    ++counts.tables;
    for (; (*reader)->Valid(); (*reader)->Next()) ++counts.rows;
    if (!(*reader)->status()) return std::nullopt;
  }
  return counts;
}

}  // namespace convert
