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

std::vector<std::string> UnknownTypedTables(const db::SourceFields& source, const engine::TypedOptions& options,
                                            std::vector<std::pair<std::string, std::string>>* parents) {
  std::vector<std::string> unknown;
  if (options.tables.empty()) return unknown;
  ado::Connection connection;
  connection.Open(db::PostgreSQLConnectionString(source));
  const auto tables = db::ReadSourceSchema(connection, options.schemas, options.include_views);
  auto converted = [&](const std::string& name) {
    return std::any_of(tables.begin(), tables.end(), [&](const db::SourceTable& t) {
      return name == t.name || name == t.schema + "." + t.name;
    });
  };
  for (const auto& wanted : options.tables)
    if (!converted(wanted)) unknown.push_back(wanted);
  if (parents && !unknown.empty()) {
    // Each child with the ancestor that has none above it.
    auto rows = connection.Execute(
        "WITH RECURSIVE up(child, ancestor) AS (SELECT inhrelid, inhparent FROM pg_catalog.pg_inherits "
        "UNION SELECT u.child, i.inhparent FROM up u JOIN pg_catalog.pg_inherits i ON i.inhrelid = u.ancestor) "
        "SELECT cn.nspname::text, c.relname::text, an.nspname::text, a.relname::text FROM up "
        "JOIN pg_catalog.pg_class c ON c.oid = up.child JOIN pg_catalog.pg_namespace cn ON cn.oid = c.relnamespace "
        "JOIN pg_catalog.pg_class a ON a.oid = up.ancestor JOIN pg_catalog.pg_namespace an ON an.oid = a.relnamespace "
        "WHERE NOT EXISTS (SELECT 1 FROM pg_catalog.pg_inherits i WHERE i.inhrelid = up.ancestor)");
    for (; !rows->Eof(); rows->MoveNext()) {
      auto field = [&](size_t i) { return rows->Fields(i).Value().ToText(); };
      const std::string schema = field(0), name = field(1), ancestor = field(2) + "." + field(3);
      for (const auto& wanted : unknown)
        if ((wanted == name || wanted == schema + "." + name) && converted(ancestor))
          parents->emplace_back(wanted, ancestor);
    }
    rows->Close();
  }
  connection.Close();
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
