#pragma once
// How the conversion that keeps types carries a PostgreSQL column into
// Access: the type it declares, what the source query selects for it (always
// a text the server writes, so that every value arrives exactly, whatever the
// driver would make of the type), how its values are written into INSERT
// statements, and what changes on the way, for the report and the log.
//
// The choice needs facts about the values (db/source_facts.h): a bigint is a
// Long when every value fits 32 bits, a Boolean that holds NULL cannot be a
// Yes/No, a text longer than 255 UTF-16 units is a Memo.

#include <cstdint>
#include <string>
#include <vector>

#include "db/source_facts.h"
#include "db/source_schema.h"

namespace engine {

// How a value, as the source query's text, becomes a literal.
enum class ValueForm {
  kNumber,         // as it is: integers, decimals, floating numbers, currency
  kYesNo,          // true / false -> True / False
  kYesNoAsNumber,  // true / false -> -1 / 0 (a Boolean column that holds NULL)
  kDateTime,       // yyyy-mm-dd [hh:mm:ss[.f..]] -> #yyyy-mm-dd hh:mm:ss.fff# (a date alone stays one)
  kText,           // 'quoted', control characters as Chr(n) joined with &
  kBinary,         // hexadecimal digits -> 0x...
  kGuid,           // a uuid -> '{...}'
};

struct TypedColumn {
  std::string name;         // the source column's
  std::string access_type;  // as CREATE TABLE declares it: "LONG", "TEXT(20)", "DECIMAL(19,0)", "COUNTER", "MEMO" ...
  ValueForm form = ValueForm::kText;
  std::string select;  // the source query's item for it: an expression over the column giving a text
  bool not_null = false;
  bool counter = false;    // the table's AutoNumber
  bool keyable = true;     // Access can index it (no OLE Object)
  std::string change;      // what happens to its values on the way, empty when nothing does
  int64_t changed = 0;     // how many values that is, -1 for every value
  size_t row_bytes = 0;    // the most a value takes in an Access row
};

// `counter_free`: no earlier column of the table became its AutoNumber.
TypedColumn MapColumn(const db::SourceColumn& column, const db::ColumnFacts& facts, bool counter_free);

// The columns of one table, in order, one AutoNumber at most; then the widest
// Text columns become Memo while a row could exceed what an Access row holds.
std::vector<TypedColumn> MapColumns(const db::SourceTable& table, const std::vector<db::ColumnFacts>& facts);

// The most an Access row holds (its fixed part, variable part and bookkeeping).
inline constexpr size_t kAccessRowBytes = 4060;

}  // namespace engine
