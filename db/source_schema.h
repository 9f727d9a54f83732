#pragma once
// What a typed conversion keeps of the source tables, read from PostgreSQL's
// catalogues: columns with their types, indexes and keys, foreign keys.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"

namespace db {

struct SourceColumn {
  std::string name;
  std::string type;       // format_type(atttypid, atttypmod): "character varying(20)", "integer[]", "mood"
  std::string base_type;  // pg_type.typname once domains are resolved: "varchar", "_int4", "mood"
  char category = 0;      // pg_type.typcategory of the base type: 'N', 'S', 'D', 'B', 'E', 'A', 'U' ...
  int32_t length = -1;    // char(n), varchar(n), bit(n), varbit(n): n; else -1
  int32_t precision = -1, scale = -1;  // numeric(p,s); -1 when unconstrained
  bool not_null = false;               // the column's own NOT NULL or a NOT NULL domain's
  std::string default_expression;      // pg_get_expr of the column's default; empty when none
  bool identity = false;               // GENERATED ... AS IDENTITY, or serial
};

struct SourceIndex {
  std::string name;
  std::vector<std::string> columns;      // plain columns, in key order
  std::vector<bool> descending;          // per entry of columns
  bool primary = false, unique = false;  // unique: unique constraints and unique indexes
  // Empty when it can be carried as a plain column index; else why not, in a
  // few words ("an expression index", "a partial index", "a gin index", ...).
  std::string left_out;
};

struct SourceForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::string referenced_schema, referenced_table;
  std::vector<std::string> referenced_columns;
  // pg_constraint.confupdtype / confdeltype: 'a' no action, 'r' restrict,
  // 'c' cascade, 'n' set null, 'd' set default.
  char on_update = 'a', on_delete = 'a';
  bool deferrable = false;
};

struct SourceTable {
  std::string schema, name;
  bool is_view = false;  // a view or a materialized view
  std::vector<SourceColumn> columns;           // attnum order, no dropped or system columns
  std::vector<SourceIndex> indexes;            // the primary key first, then by name
  std::vector<SourceForeignKey> foreign_keys;  // by name
  // CHECK constraints, the table's and its columns' domains', as
  // "name: CHECK (...)"; Access SQL cannot make a validation rule.
  std::vector<std::string> checks;
  // Columns of its inheritance children that it lacks, as "schema.child.column":
  // their rows arrive without them.
  std::vector<std::string> child_columns;
};

// Every ordinary and partitioned table of `schemas` (empty: every schema but
// pg_catalog, information_schema, pg_toast* and pg_temp*), and with
// include_views its views and materialized views. A partition or inheritance
// child of another table listed is left out at any depth, as db::UserTables
// does: its parent's SELECT returns its rows. Sorted by schema, then name
// (byte order). Five queries in all, however many tables; PostgreSQL 12 or
// later. Raises ado::Error when a query fails.
std::vector<SourceTable> ReadSourceSchema(ado::Connection& source, const std::vector<std::string>& schemas = {},
                                          bool include_views = false);

// "s"."t", each name in double quotes with embedded ones doubled.
std::string QualifiedName(const SourceTable& table);
// SELECT <select_list> FROM "s"."t".
std::string SourceQuery(const SourceTable& table, std::string_view select_list = "*");

// A name as an SQL identifier ("a""b") and a text as an SQL literal ('it''s',
// E'a\\b' when it holds a backslash, so that it reads the same whatever
// standard_conforming_strings says).
std::string QuoteIdentifier(std::string_view name);
std::string QuoteLiteral(std::string_view text);

}  // namespace db
