#include "db/test_connection.h"

#include <memory>
#include <stdexcept>

#include "db/postgresql.h"
#include "platform/ado/connection.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace db {

void TestPostgreSQLConnection(const SourceFields& fields, ConnectionCheckWindow& window) {
  report::Trap trap(report::procedures::kTestConnection);
  std::unique_ptr<ado::Connection> connection;
  trap(100, [&] { connection = ado::CreateConnection("ADODB.Connection"); });

  // From here on a failure is the action's own: it goes to step 110.
  bool failed = false;
  try {
    window.SetBusy(true);  // 102
    if (!connection) throw std::runtime_error("Object variable or With block variable not set");
    connection->Open(db::PostgreSQLConnectionString(fields));  // 104
    window.Connected();                                         // 106
    window.SetBusy(false);                                      // 108
  } catch (...) {
    failed = true;
  }
  if (failed) {  // 110
    try {
      window.NotConnected();  // 112
      window.SetBusy(false);  // 114
    } catch (...) {
      // Nothing is left to tell the user with; the failure is cleared (116).
    }
  }
  // The connection is released here, closing it when it opened.
}

}  // namespace db
