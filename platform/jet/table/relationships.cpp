#include "platform/jet/table/relationships.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/tdef_indexes.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/create_table.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/index_build.h"
#include "platform/jet/table/key_columns.h"
#include "platform/jet/table/row_writer.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

using format::EqualNoCase;

constexpr std::string_view kRelationshipsTable = "MSysRelationships";

Error Damaged(std::string message) { return MakeError(ErrorCode::kCorruption, std::move(message)); }

const CatalogObject* SystemTable(const std::vector<CatalogObject>& objects, std::string_view name) {
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kSystemTable && o.name == name) return &o;
  return nullptr;
}

const CatalogObject* UserTableNamed(const std::vector<CatalogObject>& objects, std::string_view name) {
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kTable && EqualNoCase(o.name, name)) return &o;
  return nullptr;
}

// Where each MSysRelationships column stands in its rows.
struct RelationshipColumns {
  int name = -1, flags = -1, count = -1, position = -1, table = -1, column = -1, referenced_table = -1,
      referenced_column = -1;
  size_t size = 0;
};

Result<RelationshipColumns> ColumnsOf(const Table& t) {
  RelationshipColumns c;
  const auto& defs = t.columns();
  c.size = defs.size();
  std::pair<const char*, int*> wanted[] = {
      {"szRelationship", &c.name},     {"grbit", &c.flags},   {"ccolumn", &c.count},
      {"icolumn", &c.position},        {"szObject", &c.table}, {"szColumn", &c.column},
      {"szReferencedObject", &c.referenced_table}, {"szReferencedColumn", &c.referenced_column},
  };
  for (auto& [name, at] : wanted) {
    for (size_t i = 0; i < defs.size(); ++i)
      if (defs[i].name == name) *at = static_cast<int>(i);
    if (*at < 0) return Damaged(fmt::format("the system table {} has no column {}", kRelationshipsTable, name));
  }
  return c;
}

std::string TextOf(const Cell& c) {
  const auto* s = std::get_if<std::string>(&c);
  return s ? *s : std::string();
}

int64_t IntegerOf(const Cell& c) {
  const auto* v = std::get_if<int64_t>(&c);
  return v ? *v : 0;
}

// The name Access gives the referenced side's index: ".r" and a letter after
// its number (".rC" for number 2), the next letter while one is taken.
std::string ReferencedSideName(const format::TableDefinition& def, uint32_t number) {
  for (uint32_t letter = number;; ++letter) {
    std::string name = ".r";
    name += static_cast<char>('A' + letter % 26);
    if (letter >= 26) name += std::to_string(letter / 26);
    bool taken = false;
    for (const auto& l : def.logical_indexes) taken = taken || EqualNoCase(l.name, name);
    if (!taken) return name;
  }
}

// Removes the logical index numbered `number` from the table at `tdef` (and
// its B-tree with `drop_tree` when no other index uses it); the relationship
// indexes numbered after it move down one, and their partners follow.
Status RemoveLogicalIndex(PageStore& store, PageAllocator& pages, uint32_t tdef, uint32_t number, bool drop_tree) {
  JET_ASSIGN_OR_RETURN(t, Table::Open(store, tdef, fmt::format("on page {}", tdef)));
  const format::TableDefinition def = t->definition();
  size_t position = 0;
  while (position < def.logical_indexes.size() && def.logical_indexes[position].number != number) ++position;
  if (position == def.logical_indexes.size()) return Damaged(fmt::format("a relationship names index {} of the "
                                                                         "table on page {}, which it lacks", number, tdef));
  const format::LogicalIndex removed = def.logical_indexes[position];
  bool shared = false;
  for (size_t i = 0; i < def.logical_indexes.size(); ++i)
    shared = shared || (i != position && def.logical_indexes[i].real_index == removed.real_index);
  std::optional<uint32_t> real;
  if (drop_tree && !shared) {
    if (removed.real_index >= def.real_indexes.size())
      return Damaged(fmt::format("an index of the table on page {} names a missing B-tree", tdef));
    JET_TRY(ReleaseIndexTree(store, pages, tdef, def.real_indexes[removed.real_index]));
    real = removed.real_index;
  }
  JET_TRY(SpliceDefinition(store, pages, tdef, [&](format::ConstBytes b) {
    return format::RemoveIndexFromDefinition(b, position, real, number);
  }));
  // In ascending order, so that no partner is moved twice.
  std::vector<format::LogicalIndex> moved;
  for (const auto& l : def.logical_indexes)
    if (l.kind == format::kLogicalIndexRelationship && l.number > number) moved.push_back(l);
  std::sort(moved.begin(), moved.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  for (const auto& l : moved)
    JET_TRY(SpliceDefinition(store, pages, l.other_tdef, [&](format::ConstBytes b) {
      return format::RenumberRelationshipPartner(b, tdef, l.number, l.number - 1);
    }));
  return {};
}

}  // namespace

