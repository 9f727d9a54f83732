#pragma once
// What an Access file holds of the tables a run converted, read back after
// writes failed: the run's own counts cannot say which statements reached it.

#include <optional>
#include <string>
#include <vector>

#include "db/target_fields.h"

namespace convert {

struct StoredCounts {
  long tables = 0;      // of the tables asked for, those the file has
  long long rows = 0;   // their rows
};

// Nothing when the file cannot be opened or read.
std::optional<StoredCounts> CountStoredRows(const db::TargetFields& target, const std::vector<std::string>& tables);

}  // namespace convert
