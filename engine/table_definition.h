#pragma once
// BuildTableDefinition: the Access CREATE TABLE text for one open source record
// set, the table's rows of the conversion log, and NumericPositions, the list of
// fields the row statements write without quotes.
//
// The field's ADO type name, lower-cased, is tried against an ordered list of
// substring rules; the first match decides the declared type. Long binary
// fields are left out of the table but still take up a position and get their
// (empty-typed) log row. The builder runs inside the conversion run's trap:
// a failing step is reported under the run's name with its own step number
// (182 to 288) and the build goes on with the next step.

#include <string>
#include <string_view>

#include "engine/conversion_log.h"
#include "platform/ado/recordset.h"
#include "report/error_report.h"

namespace engine {

struct TableDefinition {
  // `CREATE TABLE "t" (a INT,b VARCHAR);`, or empty when the table has no
  // column to declare (no fields, or only long binary ones): the caller then
  // writes no CREATE TABLE and no row statements for it.
  std::string statement;
  // The positions of the numeric fields, each followed by ", ": "0, 3, ".
  std::string numeric_positions;
};

TableDefinition BuildTableDefinition(std::string_view table_name, ado::Recordset& recordset, ConversionLog& log,
                                     report::Trap& trap);

// The lower-cased type name of a field type code ("adlongvarbinary" for 205).
std::string LowerTypeName(int16_t type);

}  // namespace engine
