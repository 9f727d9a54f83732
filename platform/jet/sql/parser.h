#pragma once
// Parses exactly one Jet SQL statement: CREATE TABLE, INSERT INTO ... VALUES,
// DROP TABLE or SELECT * FROM. Keywords in any case, any white space, an
// optional final semicolon; names bare, in "double quotes" ("" inside) or in
// [brackets]. Any text after the statement (even after the semicolon) is
// refused. Every failure's message starts with "SQLException: ".

#include <optional>
#include <string_view>

#include "platform/jet/public/result.h"
#include "platform/jet/sql/ast.h"

namespace jet::sql {

Result<Statement> Parse(std::string_view text);

// A column's DefaultValue as a literal: a number, a "text" or 'text', a
// #date#, True/False/Yes/No/On/Off, with an optional leading '='. Nothing for
// expressions the engine does not evaluate (GenGUID(), Date() ...).
std::optional<Literal> ParseDefaultValue(std::string_view expression);

// Whether the text begins with the word INSERT (in any case), so that
// ParseInsertInto applies.
bool IsInsertStatement(std::string_view text);

// Parse for an INSERT INTO statement (anything else fails as Parse would for
// it), into `insert`, whose buffers are reused: an executor keeps one for a
// stream of inserts and parses without allocating once they have grown.
Status ParseInsertInto(std::string_view text, InsertInto& insert);

}  // namespace jet::sql
