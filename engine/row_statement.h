#pragma once
// BuildRowStatement: the Access INSERT INTO text for the current row of an open
// source record set.
//
// Each value is written as NULL, as a bare number (the fields listed in
// NumericPositions) or as a quoted text, and texts that read as dates are
// rewritten as "mm/dd/yyyy[ hh:nn:ss]". The builder runs inside the conversion
// run's trap: a failing step is reported under the run's name with its step
// number (304 to 388) and the row goes on with its next step.
//
// This runs for every row of every table, so the positions are split once per
// table (NumericPositions) and a RowStatementBuilder keeps its buffers between
// rows: one pass over the fields, no allocation once the buffers have grown.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/recordset.h"
#include "report/error_report.h"

namespace engine {

// The positions of the numeric fields, ascending, split from the text that
// BuildTableDefinition writes ("0, 3, ").
class NumericPositions {
 public:
  NumericPositions() = default;
  // Splits at the commas; blanks around a position and empty pieces (the tail
  // after the last ", ") are ignored. A piece that is not a whole number raises.
  static NumericPositions Split(std::string_view text);

  bool Empty() const { return positions_.empty(); }
  const std::vector<long>& List() const { return positions_; }

 private:
  std::vector<long> positions_;
};

class RowStatementBuilder {
 public:
  RowStatementBuilder(std::string_view table_name, NumericPositions positions, report::Trap& trap);

  // The statement for the record set's current row; the record set is not
  // moved. Empty when the row has no value to write (no fields, or only long
  // binary ones). The text stays valid until the next call.
  const std::string& Build(ado::Recordset& recordset);

 private:
  bool IsLongBinary(int16_t type);
  void WriteNull();
  void WriteNumeric(std::string_view text);
  void WriteText(std::string_view text, bool table_has_numeric_fields);

  std::string start_;  // INSERT INTO "t" VALUES(
  NumericPositions positions_;
  report::Trap& trap_;
  std::string statement_;
  std::string value_scratch_;
  std::string cleaned_;
  std::array<int8_t, 256> long_binary_{};  // per type code: 0 unknown, 1 no, 2 yes
};

// One statement, for callers that build a single row.
std::string BuildRowStatement(std::string_view table_name, ado::Recordset& recordset,
                              const NumericPositions& positions, report::Trap& trap);

}  // namespace engine
