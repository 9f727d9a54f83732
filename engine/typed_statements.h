#pragma once
// The statements of the conversion that keeps types: for each table its
// CREATE TABLE (every name bracketed), the source query that reads each
// column as the text the server writes, the INSERT of each row, and, once
// its rows are in, its primary key, unique keys and indexes; for each
// foreign key whose two tables are converted, its relationship.
//
//   std::vector<TablePlan> plans = PlanTables(tables, facts);
//   for (auto& plan : plans) { execute plan.create; for each row of plan.source_query:
//     execute RowStatement(plan, row texts); execute plan.keys; }
//   execute each RelationshipStatements(plans, tables) entry once both tables hold their rows.
//
// What cannot be carried (an expression index, a key on an OLE Object, a
// foreign key to a table left out or between different Access types, ...)
// is listed in `left_out`, one line each, and the rest goes on.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/source_facts.h"
#include "db/source_schema.h"
#include "engine/access_mapping.h"

namespace engine {

struct TablePlan {
  const db::SourceTable* source = nullptr;
  std::string name;                    // in Access
  std::vector<TypedColumn> columns;  // in source order
  std::vector<std::string> column_names;  // in Access, per column
  std::string create;
  std::string source_query;
  std::string insert;  // "INSERT INTO [name] VALUES (", how each row's statement begins
  std::vector<std::string> keys;      // after the rows
  std::vector<std::string> index_names;  // of those keys, unique across the database
  std::vector<std::string> left_out;  // what this table could not carry, and why
  std::vector<std::string> renamed;   // "schema.table.column -> name" for every name made legal
  std::vector<std::vector<std::string>> unique_keys;  // the source columns of each unique key carried, sorted
  long long counted_rows = -1;  // the source's rows when its facts were read; -1: not counted
};

// One plan per table, names legal and unique (a table keeps its name unless
// another converted table has it, then it becomes schema_table), referencing
// columns typed as the columns they reference.
std::vector<TablePlan> PlanTables(const std::vector<db::SourceTable>& tables,
                                  const std::vector<std::vector<db::ColumnFacts>>& facts);

struct RelationshipStatement {
  std::string statement;  // ALTER TABLE [child] ADD CONSTRAINT [name] FOREIGN KEY ... REFERENCES ...
  size_t table = 0, referenced = 0;  // indexes into the plans: both must hold their rows first
};

// The relationships of every foreign key whose two tables are planned;
// what cannot be carried goes to the referencing table's `left_out`.
std::vector<RelationshipStatement> RelationshipStatements(std::vector<TablePlan>& plans);

// The INSERT of one row: `values` the source query's texts in column order,
// nothing for NULL.
std::string RowStatement(const TablePlan& plan, const std::vector<std::optional<std::string>>& values);

// A value as an Access SQL literal of its form.
std::string Literal(ValueForm form, std::string_view text);
// The same, appended to `out`: a row's statement is written into one buffer.
void AppendLiteral(ValueForm form, std::string_view text, std::string& out);

}  // namespace engine
