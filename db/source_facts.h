#pragma once
// Facts about a source table's values that choosing the Access types needs:
// ranges, scales, lengths and the values Access cannot hold.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "db/source_schema.h"
#include "platform/ado/connection.h"

namespace db {

// The most digits an Access Decimal holds: a numeric declared within them
// is typed by its declaration, and its digits are not counted.
inline constexpr int kAccessDecimalDigits = 28;

// The digits a numeric(p,s) declaration allows, as an Access Decimal
// declares them: PostgreSQL 15 takes a scale beyond the precision
// (numeric(3,5) holds 0.00123) and below zero (numeric(5,-2) holds 9999900).
// A precision of 0 or less: unconstrained.
struct DeclaredDecimal {
  int precision = 0, scale = 0;
};
inline DeclaredDecimal DeclaredDigits(const SourceColumn& column) {
  if (column.precision <= 0) return {};
  if (column.scale < 0) return {column.precision - column.scale, 0};
  return {std::max(column.precision, column.scale), column.scale};
}

struct ColumnFacts {
  bool has_null = false;
  bool any_value = false;                           // at least one non-NULL value
  std::optional<int64_t> min_integer, max_integer;  // int2, int4, int8 and their domains; none without values
  // The next three for a numeric without a declared precision, or one beyond
  // kAccessDecimalDigits; the defaults otherwise.
  int max_scale = 0;                                // numeric: most digits after the point, as stored
  int max_integer_digits = 0;                       // numeric: most digits before the point (0.5 has none)
  // numeric: every value's text equals that of (value::float8)::text, the
  // shortest text that reads back (PostgreSQL 12 and later).
  bool numeric_text_round_trips_as_double = true;
  bool special_floats = false;        // float4, float8, numeric: NaN or an infinity
  bool beyond_currency = false;       // money: outside Currency's ±922337203685477.5807
  bool dates_outside_access = false;  // date, timestamp, timestamptz: an infinity or a year outside 100..9999
  int64_t finer_than_millisecond = 0; // timestamp, timestamptz, time, timetz: values with a finer fraction
  // Everything read as text (text types, json, arrays, enums, interval ...),
  // and a numeric, floating or date column holding what Access cannot (NaN,
  // an infinity, more than 28 digits, a year outside 100..9999), which is
  // kept as text: the longest value in UTF-16 code units. char(n) values
  // count without their padding, as PostgreSQL's text of them has none.
  int64_t max_utf16_length = 0;
  int64_t max_octets = 0;             // bytea: the longest value in bytes
};

// One ColumnFacts per column of `table`, in column order, from one aggregate
// query over the whole table (only the aggregates each column's base type
// needs), and a second one only when a column must be kept as text. Dates and times are seen in the session's time zone, which the
// caller sets beforehand. `rows`, when given, receives the table's count of
// rows. Raises ado::Error when the query fails.
std::vector<ColumnFacts> ReadColumnFacts(ado::Connection& source, const SourceTable& table, int64_t* rows = nullptr);

}  // namespace db
