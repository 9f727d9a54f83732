#pragma once
// The silent probe of the PostgreSQL source.

#include "db/source_fields.h"

namespace db {

// True when a connection with db::PostgreSQLConnectionString opens
// (provider default timeouts), false on any failure to open; no message either
// way. The connection is closed again before returning. Creating the
// connection object is not guarded: that failure goes to the caller's trap.
bool CanConnectToPostgreSQL(const db::SourceFields& fields);

}  // namespace db
