#pragma once
// The statements the Access engine executes, as the parser hands them to the
// executor. Names are UTF-8 exactly as written (quotes and brackets removed);
// literals keep their text so that each is converted only once its column's
// type is known (literal.h).

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/jet/public/statement.h"
#include "platform/jet/public/value.h"

namespace jet::sql {

using jet::Literal;  // public/statement.h

// An index as CREATE TABLE (PRIMARY KEY, UNIQUE) or CREATE INDEX declares it.
struct IndexSpec {
  struct Column {
    std::string name;
    bool ascending = true;
  };
  std::string name;  // empty: named as Access names it ("PrimaryKey", ...)
  std::vector<Column> columns;
  bool primary = false;        // PRIMARY KEY, WITH PRIMARY
  bool unique = false;         // UNIQUE (a primary key is unique too)
  bool disallow_null = false;  // WITH DISALLOW NULL (a primary key disallows NULL too)
  bool ignore_null = false;    // WITH IGNORE NULL: rows whose columns are all NULL get no entry
};

// A relationship as REFERENCES or FOREIGN KEY declares it.
struct ForeignKeySpec {
  std::string name;                 // empty: named as Access names it (referenced table + this table)
  std::vector<std::string> columns;  // in this table
  std::string referenced_table;
  std::vector<std::string> referenced_columns;  // empty: the referenced table's primary key
  bool cascade_update = false;                  // ON UPDATE CASCADE
  bool cascade_delete = false;                  // ON DELETE CASCADE
  bool set_null_on_delete = false;              // ON DELETE SET NULL
};

struct CreateTable {
  std::string table;
  std::vector<ColumnSpec> columns;  // in declaration order, names unique without regard to case
  std::vector<IndexSpec> indexes;   // column constraints first, then table constraints, as written
  std::vector<ForeignKeySpec> foreign_keys;  // as written, made after the table and its indexes
};

// ALTER TABLE t ADD CONSTRAINT name FOREIGN KEY (...) REFERENCES ...
struct AddForeignKey {
  std::string table;
  ForeignKeySpec key;
};

struct CreateIndex {
  std::string table;
  IndexSpec index;
};

struct DropIndex {
  std::string table;
  std::string index;
  bool constraint = false;  // ALTER TABLE ... DROP CONSTRAINT: a relationship's name too
};

struct InsertInto {
  std::string table;
  std::optional<std::vector<std::string>> columns;  // absent: every column in table order
  std::vector<Literal> values;                      // as many as `columns` when present
  // The statement text up to the first value, when this buffer parsed it: a
  // next statement that begins with the same text has the same table and
  // columns, and only its values need reading.
  std::string head;
};

struct DropTable {
  std::string table;
};

// SELECT * FROM t: all rows, all columns.
struct Select {
  std::string table;
};

using Statement =
    std::variant<CreateTable, InsertInto, DropTable, Select, CreateIndex, DropIndex, AddForeignKey>;

}  // namespace jet::sql
