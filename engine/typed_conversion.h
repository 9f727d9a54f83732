#pragma once
// The run's side of the conversion that keeps types: the source's tables
// read from its catalogue (every user schema, or those chosen), each planned
// with its Access types, names, keys and relationships (typed_statements.h),
// and handed to the run table by table. After a table's rows, AfterRows
// gives its keys, then every relationship whose two tables now hold their
// rows: a run that ends after a table still has the keys of what it made.

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/source_schema.h"
#include "engine/conversion_log.h"
#include "engine/typed_statements.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"

namespace engine {

struct TypedOptions {
  std::vector<std::string> schemas;  // empty: every user schema
  // Only these tables (as "name" or "schema.name"); empty: all of them.
  std::vector<std::string> tables;
  // The session's TimeZone, in which timestamps with time zone arrive as
  // wall-clock times; empty: this machine's (TZ, else /etc/localtime).
  std::string time_zone;
  bool include_views = false;  // views' rows too, each as a table (as Access's import does)
};

class TypedConversion {
 public:
  // Reads the catalogue and the facts of every table's values and plans
  // them. Raises ado::Error when a query fails.
  void Prepare(ado::Connection& source, const TypedOptions& options);

  // The Access names of the tables, in the order they are planned.
  std::vector<std::string> TableNames() const;
  const TablePlan* Plan(std::string_view access_name) const;
  // Each column's PostgreSQL type and the Access type chosen.
  void LogColumns(const TablePlan& plan, ConversionLog& log) const;
  std::string SelectCount(const TablePlan& plan) const;
  // The INSERT of the record set's current row.
  std::string RowStatement(const TablePlan& plan, ado::Recordset& records) const;
  // The same into `out`, whose buffer serves row after row.
  void RowStatement(const TablePlan& plan, ado::Recordset& records, std::string& out) const;
  // The table's keys, then the relationships now ready; each once.
  std::vector<std::string> AfterRows(const TablePlan& plan);
  // Before `table` is dropped to be made again: dropping each relationship of
  // the target's that it takes part in (Access drops no table in one). Those
  // whose other table the run does not convert come back in AfterRows.
  std::vector<std::string> DropRelationshipsOf(ado::Connection& target, std::string_view table);
  // The session's TimeZone the rows were read in (empty: the server's).
  const std::string& TimeZone() const { return time_zone_; }
  // What could not be carried and what was renamed, one line each.
  std::vector<std::string> Notes() const;

 private:
  std::vector<db::SourceTable> tables_;
  std::vector<TablePlan> plans_;
  std::vector<RelationshipStatement> relationships_;
  std::set<size_t> done_;                  // plans whose rows are in
  std::vector<bool> relationship_made_;
  // Relationships dropped with a table to be made again after its rows: the table, the statement.
  std::vector<std::pair<std::string, std::string>> restore_;
  std::string time_zone_;  // the session's, as set
  std::vector<std::string> weakened_;  // keys made plain indexes, and why
  std::vector<std::string> left_out_tables_;  // tables Access cannot hold, and why
};

}  // namespace engine
