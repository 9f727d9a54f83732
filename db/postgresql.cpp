#include "db/postgresql.h"

#include <memory>

#include "db/connection_strings.h"
#include "platform/ado/connection.h"
#include "platform/ado/data_type.h"
#include "platform/ado/recordset.h"
#include "platform/ui/services.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace db {

std::string PostgreSQLConnectionString(const db::SourceFields& fields) {
  std::string out = "Driver={PostgreSQL Unicode};Server=";
  out += db::OdbcValue(fields.server);
  out += ";Port=";
  out += db::OdbcValue(fields.port);
  out += ";Uid=";
  out += db::OdbcValue(fields.user);
  out += ";Pwd=";
  out += db::OdbcValue(fields.password);
  out += ";Database=";
  out += db::OdbcValue(fields.database);
  if (!fields.ssl_mode.empty()) {
    out += ";SSLmode=";
    out += db::OdbcValue(fields.ssl_mode);
  }
  return out;
}

bool IsListedTableName(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name.substr(0, 4) != "sql_";
}

void AddTablesToPostgreSQLListbox(db::ListBox& list, const db::SourceFields& fields) {
  report::Trap trap(report::procedures::kListSourceTables);
  std::unique_ptr<ado::Connection> connection;
  std::unique_ptr<ado::Recordset> recordset;
  long long count = 0;

  // Without a connection, a result or its count there is nothing to list: one
  // report, then straight to the closing steps.
  bool ready = trap(100, [&] { connection = ado::CreateConnection("ADODB.Connection"); }) &&
               trap(102, [&] { recordset = ado::CreateRecordset("ADODB.RecordSet"); }) &&
               trap(104, [&] { connection->CursorLocation = ado::adUseClient; }) &&  // so RecordCount is known
               trap(106, [&] { connection->Open(PostgreSQLConnectionString(fields)); }) &&
               trap(108, [&] { recordset = connection->Execute(kCatalogueQuery); }) &&
               trap(110, [&] { count = recordset->RecordCount(); });

  for (long long i = 1; ready && i <= count; ++i) {
    trap(112, [] { ui::Current().ProcessEvents(); });
    std::string name;
    bool listed = false;  // a name that cannot be read adds nothing
    trap(114, [&] {
      name = recordset->Fields(size_t{0}).Value().ToText();
      listed = IsListedTableName(name);
    });
    if (listed) trap(116, [&] { list.AddItem(name); });
    trap(118, [&] { recordset->MoveNext(); });
  }

  if (recordset) trap(122, [&] { recordset->Close(); });
  if (connection) trap(124, [&] { connection->Close(); });
}

}  // namespace db
