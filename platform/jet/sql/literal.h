#pragma once
// Converts a literal of an INSERT statement into the cell stored in a column,
// as Access converts: numbers into Text as their text, numeric text into
// numbers, fractions into integer columns rounded half to even, dates from
// 'mm/dd/yyyy[ hh:nn:ss]' or 'yyyy-mm-dd[ hh:nn:ss]', Booleans from
// True/False/Yes/No/On/Off and numbers. A value that does not fit is refused
// with a message ("SQLException: ...") naming table, column and value.
//
// Cells by column type: Boolean -> bool; Byte, Integer, Long, BigInt -> int64_t;
// Single, Double -> double (a Single already rounded to float); Money -> Money;
// Numeric -> Decimal (at the column's scale); DateTime -> DateTimeValue;
// Text, Memo -> std::string (UTF-8); Binary, OLE -> Bytes; GUID -> Guid.
// NULL gives Null, except in a Yes/No column (which holds no Null: false) and
// a NOT NULL column that is not an AutoNumber (refused).

#include <string_view>

#include "platform/jet/public/result.h"
#include "platform/jet/sql/ast.h"
#include "platform/jet/public/value.h"

namespace jet::sql {

Result<Cell> ConvertLiteral(const Literal& literal, const ColumnSpec& column, std::string_view table);

// The same, moving a text into the cell instead of copying it (long memos).
Result<Cell> ConvertLiteral(Literal&& literal, const ColumnSpec& column, std::string_view table);

}  // namespace jet::sql