std::string RelatedRecordRequiredMessage(std::string_view referenced_table) {
  return fmt::format("You cannot add or change a record because a related record is required in table '{}'.",
                     referenced_table);
}

Result<std::vector<Relationship>> ReadRelationships(PageStore& store, const std::vector<CatalogObject>& objects) {
  std::vector<Relationship> out;
  const CatalogObject* system = SystemTable(objects, kRelationshipsTable);
  if (!system) return out;
  JET_ASSIGN_OR_RETURN(t, Table::Open(store, system->tdef_page(), system->name));
  JET_ASSIGN_OR_RETURN(c, ColumnsOf(*t));
  struct Pair {
    int64_t position;
    std::string column, referenced;
  };
  std::vector<std::vector<Pair>> pairs;
  auto cursor = t->Scan();
  for (; cursor.Valid(); cursor.Next()) {
    const auto& row = cursor.row();
    const std::string name = TextOf(row[c.name]);
    size_t at = 0;
    while (at < out.size() && !EqualNoCase(out[at].name, name)) ++at;
    if (at == out.size()) {
      Relationship r;
      r.name = name;
      r.table = TextOf(row[c.table]);
      r.referenced_table = TextOf(row[c.referenced_table]);
      r.flags = static_cast<uint32_t>(IntegerOf(row[c.flags]));
      out.push_back(std::move(r));
      pairs.emplace_back();
    }
    pairs[at].push_back(Pair{IntegerOf(row[c.position]), TextOf(row[c.column]), TextOf(row[c.referenced_column])});
  }
  if (!cursor.status()) return cursor.status().error();
  for (size_t i = 0; i < out.size(); ++i) {
    std::stable_sort(pairs[i].begin(), pairs[i].end(),
                     [](const Pair& a, const Pair& b) { return a.position < b.position; });
    for (auto& p : pairs[i]) {
      out[i].columns.push_back(std::move(p.column));
      out[i].referenced_columns.push_back(std::move(p.referenced));
    }
  }
  return out;
}

Result<ReferenceKey> ReferenceKeyOf(PageStore& store, const format::TableDefinition& table,
                                    std::span<const uint16_t> columns, const format::TableDefinition& referenced,
                                    const format::RealIndex& referenced_index, std::string_view what) {
  if (columns.size() != referenced_index.columns.size())
    return Damaged(fmt::format("a relationship of table {} pairs {} columns with an index of {}", what,
                               columns.size(), referenced_index.columns.size()));
  ReferenceKey out;
  for (size_t k = 0; k < columns.size(); ++k) {
    const auto& rc = referenced.columns;
    auto r = std::find_if(rc.begin(), rc.end(),
                          [&](const auto& c) { return c.number == referenced_index.columns[k].column_number; });
    const auto& tc = table.columns;
    auto f = std::find_if(tc.begin(), tc.end(), [&](const auto& c) { return c.number == columns[k]; });
    if (r == rc.end() || f == tc.end())
      return Damaged(fmt::format("a relationship of table {} names a column that is missing", what));
    JET_ASSIGN_OR_RETURN(key, KeyColumnOf(store, *r, referenced_index.columns[k].ascending));
    out.key.push_back(key);
    out.positions.push_back(static_cast<size_t>(f - tc.begin()));
  }
  return out;
}

Result<uint64_t> CountUnrelatedRows(PageStore& store, const Table& table, const std::vector<uint16_t>& columns,
                                    const Table& referenced, const format::RealIndex& referenced_index,
                                    uint64_t limit) {
  JET_ASSIGN_OR_RETURN(reference, ReferenceKeyOf(store, table.definition(), columns, referenced.definition(),
                                                 referenced_index, table.name()));
  std::vector<format::KeyColumn>& key = reference.key;
  const std::vector<size_t>& positions = reference.positions;
  std::vector<format::IndexKey> keys;
  auto cursor = table.Scan();
  for (; cursor.Valid(); cursor.Next()) {
    bool any_null = false;
    for (size_t k = 0; k < key.size(); ++k) {
      key[k].value = &cursor.row()[positions[k]];
      any_null = any_null || IsNull(*key[k].value);
    }
    if (any_null) continue;
    JET_ASSIGN_OR_RETURN(encoded, format::EncodeIndexKey(key));
    keys.push_back(std::move(encoded));
  }
  if (!cursor.status()) return cursor.status().error();
  std::sort(keys.begin(), keys.end());
  // One pass over the referenced index beside the sorted keys.
  uint64_t unrelated = 0;
  size_t next = 0;
  IndexTree tree(store, referenced_index.root_page, referenced.tdef_page());
  JET_TRY(tree.Walk([&](const format::IndexEntry& e) -> Status {
    for (; next < keys.size() && keys[next] < e.key; ++next) ++unrelated;
    while (next < keys.size() && keys[next] == e.key) ++next;
    return {};
  }));
  unrelated += keys.size() - next;
  return std::min(unrelated, limit);
}

