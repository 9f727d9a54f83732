#pragma once
// The silent probe of the PostgreSQL source.

#include <optional>
#include <string>

#include "db/source_fields.h"

namespace db {

// Why a connection with db::PostgreSQLConnectionString did not open (provider
// default timeouts): the driver's own description; nullopt when it opened.
// Nothing is shown either way, and the connection is closed again before
// returning. Creating the connection object is not guarded: that failure goes
// to the caller's trap.
std::optional<std::string> PostgreSQLConnectionProblem(const db::SourceFields& fields);

// True when the connection opens.
inline bool CanConnectToPostgreSQL(const db::SourceFields& fields) {
  return !PostgreSQLConnectionProblem(fields).has_value();
}

}  // namespace db
