#include "platform/jet/relationship_plan.h"

#include <algorithm>

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/index_plan.h"
#include "platform/jet/sql/names.h"
#include "platform/jet/sql/sql_error.h"
#include "platform/jet/table/table.h"

namespace jet {
namespace {

using sql::Shown;
using sql::SqlError;

constexpr size_t kMaxNameLength = 64;

// Access's messages (errors 3368 and 3800).
constexpr const char* kMismatchMessage = "Relationship must be on the same number of fields with the same data types.";
constexpr const char* kNoUniqueIndexMessage = "No unique index found for the referenced field of the primary table.";

Result<const format::ColumnDef*> ColumnNamed(const format::TableDefinition& def, std::string_view table,
                                             std::string_view name) {
  for (const auto& c : def.columns)
    if (sql::SameName(c.name, name)) return &c;
  return SqlError(ErrorCode::kNotFound, "Invalid field definition {} in definition of index or relationship: table "
                  "{} has no such column.", Shown(name), Shown(table));
}

const format::ColumnDef* ColumnNumbered(const format::TableDefinition& def, uint16_t number) {
  for (const auto& c : def.columns)
    if (c.number == number) return &c;
  return nullptr;
}

bool Relatable(ColumnType type) {
  return type != ColumnType::kMemo && type != ColumnType::kOle && type != ColumnType::kComplex &&
         type != ColumnType::kUnknown11;
}

}  // namespace

Result<table::NewRelationship> PlanRelationship(PageStore& store, const std::vector<table::CatalogObject>& objects,
                                                const std::vector<table::Relationship>& existing,
                                                const table::CatalogObject& object,
                                                const table::CatalogObject& referenced_object,
                                                const sql::ForeignKeySpec& spec) {
  const bool self = object.tdef_page() == referenced_object.tdef_page();
  JET_ASSIGN_OR_RETURN(child, table::Table::Open(store, object.tdef_page(), object.name));
  JET_ASSIGN_OR_RETURN(parent, table::Table::Open(store, referenced_object.tdef_page(), referenced_object.name));
  const format::TableDefinition& def = child->definition();
  const format::TableDefinition& referenced_def = parent->definition();

  // The referenced columns: as listed, or the primary key's.
  std::vector<const format::ColumnDef*> referenced;
  if (spec.referenced_columns.empty()) {
    for (const auto& l : referenced_def.logical_indexes) {
      if (l.kind != format::kLogicalIndexPrimaryKey || l.real_index >= referenced_def.real_indexes.size()) continue;
      for (const auto& ic : referenced_def.real_indexes[l.real_index].columns)
        if (const auto* c = ColumnNumbered(referenced_def, ic.column_number)) referenced.push_back(c);
    }
    if (referenced.empty()) return SqlError(ErrorCode::kNotFound, "{}", kNoUniqueIndexMessage);
  } else {
    for (const auto& name : spec.referenced_columns) {
      JET_ASSIGN_OR_RETURN(c, ColumnNamed(referenced_def, referenced_object.name, name));
      referenced.push_back(c);
    }
  }
  std::vector<const format::ColumnDef*> columns;
  for (const auto& name : spec.columns) {
    JET_ASSIGN_OR_RETURN(c, ColumnNamed(def, object.name, name));
    for (const auto* other : columns)
      if (other == c)
        return SqlError(ErrorCode::kInvalidValue, "Column {} appears twice in the relationship of table {}.",
                        Shown(c->name), Shown(object.name));
    columns.push_back(c);
  }
  if (columns.size() > kMaxIndexColumns)
    return SqlError(ErrorCode::kTooLarge, "An index has at most {} fields; the relationship of table {} has {}.",
                    kMaxIndexColumns, Shown(object.name), columns.size());
  if (columns.size() != referenced.size()) return SqlError(ErrorCode::kInvalidValue, "{}", kMismatchMessage);
  for (size_t k = 0; k < columns.size(); ++k) {
    for (const auto* c : {columns[k], referenced[k]}) {
      if (!Relatable(c->type()))
        return SqlError(ErrorCode::kNotSupported,
                        "Column {} cannot take part in a relationship: Memo, OLE Object and Attachment fields "
                        "cannot.", Shown(c->name));
    }
    // An AutoNumber is a Long: a Long column may reference it.
    if (columns[k]->type() != referenced[k]->type())
      return SqlError(ErrorCode::kInvalidValue, "{} Column {} of table {} is {}, column {} of table {} is {}.",
                      kMismatchMessage, Shown(columns[k]->name), Shown(object.name),
                      AccessTypeName(*columns[k]), Shown(referenced[k]->name), Shown(referenced_object.name),
                      AccessTypeName(*referenced[k]));
  }

  // A unique index on exactly the referenced columns; the pairs follow its order.
  table::NewRelationship out;
  bool found = false;
  for (uint32_t i = 0; i < referenced_def.real_indexes.size() && !found; ++i) {
    const auto& ri = referenced_def.real_indexes[i];
    if (!(ri.flags & format::kIndexUnique) || ri.columns.size() != referenced.size()) continue;
    std::vector<size_t> order;
    for (const auto& ic : ri.columns) {
      size_t k = 0;
      while (k < referenced.size() && referenced[k]->number != ic.column_number) ++k;
      if (k == referenced.size()) break;
      order.push_back(k);
    }
    if (order.size() != referenced.size()) continue;
    found = true;
    out.referenced_real = i;
    for (size_t k : order) {
      out.relationship.columns.push_back(columns[k]->name);
      out.relationship.referenced_columns.push_back(referenced[k]->name);
    }
  }
  if (!found) return SqlError(ErrorCode::kNotFound, "{}", kNoUniqueIndexMessage);

  // Every logical index counts toward a table's limit; a relationship adds
  // one to each of its tables (two to a table that references itself).
  const size_t own = def.logical_indexes.size() + (self ? 2 : 1);
  const size_t theirs = referenced_def.logical_indexes.size() + 1;
  for (auto [count, name] : {std::pair{own, object.name}, std::pair{theirs, referenced_object.name}})
    if (count > kMaxIndexesPerTable) return TooManyIndexes(name);

  // Named as Access names it, referenced table then this one, numbered when
  // taken; names are unique across the database and among the table's indexes.
  auto taken = [&](std::string_view name) {
    for (const auto& r : existing)
      if (sql::SameName(r.name, name)) return true;
    for (const auto& o : objects)
      if (o.kind == table::ObjectKind::kRelationship && sql::SameName(o.name, name)) return true;
    for (const auto& l : def.logical_indexes)
      if (sql::SameName(l.name, name)) return true;
    return false;
  };
  std::string name = spec.name;
  if (name.empty()) {
    const std::string base = referenced_object.name + object.name;
    name = base.substr(0, kMaxNameLength);
    for (int n = 1; taken(name); ++n) {
      const std::string suffix = std::to_string(n);
      name = base.substr(0, kMaxNameLength - suffix.size()) + suffix;
    }
  } else if (taken(name)) {
    return SqlError(ErrorCode::kAlreadyExists, "Relationship or index {} already exists.", Shown(name));
  }
  out.relationship.name = name;
  out.relationship.table = object.name;
  out.relationship.referenced_table = referenced_object.name;
  out.relationship.flags = (spec.cascade_update ? table::kRelationshipCascadeUpdates : 0) |
                           (spec.cascade_delete ? table::kRelationshipCascadeDeletes : 0) |
                           (spec.set_null_on_delete ? table::kRelationshipSetNullOnDelete : 0);
  out.tdef = object.tdef_page();
  out.referenced_tdef = referenced_object.tdef_page();
  return out;
}

}  // namespace jet
