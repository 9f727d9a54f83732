#pragma once
// The user's own tables, the command line's default selection.

#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace db {

// The tables pg_tables lists that the run's unqualified SELECT "name" reaches
// (so only schemas on the search path, and of a name in several of them the
// first), outside pg_catalog and information_schema, and passing
// IsListedTableName. A partition or inheritance child of another such table is
// left out, at any depth: its parent's SELECT already returns its rows.
// Sorted by name. Raises ado::Error when the query fails.
std::vector<std::string> UserTables(ado::Connection& source);

// One row per candidate table: name, oid, and the oids of all its ancestors
// (partition parents and inheritance parents, transitively), space-separated.
inline constexpr std::string_view kUserTablesQuery =
    "WITH RECURSIVE ancestry(child, ancestor) AS ("
    " SELECT inhrelid, inhparent FROM pg_inherits"
    " UNION SELECT a.child, i.inhparent FROM ancestry a JOIN pg_inherits i ON i.inhrelid = a.ancestor) "
    "SELECT t.tablename::text, c.oid::text,"
    " coalesce((SELECT string_agg(a.ancestor::text, ' ') FROM ancestry a WHERE a.child = c.oid), '') "
    "FROM pg_tables t"
    " JOIN pg_namespace n ON n.nspname = t.schemaname"
    " JOIN pg_class c ON c.relnamespace = n.oid AND c.relname = t.tablename "
    "WHERE t.schemaname NOT IN ('pg_catalog', 'information_schema')"
    " AND to_regclass(quote_ident(t.tablename)) = c.oid "
    "ORDER BY t.tablename";

}  // namespace db
