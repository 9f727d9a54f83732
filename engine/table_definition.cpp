#include "engine/table_definition.h"

#include <array>

#include "engine/datatype.h"
#include "platform/ui/services.h"

namespace engine {
namespace {

struct MappingRule {
  std::string_view test;  // empty: matches every name
  std::string_view column_text;
  std::string_view source_type;
  std::string_view access_type;
  bool numeric;
  int step;  // the rule's test; its actions follow at step + 2, + 4, ...
};

// Tried in this order; the first rule whose test text occurs in the name wins.
// "char" before "int" and "date" makes every character type VARCHAR; a single
// becomes REAL (Access Single, the same 4-byte float, so every value arrives
// exactly); numeric, currency and time-of-day fall through to VARCHAR.
constexpr std::array<MappingRule, 8> kRules = {{
    {"char", " VARCHAR,", "char", "VARCHAR", false, 204},
    {"decimal", " DECIMAL,", "dec", "DECIMAL", true, 214},
    {"single", " REAL,", "single", "REAL", true, 224},
    {"int", " INT,", "int", "INT", true, 234},
    {"date", " TEXT,", "date", "VARCHAR", false, 244},
    {"timestamp", " TEXT,", "timestamp", "VARCHAR", false, 254},
    {"double", " FLOAT,", "double", "FLOAT", true, 264},
    {"", " VARCHAR,", "OTHER TYPES", "VARCHAR", false, 274},
}};

constexpr std::string_view kLongBinary = "adlongvarbinary";

}  // namespace

std::string LowerTypeName(int16_t type) {
  std::string name = engine::GetDatatypeName(type);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

TableDefinition BuildTableDefinition(std::string_view table_name, ado::Recordset& recordset, ConversionLog& log,
                                     report::Trap& trap) {
  TableDefinition out;
  std::string& statement = out.statement;
  std::string& numeric_positions = out.numeric_positions;
  std::string field_name;
  std::string type_name;
  long position = 0;
  int declared = 0;  // column texts appended

  trap(182, [&] {
    statement = "CREATE TABLE \"";
    statement += table_name;
    statement += "\" (";
  });
  trap(184, [&] { numeric_positions.clear(); });
  trap(186, [&] { field_name.clear(); });
  trap(188, [&] { position = 0; });

  std::vector<ado::Field>* fields = nullptr;
  trap(190, [&] { fields = &recordset.Fields(); });
  for (size_t i = 0; fields && i < fields->size(); ++i) {
    ado::Field& field = (*fields)[i];
    trap(192, [&] { log.AddRow(table_name); });
    trap(194, [&] { ui::Current().ProcessEvents(); });
    trap(196, [&] { log.SetLastRowSubItem(ConversionLog::kField, field.Name()); });
    trap(198, [&] { field_name = field.Name(); });
    trap(200, [&] { type_name = LowerTypeName(field.Type()); });
    bool skipped = false;
    trap(202, [&] { skipped = type_name == kLongBinary; });
    if (!skipped) {
      for (const MappingRule& rule : kRules) {
        bool matched = false;
        trap(rule.step, [&] { matched = rule.test.empty() || type_name.find(rule.test) != std::string::npos; });
        if (!matched) continue;
        trap(rule.step + 2, [&] {
          statement += field_name;
          statement += rule.column_text;
          ++declared;
        });
        trap(rule.step + 4, [&] { log.SetLastRowSubItem(ConversionLog::kSourceType, rule.source_type); });
        trap(rule.step + 6, [&] { log.SetLastRowSubItem(ConversionLog::kAccessType, rule.access_type); });
        if (rule.numeric) trap(rule.step + 8, [&] {
            numeric_positions += std::to_string(position);
            numeric_positions += ", ";
          });
        break;
      }
    }
    trap(284, [&] { ++position; });
  }

  // With no column there is nothing to declare: "CREATE TABLE "t" ();" (or
  // worse, with the opening parenthesis cut off) would only be refused.
  if (declared == 0) {
    statement.clear();
    return out;
  }
  trap(286, [&] { statement.pop_back(); });
  trap(288, [&] { statement += ");"; });
  return out;
}

}  // namespace engine
