#pragma once
// Which source tables pelmora-convert converts: by default the user's own
// tables (db::UserTables), with --all-tables the window's list, with
// --tables the named ones. Everything that walks the source tables (the run,
// --print-sql) takes this one selection.

#include <string>
#include <utility>
#include <vector>

#include "db/source_fields.h"
#include "engine/typed_conversion.h"

namespace convert {

struct TableRequest {
  bool all_tables = false;         // --all-tables
  std::vector<std::string> names;  // --tables; empty when not given
};

struct TableSelection {
  std::vector<std::string> tables;   // in the order they are converted
  std::vector<std::string> unknown;  // names of --tables the window's list lacks
};

// Asks the source. The window's list comes through its own procedure, which
// reports its failures itself; the user tables' query raises ado::Error.
TableSelection SelectTables(const TableRequest& request, const db::SourceFields& source);

// Keeping types: the names of `options.tables` (NAME or SCHEMA.NAME) that no
// table of the chosen schemas has. A partition or inheritance child (whose
// rows come with its topmost ancestor's) is one of them, and `parents`, when
// given, receives (name, "schema.ancestor") for it where that ancestor is a
// table of the chosen schemas. Raises ado::Error when a query fails.
std::vector<std::string> UnknownTypedTables(const db::SourceFields& source, const engine::TypedOptions& options,
                                            std::vector<std::pair<std::string, std::string>>* parents = nullptr);

// The names of --schemas the database has no schema of (spelled as
// PostgreSQL stores them: unquoted names are lower case). Raises ado::Error.
std::vector<std::string> UnknownSchemas(const db::SourceFields& source, const std::vector<std::string>& schemas);

}  // namespace convert