Status AddRelationship(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                       const NewRelationship& nr, double now) {
  const Relationship& r = nr.relationship;
  std::vector<uint16_t> columns;
  std::optional<format::RealIndex> made;
  uint32_t real_number = 0, number = 0;
  {
    JET_ASSIGN_OR_RETURN(child, Table::Open(store, nr.tdef, r.table));
    JET_ASSIGN_OR_RETURN(parent, Table::Open(store, nr.referenced_tdef, r.referenced_table));
    const auto& def = child->definition();
    const auto& referenced_def = parent->definition();
    if (nr.referenced_real >= referenced_def.real_indexes.size())
      return Damaged(fmt::format("table {} has no index {}", r.referenced_table, nr.referenced_real));
    for (const auto& name : r.columns) {
      auto c = std::find_if(def.columns.begin(), def.columns.end(),
                            [&](const auto& col) { return EqualNoCase(col.name, name); });
      if (c == def.columns.end()) return Damaged(fmt::format("table {} has no column {}", r.table, name));
      columns.push_back(c->number);
    }
    const format::RealIndex& referenced = referenced_def.real_indexes[nr.referenced_real];
    JET_ASSIGN_OR_RETURN(unrelated, CountUnrelatedRows(store, *child, columns, *parent, referenced, 1));
    if (unrelated > 0)
      return MakeError(ErrorCode::kInvalidValue,
                       fmt::format("Data in the table '{}' violates referential integrity rules: a row has no "
                                   "related record in table '{}'.",
                                   r.table, r.referenced_table));

    // The foreign key's B-tree: one on exactly its columns, or its own.
    real_number = static_cast<uint32_t>(def.real_indexes.size());
    for (uint32_t i = 0; i < def.real_indexes.size(); ++i) {
      const auto& ri = def.real_indexes[i];
      bool same = ri.columns.size() == columns.size();
      for (size_t k = 0; same && k < columns.size(); ++k)
        same = ri.columns[k].column_number == columns[k] && ri.columns[k].ascending;
      if (same) {
        real_number = i;
        break;
      }
    }
    if (real_number == def.real_indexes.size()) {
      format::RealIndex index;
      for (uint16_t c : columns) index.columns.push_back(format::IndexColumn{c, true});
      index.flags = format::kIndexAccessMade;
      JET_ASSIGN_OR_RETURN(maps, WriteEmptyMaps(store, pages, 1, nr.tdef / 8 * 8));
      JET_TRY(StartIndexTree(store, pages, nr.tdef, maps.front(), &index));
      JET_ASSIGN_OR_RETURN(distinct, BuildIndex(store, pages, *child, index));
      index.unique_entries = distinct;
      made = std::move(index);
    }
    number = static_cast<uint32_t>(def.logical_indexes.size());
  }
  const bool self = nr.tdef == nr.referenced_tdef;
  uint32_t referenced_number = 0;
  {
    JET_ASSIGN_OR_RETURN(parent, Table::Open(store, nr.referenced_tdef, r.referenced_table));
    referenced_number = static_cast<uint32_t>(parent->definition().logical_indexes.size()) + (self ? 1 : 0);
  }
  const uint8_t on_update = (r.flags & kRelationshipCascadeUpdates) ? format::kRelationshipCascade
                                                                      : format::kRelationshipNoAction;
  const uint8_t on_delete = (r.flags & kRelationshipCascadeDeletes)    ? format::kRelationshipCascade
                            : (r.flags & kRelationshipSetNullOnDelete) ? format::kRelationshipSetNull
                                                                       : format::kRelationshipNoAction;
  format::LogicalIndex side{number, real_number, format::kLogicalIndexRelationship, r.name};
  side.side = format::kRelationshipForeignKey;
  side.other_index = referenced_number;
  side.other_tdef = nr.referenced_tdef;
  side.on_update = on_update;
  side.on_delete = on_delete;
  JET_TRY(SpliceDefinition(store, pages, nr.tdef,
                      [&](format::ConstBytes b) { return format::AddIndexToDefinition(b, made, side); }));
  {
    JET_ASSIGN_OR_RETURN(parent, Table::Open(store, nr.referenced_tdef, r.referenced_table));
    format::LogicalIndex other{referenced_number, nr.referenced_real, format::kLogicalIndexRelationship,
                               ReferencedSideName(parent->definition(), referenced_number)};
    other.side = format::kRelationshipReferenced;
    other.other_index = number;
    other.other_tdef = nr.tdef;
    other.on_update = on_update;
    other.on_delete = on_delete;
    JET_TRY(SpliceDefinition(store, pages, nr.referenced_tdef,
                        [&](format::ConstBytes b) { return format::AddIndexToDefinition(b, std::nullopt, other); }));
  }

  // One MSysRelationships row per column pair.
  const CatalogObject* system = SystemTable(objects, kRelationshipsTable);
  if (!system) return Damaged("the database has no MSysRelationships table");
  RelationshipColumns c;
  {
    JET_ASSIGN_OR_RETURN(t, Table::Open(store, system->tdef_page(), system->name));
    JET_ASSIGN_OR_RETURN(found, ColumnsOf(*t));
    c = found;
  }
  for (size_t i = 0; i < r.columns.size(); ++i) {
    std::vector<Cell> cells(c.size, Cell{Null{}});
    cells[c.name] = r.name;
    cells[c.flags] = int64_t{static_cast<int32_t>(r.flags)};
    cells[c.count] = static_cast<int64_t>(r.columns.size());
    cells[c.position] = static_cast<int64_t>(i);
    cells[c.table] = r.table;
    cells[c.column] = r.columns[i];
    cells[c.referenced_table] = r.referenced_table;
    cells[c.referenced_column] = r.referenced_columns[i];
    JET_TRY(InsertRow(store, pages, system->tdef_page(), cells));
  }
  JET_TRY(AddRelationshipToCatalog(store, pages, objects, r.name, now));
  return {};
}

