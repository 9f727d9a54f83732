#include "tools/convert/table_selection.h"

#include <algorithm>

#include "db/list_box.h"
#include "db/postgresql.h"
#include "db/source_schema.h"
#include "db/user_tables.h"
#include "platform/ado/connection.h"

namespace convert {

namespace {

std::vector<std::string> WindowList(const db::SourceFields& source) {
  db::MemoryListBox list;
  db::AddTablesToPostgreSQLListbox(list, source);
  return list.Items();
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TableSelection SelectTables(const TableRequest& request, const db::SourceFields& source) {
  TableSelection selection;
  if (request.all_tables) {
    // The window's run converts its list from the end.
    auto listed = WindowList(source);
    selection.tables.assign(listed.rbegin(), listed.rend());
  } else if (!request.names.empty()) {
    auto listed = WindowList(source);
    for (const std::string& name : request.names) {
      auto& into = Contains(listed, name) ? selection.tables : selection.unknown;
      if (!Contains(into, name)) into.push_back(name);
    }
  } else {
    auto connection = ado::CreateConnection();
    connection->Open(db::PostgreSQLConnectionString(source));
    selection.tables = db::UserTables(*connection);
    connection->Close();
  }
  return selection;
}

}  // namespace convert

namespace convert {

std::vector<std::string> UnknownTypedTables(const db::SourceFields& source, const engine::TypedOptions& options) {
  std::vector<std::string> unknown;
  if (options.tables.empty()) return unknown;
  ado::Connection connection;
  connection.Open(db::PostgreSQLConnectionString(source));
  const auto tables = db::ReadSourceSchema(connection, options.schemas, options.include_views);
  connection.Close();
  for (const auto& wanted : options.tables) {
    const bool found = std::any_of(tables.begin(), tables.end(), [&](const db::SourceTable& t) {
      return wanted == t.name || wanted == t.schema + "." + t.name;
    });
    if (!found) unknown.push_back(wanted);
  }
  return unknown;
}

std::vector<std::string> UnknownSchemas(const db::SourceFields& source, const std::vector<std::string>& schemas) {
  std::vector<std::string> unknown;
  if (schemas.empty()) return unknown;
  ado::Connection connection;
  connection.Open(db::PostgreSQLConnectionString(source));
  std::vector<std::string> present;
  auto rows = connection.Execute("SELECT nspname::text FROM pg_catalog.pg_namespace");
  for (; !rows->Eof(); rows->MoveNext()) present.push_back(rows->Fields(size_t{0}).Value().ToText());
  rows->Close();
  connection.Close();
  for (const auto& name : schemas)
    if (!Contains(present, name) && !Contains(unknown, name)) unknown.push_back(name);
  return unknown;
}

}  // namespace convert
