#pragma once
// What every user of index keys (the appender, CREATE INDEX, the check) must
// know of an indexed column: the messages Access gives when a key is refused,
// and the column's key as the encoder needs it.

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"

namespace jet::table {

// Access's own messages (errors 3058 and 3022).
inline constexpr const char* kNullInKeyMessage = "Index or primary key cannot contain a Null value.";
inline constexpr const char* kDuplicateKeyMessage =
    "The changes you requested to the table were not successful because they would create duplicate values in the "
    "index, primary key, or relationship. Change the data in the field or fields that contain duplicate data, remove "
    "the index, or redefine the index to permit duplicate entries and try again.";

// The key of `column` in index order `ascending`: its type, a text's sort
// order, a Decimal's scale and whether the file is Jet 4 (whose descending
// Decimal keys differ). kNotSupported for a sort order whose keys cannot be
// written. Whether the type has keys at all is format::IndexKeySupported.
Result<format::KeyColumn> KeyColumnOf(PageStore& store, const format::ColumnDef& column, bool ascending);

}  // namespace jet::table
