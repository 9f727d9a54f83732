#include "db/source_probe.h"

#include "db/postgresql.h"
#include "platform/ado/connection.h"

namespace db {

bool CanConnectToPostgreSQL(const db::SourceFields& fields) {
  auto connection = ado::CreateConnection("ADODB.Connection");
  try {
    connection->Open(db::PostgreSQLConnectionString(fields));
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace db
