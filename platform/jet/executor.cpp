#include "platform/jet/executor.h"

#include "platform/jet/index_plan.h"
#include "platform/jet/relationship_plan.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/jet/format/index_key.h"
#include "platform/jet/format/properties.h"
#include "platform/jet/format/text.h"
#include "platform/jet/format/tdef_indexes.h"
#include "platform/jet/format/tdef_writer.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/index_build.h"
#include "platform/jet/table/table.h"
#include "platform/jet/table/usage_map_writer.h"
#include "platform/jet/sql/literal.h"
#include "platform/jet/sql/names.h"
#include "platform/jet/sql/parser.h"
#include "platform/jet/sql/sql_error.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/create_table.h"
#include "platform/jet/table/drop_table.h"
#include "platform/jet/table/relationships.h"

namespace jet {
namespace {

using sql::Shown;
using sql::SqlError;

// Every failure of a statement, in the form the SQL Preview stops at.
Error StatementError(const Error& e) {
  if (e.kind == ErrorKind::kStatementRefused || e.kind == ErrorKind::kWriteFailed) return e;
  if (e.code == ErrorCode::kCorruption)
    return SqlError(e.code, "The Access database is damaged: {}.", e.message);
  return SqlError(e.code, "{}", e.message);
}

bool HasDefinition(table::ObjectKind kind) {
  return kind == table::ObjectKind::kTable || kind == table::ObjectKind::kSystemTable ||
         kind == table::ObjectKind::kAccessTable;
}

// What an INSERT converts a literal into for a column of an existing table.
ColumnSpec SpecOf(const format::ColumnDef& c) {
  ColumnSpec s;
  s.name = c.name;
  s.type = c.type();
  if (c.type() == ColumnType::kText) s.max_chars = static_cast<uint16_t>(c.length / 2);
  if (c.type() == ColumnType::kBinary) s.max_chars = c.length;
  s.precision = c.precision;
  s.scale = c.scale;
  s.auto_number = (c.flags & format::kColumnAutoLong) != 0 && c.type() == ColumnType::kLong;
  return s;
}

Error WrongValueCount(std::string_view table, size_t values, size_t columns) {
  return SqlError(ErrorCode::kInvalidValue,
                  "Number of query values and destination fields are not the same: the statement gives {} value{} "
                  "for {} column{} of table {}.",
                  values, values == 1 ? "" : "s", columns, columns == 1 ? "" : "s", Shown(table));
}

}  // namespace

struct Executor::TableWriter {
  std::string name;
  uint32_t tdef = 0;
  std::unique_ptr<table::TableAppender> appender;
  std::vector<ColumnSpec> specs;  // one per column, in column-number order
  std::vector<Cell> cells;        // reused between statements
  std::vector<std::string> listed;  // the column list last seen, and where its columns are
  std::vector<size_t> positions;
  std::vector<Cell> defaults;  // what a column left out of a column list gets (NULL when it has no default)
};

Executor::Executor(Pager& pager, std::vector<table::CatalogObject>& objects)
    : pager_(pager), objects_(objects), allocator_(pager) {
  // Every commit takes the waiting index entries with it.
  pager_.SetBeforeCommit([this]() -> Status {
    JET_TRY(WritePendingEntries());
    for (auto& [tdef, w] : writers_) w->appender->KeepStatement();
    return {};
  });
}

Executor::~Executor() { pager_.SetBeforeCommit(nullptr); }

bool Executor::HasPendingEntries() const {
  for (const auto& [tdef, w] : writers_)
    if (w->appender->HasPending()) return true;
  return false;
}

Status Executor::WritePendingEntries(uint32_t except) {
  for (auto& [tdef, w] : writers_) {
    if (tdef == except || !w->appender->HasPending()) continue;
    if (std::find(touched_.begin(), touched_.end(), w.get()) == touched_.end()) touched_.push_back(w.get());
    JET_TRY(w->appender->WritePending());
  }
  return {};
}

Status Executor::SettleIndexes() {
  if (!HasPendingEntries()) return {};
  return AsStatement(nullptr, [&] { return WritePendingEntries(); });
}

Error Executor::DropGroup(const Error& why) {
  const size_t lost = pager_.PendingStatements();
  pager_.Rollback();
  return AfterFailedCommit(Error{
      why.code,
      fmt::format("the rows inserted since the last commit could not be added to their indexes ({}). {} lost",
                  why.message, lost == 1 ? std::string("The 1 statement since then was")
                                         : fmt::format("The {} statements since then were", lost)),
      ErrorKind::kWriteFailed, lost});
}

Status Executor::Execute(std::string_view text) {
  if (sql::IsInsertStatement(text)) {
    if (auto parsed = sql::ParseInsertInto(text, insert_); !parsed) return StatementError(parsed.error());
    if (!pager_.writable()) return ReadOnlyError();
    return Insert(insert_);
  }
  auto parsed = sql::Parse(text);
  if (!parsed) return StatementError(parsed.error());
  if (std::holds_alternative<sql::Select>(*parsed))
    return SqlError(ErrorCode::kNotSupported, "A SELECT statement returns rows; it is read, not executed.");
  if (!pager_.writable()) return ReadOnlyError();
  // Every other statement finds the indexes whole.
  JET_TRY(SettleIndexes());
  if (auto* create = std::get_if<sql::CreateTable>(&*parsed)) return Create(*create);
  if (auto* insert = std::get_if<sql::InsertInto>(&*parsed)) return Insert(*insert);
  if (auto* index = std::get_if<sql::CreateIndex>(&*parsed)) return CreateIndex(*index);
  if (auto* index = std::get_if<sql::DropIndex>(&*parsed)) return DropIndex(*index);
  if (auto* key = std::get_if<sql::AddForeignKey>(&*parsed)) return AddForeignKey(*key);
  return Drop(std::get<sql::DropTable>(*parsed));
}

Error Executor::ReadOnlyError() const {
  return SqlError(ErrorCode::kReadOnly,
                  "The database {} was opened read-only; it cannot be changed. Open it for writing (and check "
                  "that the file and its folder may be written).",
                  pager_.path());
}

template <typename Body>
Status Executor::AsStatement(TableWriter* writer, Body&& body) {
  touched_.clear();
  if (writer) touched_.push_back(writer);
  Status done = body();
  if (done) {
    for (TableWriter* w : touched_) w->appender->KeepStatement();
    touched_.clear();
    auto committed = pager_.StatementDone();
    if (!committed) return AfterFailedCommit(committed.error());
    return {};
  }
  Error failure = StatementError(done.error());
  pager_.RollbackStatement();
  allocator_.Reset();
  std::vector<TableWriter*> touched = std::move(touched_);
  touched_.clear();
  for (TableWriter* w : touched) {
    // The definition is back as before the statement; the appender reads it
    // again, and the statement's entries leave those still waiting.
    w->appender->DiscardStatement();
    if (auto reloaded = w->appender->Reload(); !reloaded) {
      if (w->appender->HasPending()) return DropGroup(reloaded.error());
      writers_.erase(w->tdef);
      by_name_.clear();
    }
  }
  return failure;
}

Result<const table::CatalogObject*> Executor::UserTable(std::string_view name, std::string_view action) const {
  for (const auto& o : objects_)
    if (o.kind == table::ObjectKind::kTable && o.name == name) return &o;
  for (const auto& o : objects_)
    if (o.kind == table::ObjectKind::kTable && sql::SameName(o.name, name)) return &o;
  for (const auto& o : objects_) {
    if (!sql::SameName(o.name, name)) continue;
    if (HasDefinition(o.kind))
      return SqlError(ErrorCode::kNotSupported, "Cannot {} {}: it is a system table, which only Access changes.",
                      action, Shown(o.name));
    if (o.kind == table::ObjectKind::kLinkedTable || o.kind == table::ObjectKind::kLinkedOdbcTable)
      return SqlError(ErrorCode::kNotSupported,
                      "Cannot {} {}: it is a linked table, whose rows live in another database.", action,
                      Shown(o.name));
  }
  return SqlError(ErrorCode::kNotFound,
                  "The Microsoft Access database engine cannot find the input table or query {}. Make sure it "
                  "exists and that its name is spelled correctly.",
                  Shown(name));
}

Result<Executor::TableWriter*> Executor::WriterFor(const std::string& name) {
  if (auto it = by_name_.find(name); it != by_name_.end()) return it->second;
  JET_ASSIGN_OR_RETURN(object, UserTable(name, "insert into"));
  uint32_t tdef = object->tdef_page();
  auto& slot = writers_[tdef];
  if (!slot) {
    auto appender = table::TableAppender::Open(pager_, allocator_, tdef, {.defer_index_entries = true});
    if (!appender) {
      writers_.erase(tdef);
      return StatementError(appender.error());
    }
    auto w = std::make_unique<TableWriter>();
    w->name = object->name;
    w->tdef = tdef;
    w->appender = std::move(*appender);
    for (const auto& c : w->appender->definition().columns) w->specs.push_back(SpecOf(c));
    w->defaults.assign(w->specs.size(), Cell{Null{}});
    // Defaults the engine can evaluate (literals); others (GenGUID() ...) leave NULL.
    auto properties = table::ReadObjectProperties(pager_, *object);
    if (!properties) {
      writers_.erase(tdef);
      return StatementError(properties.error());
    }
    if (auto blocks = format::ParsePropertyList(*properties)) {
      for (const auto& block : *blocks)
        for (const auto& p : block.properties) {
          if (p.name != "DefaultValue" || block.name.empty()) continue;
          for (size_t i = 0; i < w->specs.size(); ++i) {
            if (!sql::SameName(w->specs[i].name, block.name) || w->specs[i].auto_number) continue;
            auto literal = sql::ParseDefaultValue(format::Utf16LeToUtf8(p.value));
            if (!literal) continue;
            if (auto cell = sql::ConvertLiteral(*literal, w->specs[i], w->name)) w->defaults[i] = std::move(*cell);
          }
        }
    }
    slot = std::move(w);
  }
  by_name_[name] = slot.get();
  return slot.get();
}

Status Executor::Insert(sql::InsertInto& s) {
  JET_ASSIGN_OR_RETURN(w, WriterFor(s.table));
  const size_t n = w->specs.size();
  if (s.columns) {
    if (*s.columns != w->listed) {
      std::vector<size_t> positions;
      for (const auto& listed : *s.columns) {
        size_t at = n;
        for (size_t i = 0; i < n && at == n; ++i)
          if (sql::SameName(w->specs[i].name, listed)) at = i;
        if (at == n)
          return SqlError(ErrorCode::kNotFound,
                          "The INSERT INTO statement contains the unknown field name {}: table {} has no such "
                          "column.",
                          Shown(listed), Shown(w->name));
        for (size_t p : positions)
          if (p == at)
            return SqlError(ErrorCode::kInvalidValue, "Duplicate output destination {} in the INSERT INTO "
                            "statement for table {}.", Shown(listed), Shown(w->name));
        positions.push_back(at);
      }
      w->listed = *s.columns;
      w->positions = std::move(positions);
    }
    if (s.values.size() != w->positions.size()) return WrongValueCount(w->name, s.values.size(), w->positions.size());
  } else if (s.values.size() != n) {
    return WrongValueCount(w->name, s.values.size(), n);
  }
  if (s.columns) w->cells = w->defaults;  // the columns left out take their defaults
  else w->cells.assign(n, Cell{Null{}});
  for (size_t i = 0; i < s.values.size(); ++i) {
    size_t at = s.columns ? w->positions[i] : i;
    auto cell = sql::ConvertLiteral(std::move(s.values[i]), w->specs[at], w->name);
    if (!cell) return StatementError(cell.error());
    w->cells[at] = std::move(*cell);
  }
  // Only the table of the last INSERT can hold waiting entries. Another
  // table's go in first, in a statement of their own: this row's foreign key
  // may need them.
  if (last_insert_ != w->tdef) {
    if (auto it = writers_.find(last_insert_); it != writers_.end() && it->second->appender->HasPending())
      JET_TRY(AsStatement(nullptr, [&] { return WritePendingEntries(w->tdef); }));
    last_insert_ = w->tdef;
  }
  return AsStatement(w, [&]() -> Status {
    auto stored = w->appender->Insert(w->cells);
    if (!stored) return stored.error();
    JET_TRY(w->appender->Finish());
    // Waiting entries may need new pages: near the size limit, or once they
    // take much memory, they go in now, last in this statement.
    if (!w->appender->HasPending()) return {};
    const size_t bytes = w->appender->PendingBytes();
    const uint64_t room = pager_.MaxPageCount() - std::min<uint64_t>(pager_.MaxPageCount(), pager_.PageCount());
    if (bytes >= kMaxPendingBytes || room < bytes / 1024 + 64) return w->appender->WritePending();
    return {};
  });
}

Status Executor::Create(const sql::CreateTable& s) {
  for (const auto& o : objects_)
    if (sql::SameName(o.name, s.table))
      return SqlError(ErrorCode::kAlreadyExists, "Table {} already exists.", Shown(o.name));
  const format::Header& header = pager_.header();
  for (const auto& c : s.columns)
    if (c.type == ColumnType::kBigInt && header.version < format::Version::kAce16)
      return SqlError(ErrorCode::kNotSupported,
                      "Column {} of table {} is a Large Number (BIGINT), which needs a database of Access 2016 or "
                      "later; this one is {}.",
                      Shown(c.name), Shown(s.table), header.Describe());
  // A default must be a value of its column, as Access checks it.
  for (const auto& c : s.columns) {
    if (c.default_value.empty()) continue;
    auto literal = sql::ParseDefaultValue(c.default_value);
    auto cell = literal ? sql::ConvertLiteral(*literal, c, s.table) : Result<Cell>(Error{ErrorCode::kSyntax, ""});
    if (!cell) {
      std::string why = cell.error().message;
      if (why.starts_with(sql::kSqlExceptionPrefix)) why.erase(0, sql::kSqlExceptionPrefix.size());
      return SqlError(ErrorCode::kInvalidValue, "The default value {} does not fit column {} of table {}{}",
                      c.default_value, Shown(c.name), Shown(s.table), why.empty() ? "." : ": " + why);
    }
    if (c.auto_number)
      return SqlError(ErrorCode::kInvalidValue, "The AutoNumber column {} of table {} cannot have a default value.",
                      Shown(c.name), Shown(s.table));
  }
  const ColumnSpec* counter = nullptr;
  for (const auto& c : s.columns) {
    if (!c.auto_number) continue;
    if (counter)
      return SqlError(ErrorCode::kInvalidValue,
                      "Table {} can have only one AutoNumber column, but {} and {} are both COUNTER columns.",
                      Shown(s.table), Shown(counter->name), Shown(c.name));
    counter = &c;
  }
  if (auto writable = table::CheckCatalogWritable(pager_); !writable) return StatementError(writable.error());
  auto parent = table::TablesContainerId(objects_);
  if (!parent) return StatementError(parent.error());
  auto taken = table::CatalogNameTaken(pager_, *parent, s.table);
  if (!taken) return StatementError(taken.error());
  if (*taken) return SqlError(ErrorCode::kAlreadyExists, "Table {} already exists.", Shown(s.table));

  auto indexes = PlanIndexes(s.table, s.columns, s.indexes);
  if (!indexes) return StatementError(indexes.error());

  // New Text and Memo columns sort as the file says new columns should.
  format::Collation collation{header.sort_order, header.sort_version};
  if (collation.lcid == 0) collation = format::Collation{1033, 0};
  table::NewTable spec{s.table, s.columns, collation, table::LocalNowAsOleDate(), *indexes};
  JET_TRY(AsStatement(nullptr, [&]() -> Status {
    auto created = table::CreateTable(pager_, allocator_, objects_, spec);
    if (!created) {
      Error e = created.error();
      if (e.code == ErrorCode::kInvalidValue || e.code == ErrorCode::kNotSupported)
        e.message = fmt::format("Table {} cannot be created: {}.", Shown(s.table), e.message);
      return e;
    }
    if (s.foreign_keys.empty()) return {};
    // Its relationships, once it and its indexes exist (it may reference itself).
    std::vector<table::CatalogObject> objects = objects_;
    objects.push_back(*created);
    for (const auto& key : s.foreign_keys) {
      JET_TRY(MakeRelationship(objects, *created, key));
      JET_ASSIGN_OR_RETURN(read, table::ReadCatalog(pager_));
      objects = std::move(read);
    }
    return {};
  }));
  return RefreshCatalog();
}

Status Executor::CreateIndex(const sql::CreateIndex& s) {
  JET_ASSIGN_OR_RETURN(object, UserTable(s.table, "index"));
  const table::CatalogObject target = *object;
  const uint32_t tdef = target.tdef_page();
  by_name_.clear();
  writers_.erase(tdef);  // the appender reads the new definition when rows come next
  return AsStatement(nullptr, [&]() -> Status {
    JET_ASSIGN_OR_RETURN(t, table::Table::Open(pager_, tdef, target.name));
    const format::TableDefinition& def = t->definition();
    std::vector<ColumnSpec> columns;
    for (const auto& c : def.columns) columns.push_back(ColumnSpec{.name = c.name, .type = c.type()});
    ExistingIndexes existing;
    for (const auto& l : def.logical_indexes) {
      existing.names.push_back(l.name);
      existing.has_primary_key = existing.has_primary_key || l.kind == format::kLogicalIndexPrimaryKey;
    }
    JET_ASSIGN_OR_RETURN(planned, PlanIndexes(target.name, columns, std::span(&s.index, 1), existing));
    table::NewIndex& index = planned.front();
    for (auto& c : index.columns) c.column_number = def.columns[c.column_number].number;
    const uint8_t flags = index.flags | format::kIndexAccessMade;

    // A B-tree of its own, numbered like its index, as Access numbers them
    // (readers such as mdbtools pair the two by that number).
    std::optional<format::RealIndex> real;
    const uint32_t real_number = static_cast<uint32_t>(def.real_indexes.size());
    // A relationship's indexes number after the table's others (readers pair
    // the others with their B-trees by number); one made now would come after
    // them, and renumbering them means changing the other table too.
    for (const auto& l : def.logical_indexes)
      if (l.kind == format::kLogicalIndexRelationship || l.number == real_number)
        return SqlError(ErrorCode::kNotSupported,
                        "Table {} takes part in a relationship; adding an index to it is not supported yet. Make "
                        "its indexes before its relationships.",
                        Shown(target.name));
    {
      format::RealIndex made;
      made.columns = index.columns;
      made.flags = flags;
      JET_ASSIGN_OR_RETURN(maps, table::WriteEmptyMaps(pager_, allocator_, 1, tdef / 8 * 8));
      JET_TRY(table::StartIndexTree(pager_, allocator_, tdef, maps.front(), &made));
      JET_ASSIGN_OR_RETURN(distinct, table::BuildIndex(pager_, allocator_, *t, made));
      made.unique_entries = distinct;
      real = std::move(made);
    }
    format::LogicalIndex logical{real_number, real_number,
                                 index.primary ? format::kLogicalIndexPrimaryKey : format::kLogicalIndexPlain,
                                 index.name};
    return table::SpliceDefinition(pager_, allocator_, tdef, [&](format::ConstBytes buffer) {
      return format::AddIndexToDefinition(buffer, real, logical);
    });
  });
}

Status Executor::DropIndex(const sql::DropIndex& s) {
  JET_ASSIGN_OR_RETURN(object, UserTable(s.table, "change"));
  const table::CatalogObject target = *object;
  const uint32_t tdef = target.tdef_page();
  if (s.constraint) {
    // ALTER TABLE ... DROP CONSTRAINT names a relationship of either of its tables, or an index.
    auto relationships = table::ReadRelationships(pager_, objects_);
    if (!relationships) return StatementError(relationships.error());
    for (const auto& r : *relationships) {
      if (!sql::SameName(r.name, s.index) ||
          !(sql::SameName(r.table, target.name) || sql::SameName(r.referenced_table, target.name)))
        continue;
      for (const auto* name : {&r.table, &r.referenced_table})
        for (const auto& o : objects_)
          if (o.IsUserTable() && sql::SameName(o.name, *name)) ForgetWriter(o.tdef_page());
      JET_TRY(AsStatement(nullptr, [&]() -> Status {
        return table::RemoveRelationship(pager_, allocator_, objects_, r);
      }));
      return RefreshCatalog();
    }
  }
  ForgetWriter(tdef);
  return AsStatement(nullptr, [&]() -> Status {
    JET_ASSIGN_OR_RETURN(t, table::Table::Open(pager_, tdef, target.name));
    const format::TableDefinition& def = t->definition();
    size_t position = 0;
    while (position < def.logical_indexes.size() && !sql::SameName(def.logical_indexes[position].name, s.index))
      ++position;
    if (position == def.logical_indexes.size())
      return SqlError(ErrorCode::kNotFound, "Table {} has no index {}.", Shown(target.name), Shown(s.index));
    const format::LogicalIndex& dropped = def.logical_indexes[position];
    // A relationship's index goes with the relationship, as in Access.
    if (dropped.kind != format::kLogicalIndexPrimaryKey && dropped.kind != format::kLogicalIndexPlain)
      return SqlError(ErrorCode::kInvalidValue,
                      "Cannot delete this index or table. It is either the current index or is used in a "
                      "relationship.");
    bool shared = false, relationships = false;
    for (size_t i = 0; i < def.logical_indexes.size(); ++i) {
      shared = shared || (i != position && def.logical_indexes[i].real_index == dropped.real_index);
      relationships = relationships || (def.logical_indexes[i].kind != format::kLogicalIndexPrimaryKey &&
                                        def.logical_indexes[i].kind != format::kLogicalIndexPlain);
    }
    // Index numbers close up after the dropped one; relationships name the
    // numbers of their tables' indexes, so a table in one keeps its numbers.
    if (relationships)
      return SqlError(ErrorCode::kNotSupported,
                      "Table {} takes part in a relationship; dropping its index {} is not supported yet.",
                      Shown(target.name), Shown(dropped.name));
    if (dropped.real_index >= def.real_indexes.size())
      return SqlError(ErrorCode::kCorruption, "The index {} of table {} names a missing B-tree.", Shown(dropped.name),
                      Shown(target.name));
    std::optional<uint32_t> real;
    if (!shared) {
      // Its B-tree's pages are free again; the map row stays, empty, as a row of the holder page.
      JET_TRY(table::ReleaseIndexTree(pager_, allocator_, tdef, def.real_indexes[dropped.real_index]));
      real = dropped.real_index;
    }
    return table::SpliceDefinition(pager_, allocator_, tdef, [&](format::ConstBytes buffer) {
      return format::RemoveIndexFromDefinition(buffer, position, real, dropped.number);
    });
  });
}

Status Executor::AddForeignKey(const sql::AddForeignKey& s) {
  JET_ASSIGN_OR_RETURN(object, UserTable(s.table, "change"));
  const table::CatalogObject target = *object;
  if (auto writable = table::CheckCatalogWritable(pager_); !writable) return StatementError(writable.error());
  JET_TRY(AsStatement(nullptr, [&]() -> Status { return MakeRelationship(objects_, target, s.key); }));
  return RefreshCatalog();
}

Status Executor::MakeRelationship(const std::vector<table::CatalogObject>& objects, const table::CatalogObject& target,
                                  const sql::ForeignKeySpec& spec) {
  const table::CatalogObject* referenced = nullptr;
  if (sql::SameName(spec.referenced_table, target.name)) {
    referenced = &target;
  } else {
    JET_ASSIGN_OR_RETURN(found, UserTable(spec.referenced_table, "reference"));
    referenced = found;
  }
  JET_ASSIGN_OR_RETURN(existing, table::ReadRelationships(pager_, objects));
  JET_ASSIGN_OR_RETURN(planned, PlanRelationship(pager_, objects, existing, target, *referenced, spec));
  ForgetWriter(target.tdef_page());
  ForgetWriter(referenced->tdef_page());
  return table::AddRelationship(pager_, allocator_, objects, planned, table::LocalNowAsOleDate());
}

void Executor::ForgetWriter(uint32_t tdef) {
  by_name_.clear();
  writers_.erase(tdef);
}

Status Executor::Drop(const sql::DropTable& s) {
  JET_ASSIGN_OR_RETURN(object, UserTable(s.table, "drop"));
  table::CatalogObject target = *object;
  if (auto writable = table::CheckCatalogWritable(pager_); !writable) return StatementError(writable.error());
  by_name_.clear();
  writers_.erase(target.tdef_page());
  JET_TRY(AsStatement(nullptr, [&]() -> Status { return table::DropTable(pager_, allocator_, objects_, target); }));
  return RefreshCatalog();
}

Status Executor::Flush() {
  if (!pager_.writable() || !pager_.HasChanges()) return {};
  // (The pager's hook puts waiting index entries in first.)
  if (auto committed = pager_.Commit(); !committed) return AfterFailedCommit(committed.error());
  return {};
}

Status Executor::CommitIfDue() {
  if (!pager_.writable() || !pager_.HasChanges()) return {};
  if (auto committed = pager_.CommitIfDue(); !committed) return AfterFailedCommit(committed.error());
  return {};
}

Error Executor::AfterFailedCommit(const Error& e) {
  touched_.clear();
  writers_.clear();
  by_name_.clear();
  allocator_.Reset();
  if (auto objects = table::ReadCatalog(pager_)) objects_ = std::move(*objects);
  // Not a refused statement: earlier statements were lost too.
  return Error{e.code, fmt::format("The changes could not be written to the file {}: {}", pager_.path(), e.message),
               ErrorKind::kWriteFailed, e.statements_lost};
}

Status Executor::RefreshCatalog() {
  by_name_.clear();
  auto objects = table::ReadCatalog(pager_);
  if (!objects) return StatementError(objects.error());
  objects_ = std::move(*objects);
  return {};
}

}  // namespace jet
