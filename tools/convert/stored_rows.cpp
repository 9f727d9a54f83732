#include "tools/convert/stored_rows.h"

#include "platform/jet/public/database.h"

namespace convert {

std::optional<StoredCounts> CountStoredRows(const db::TargetFields& target, const std::vector<std::string>& tables) {
  auto db = jet::Database::Open(target.path, {.password = target.password});
  if (!db) return std::nullopt;
  StoredCounts counts;
  for (const std::string& table : tables) {
    if (!(*db)->HasTable(table)) continue;
    auto reader = (*db)->ReadTable(table);
    if (!reader) return std::nullopt;
    ++counts.tables;
    for (; (*reader)->Valid(); (*reader)->Next()) ++counts.rows;
    if (!(*reader)->status()) return std::nullopt;
  }
  return counts;
}

}  // namespace convert
