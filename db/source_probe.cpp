#include "db/source_probe.h"

#include <exception>

#include "db/postgresql.h"
#include "platform/ado/connection.h"
#include "platform/ado/error.h"

namespace db {

std::optional<std::string> PostgreSQLConnectionProblem(const db::SourceFields& fields) {
  auto connection = ado::CreateConnection("ADODB.Connection");
  try {
    connection->Open(db::PostgreSQLConnectionString(fields));
    return std::nullopt;
  } catch (const ado::Error& e) {
    return e.Description();
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace db
