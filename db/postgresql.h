#pragma once
// The source connection string and the source table catalogue.

#include <string>
#include <string_view>

#include "db/list_box.h"
#include "db/source_fields.h"

namespace db {

// "Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;Database=..."
// with the fields as displayed, then ";SSLmode=..." when one is given. A value containing ";" or beginning with "{"
// is braced (db::OdbcValue) so that it cannot add keys of its own; every other
// value goes in unchanged.
std::string PostgreSQLConnectionString(const db::SourceFields& fields);

// The catalogue filter: false when the name, with leading and trailing blanks
// removed, begins with "sql_" (case-sensitive), the SQL standard's catalogue
// tables; true for every other name.
bool IsListedTableName(std::string_view name);

// Appends the names of "select tablename from pg_tables;" that pass the filter,
// in server order, to `list` (never cleared here). Carries its own trap,
// "PostgreSQL.AddTablesToPostgreSQLListbox": a failure is reported and the
// procedure goes on; when connecting or querying fails it adds nothing and
// closes what it opened.
void AddTablesToPostgreSQLListbox(db::ListBox& list, const db::SourceFields& fields);

inline constexpr std::string_view kCatalogueQuery = "select tablename from pg_tables;";

}  // namespace db
