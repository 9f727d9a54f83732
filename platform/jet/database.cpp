#include "platform/jet/public/database.h"

#include "platform/jet/table/relationships.h"

#include <fmt/format.h>

#include <cstdio>

#include "platform/jet/executor.h"
#include "platform/jet/file/pager.h"
#include "platform/jet/format/ascii_case.h"
#include "platform/jet/format/header.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/table.h"
#include "platform/jet/sql/sql_error.h"
#include "platform/jet/table/check.h"

namespace jet {
namespace {

using format::EqualNoCase;

bool HasDefinition(const table::CatalogObject& o) {
  return o.kind == table::ObjectKind::kTable || o.kind == table::ObjectKind::kSystemTable ||
         o.kind == table::ObjectKind::kAccessTable;
}

}  // namespace

Result<std::unique_ptr<Database>> Database::Open(const std::string& path, const OpenOptions& options) {
  PagerOptions po;
  po.writable = options.writable;
  po.password = options.password;
  po.env = options.env;
  po.commit_limits = options.commit_limits;
  po.journal = options.journal;
  JET_ASSIGN_OR_RETURN(pager, Pager::Open(path, po));
  auto objects = table::ReadCatalog(*pager);
  if (!objects)
    return MakeError(objects.error().code,
                     fmt::format("The Access database '{}' is damaged: {}.", path, objects.error().message));
  return std::unique_ptr<Database>(new Database(std::move(pager), std::move(*objects)));
}

Database::Database(std::unique_ptr<Pager> pager, std::vector<table::CatalogObject> objects)
    : pager_(std::move(pager)), objects_(std::move(objects)) {}

// A destructor has no caller to tell, so a final commit that fails is said on
// stderr: the statements since the last commit are lost (the journal keeps the
// file as that commit left it). Callers that must know call Close() first.
Database::~Database() {
  if (Status closed = Close(); !closed)
    std::fprintf(stderr, "pelmora: %s\n", closed.error().message.c_str());
}

TableReader::TableReader(std::unique_ptr<table::Table> table)
    : table_(std::move(table)), cursor_(std::make_unique<table::RowCursor>(table_->Scan())) {}
TableReader::~TableReader() = default;
const std::vector<ColumnDef>& TableReader::columns() const { return table_->columns(); }
bool TableReader::Valid() const { return cursor_->Valid(); }
void TableReader::Next() { cursor_->Next(); }
const Status& TableReader::status() const { return cursor_->status(); }
const std::vector<Cell>& TableReader::row() const { return cursor_->row(); }

bool Database::writable() const { return pager_->writable(); }
const format::Header& Database::header() const { return pager_->header(); }
PageStore& Database::pages() { return *pager_; }
const std::vector<table::CatalogObject>& Database::Objects() const { return objects_; }

std::vector<CatalogEntry> Database::Catalog() const {
  std::vector<CatalogEntry> entries;
  for (const auto& o : objects_)
    entries.push_back({o.name, std::string(table::ObjectTypeName(o)), std::string(table::AdoTableType(o)), o.IsUserTable()});
  return entries;
}

bool Database::HasTable(std::string_view name) const { return FindTable(name).has_value(); }

std::vector<std::string> Database::UserTables() const {
  std::vector<std::string> names;
  for (const auto& o : objects_)
    if (o.IsUserTable()) names.push_back(o.name);
  return names;
}

Result<const table::CatalogObject*> Database::FindTable(std::string_view name) const {
  for (const auto& o : objects_)
    if (HasDefinition(o) && o.name == name) return &o;
  for (const auto& o : objects_)
    if (HasDefinition(o) && EqualNoCase(o.name, name)) return &o;
  return MakeError(ErrorCode::kNotFound,
                   fmt::format("The Microsoft Access database engine cannot find the input table or query '{}'.",
                               name));
}

Status Database::RequireOpen() const {
  if (!pager_) return MakeError(ErrorCode::kNotFound, "The database is closed.");
  return {};
}

Result<std::vector<format::ColumnDef>> Database::TableColumns(std::string_view name) {
  JET_TRY(RequireOpen());
  JET_TRY(SettleIndexes());
  JET_ASSIGN_OR_RETURN(object, FindTable(name));
  JET_ASSIGN_OR_RETURN(t, table::Table::Open(*pager_, object->tdef_page(), object->name));
  return t->columns();
}

Result<std::vector<RelationshipInfo>> Database::Relationships() {
  JET_TRY(RequireOpen());
  JET_TRY(SettleIndexes());
  JET_ASSIGN_OR_RETURN(stored, table::ReadRelationships(*pager_, objects_));
  std::vector<RelationshipInfo> out;
  for (auto& r : stored) {
    RelationshipInfo info;
    info.name = std::move(r.name);
    info.table = std::move(r.table);
    info.referenced_table = std::move(r.referenced_table);
    info.columns = std::move(r.columns);
    info.referenced_columns = std::move(r.referenced_columns);
    info.enforced = !(r.flags & table::kRelationshipNotEnforced);
    info.cascade_updates = r.flags & table::kRelationshipCascadeUpdates;
    info.cascade_deletes = r.flags & table::kRelationshipCascadeDeletes;
    info.set_null_on_delete = r.flags & table::kRelationshipSetNullOnDelete;
    out.push_back(std::move(info));
  }
  return out;
}

Result<std::vector<IndexInfo>> Database::TableIndexes(std::string_view name) {
  JET_TRY(RequireOpen());
  JET_TRY(SettleIndexes());
  JET_ASSIGN_OR_RETURN(object, FindTable(name));
  JET_ASSIGN_OR_RETURN(t, table::Table::Open(*pager_, object->tdef_page(), object->name));
  const format::TableDefinition& def = t->definition();
  std::vector<IndexInfo> out;
  for (const auto& l : def.logical_indexes) {
    if (l.real_index >= def.real_indexes.size())
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the index {} of table {} names a missing B-tree", l.name, object->name));
    const format::RealIndex& r = def.real_indexes[l.real_index];
    IndexInfo info;
    info.name = l.name;
    info.primary_key = l.kind == format::kLogicalIndexPrimaryKey;
    info.foreign_key = l.kind != format::kLogicalIndexPrimaryKey && l.kind != format::kLogicalIndexPlain;
    info.unique = r.flags & format::kIndexUnique;
    info.required = r.flags & format::kIndexRequired;
    info.ignore_nulls = r.flags & format::kIndexIgnoreNulls;
    for (const auto& c : r.columns) {
      std::string column = "?";
      for (const auto& d : def.columns)
        if (d.number == c.column_number) column = d.name;
      info.columns.push_back({column, c.ascending});
    }
    out.push_back(std::move(info));
  }
  return out;
}

Result<std::unique_ptr<TableReader>> Database::ReadTable(std::string_view name) {
  JET_TRY(RequireOpen());
  JET_TRY(SettleIndexes());
  JET_ASSIGN_OR_RETURN(object, FindTable(name));
  JET_ASSIGN_OR_RETURN(t, table::Table::Open(*pager_, object->tdef_page(), object->name));
  return std::make_unique<TableReader>(std::move(t));
}

Result<std::vector<std::string>> Database::Check() {
  JET_TRY(RequireOpen());
  JET_TRY(SettleIndexes());
  return table::CheckDatabase(*pager_, objects_);
}

Status Database::SettleIndexes() {
  if (!executor_) return {};
  return executor_->SettleIndexes();
}

Status Database::Execute(std::string_view sql) {
  if (!pager_) return sql::SqlError(ErrorCode::kNotFound, "The database is closed.");
  if (!executor_) executor_ = std::make_unique<Executor>(*pager_, objects_);
  return executor_->Execute(sql);
}

Status Database::CommitIfDue() {
  JET_TRY(RequireOpen());
  if (!executor_) return {};
  return executor_->CommitIfDue();
}

Status Database::Flush() {
  JET_TRY(RequireOpen());
  if (executor_) JET_TRY(executor_->Flush());
  if (pager_->HasChanges()) return pager_->Commit();
  return {};
}

Status Database::Close() {
  if (!pager_) return {};
  Status result = Flush();
  executor_.reset();
  pager_.reset();
  return result;
}

}  // namespace jet