Status RemoveRelationship(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                          const Relationship& r) {
  const CatalogObject* child = UserTableNamed(objects, r.table);
  const CatalogObject* parent = UserTableNamed(objects, r.referenced_table);
  if (child && parent) {
    const uint32_t tdef = child->tdef_page(), referenced_tdef = parent->tdef_page();
    auto foreign_key_side = [&]() -> Result<std::optional<format::LogicalIndex>> {
      JET_ASSIGN_OR_RETURN(t, Table::Open(store, tdef, child->name));
      for (const auto& l : t->definition().logical_indexes)
        if (l.kind == format::kLogicalIndexRelationship && l.side == format::kRelationshipForeignKey &&
            l.other_tdef == referenced_tdef && EqualNoCase(l.name, r.name))
          return std::optional<format::LogicalIndex>(l);
      return std::optional<format::LogicalIndex>();
    };
    JET_ASSIGN_OR_RETURN(side, foreign_key_side());
    if (side) {
      // The referenced side first: its removal may renumber the foreign-key side (one table).
      JET_TRY(RemoveLogicalIndex(store, pages, referenced_tdef, side->other_index, false));
      JET_ASSIGN_OR_RETURN(again, foreign_key_side());
      if (!again) return Damaged(fmt::format("the relationship {} lost its index", r.name));
      JET_TRY(RemoveLogicalIndex(store, pages, tdef, again->number, true));
    }
  }
  if (const CatalogObject* system = SystemTable(objects, kRelationshipsTable)) {
    std::vector<format::RowPointer> rows;
    {
      JET_ASSIGN_OR_RETURN(t, Table::Open(store, system->tdef_page(), system->name));
      JET_ASSIGN_OR_RETURN(c, ColumnsOf(*t));
      auto cursor = t->Scan();
      for (; cursor.Valid(); cursor.Next())
        if (EqualNoCase(TextOf(cursor.row()[c.name]), r.name)) rows.push_back(cursor.position());
      if (!cursor.status()) return cursor.status().error();
    }
    for (auto row : rows) JET_TRY(DeleteRow(store, pages, system->tdef_page(), row));
  }
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kRelationship && EqualNoCase(o.name, r.name))
      return RemoveFromCatalog(store, pages, objects, o);
  return {};
}

}  // namespace jet::table
