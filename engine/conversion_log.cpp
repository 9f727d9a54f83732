#include "engine/conversion_log.h"

#include <stdexcept>

namespace engine {

void ConversionLog::AddRow(std::string_view table) { rows_.push_back(ColumnMapping{std::string(table), {}, {}, {}}); }

void ConversionLog::SetLastRowSubItem(int sub_item, std::string_view text) {
  if (rows_.empty()) throw std::out_of_range("Index out of bounds");
  ColumnMapping& row = rows_.back();
  switch (sub_item) {
    case kField: row.field = text; break;
    case kSourceType: row.source_type = text; break;
    case kAccessType: row.access_type = text; break;
    default: throw std::out_of_range("Invalid property value");
  }
}

}  // namespace engine
