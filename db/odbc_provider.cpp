#include "db/odbc_provider.h"

#include "db/postgresql.h"
#include "platform/ado/connection.h"

namespace ODBCProvider {

bool CanConnectToPostgreSQL(const db::SourceFields& fields) {
  auto connection = ado::CreateConnection("ADODB.Connection");
  try {
    connection->Open(PostgreSQL::PostgreSQLConnectionString(fields));
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ODBCProvider
