#include "platform/jet/table/relationship_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <set>

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/table/relationships.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

using format::EqualNoCase;

bool HasDefinition(ObjectKind kind) {
  return kind == ObjectKind::kTable || kind == ObjectKind::kSystemTable || kind == ObjectKind::kAccessTable;
}

const CatalogObject* TableNamed(const std::vector<CatalogObject>& objects, std::string_view name) {
  for (const auto& o : objects)
    if (HasDefinition(o.kind) && EqualNoCase(o.name, name)) return &o;
  return nullptr;
}

const format::ColumnDef* ColumnNamed(const Table& t, std::string_view name) {
  for (const auto& c : t.columns())
    if (EqualNoCase(c.name, name)) return &c;
  return nullptr;
}

class RelationshipCheck {
 public:
  RelationshipCheck(PageStore& store, const std::vector<CatalogObject>& objects) : store_(store), objects_(objects) {}

  void Check(const Relationship& r) {
    const std::string what = fmt::format("relationship {}", r.name);
    const CatalogObject* child_object = TableNamed(objects_, r.table);
    const CatalogObject* parent_object = TableNamed(objects_, r.referenced_table);
    if (!child_object || !parent_object) {
      Problem(fmt::format("{} names the table {}, which the database does not have", what,
                          child_object ? r.referenced_table : r.table));
      return;
    }
    auto child = Open(*child_object);
    auto parent = Open(*parent_object);
    if (!child || !parent) return;
    std::vector<uint16_t> columns;
    for (size_t k = 0; k < r.columns.size(); ++k) {
      const auto* c = ColumnNamed(*child, r.columns[k]);
      const auto* p = k < r.referenced_columns.size() ? ColumnNamed(*parent, r.referenced_columns[k]) : nullptr;
      if (!c || !p) {
        Problem(fmt::format("{} names a column that table {} does not have", what, c ? r.referenced_table : r.table));
        return;
      }
      columns.push_back(c->number);
    }
    if (r.flags & kRelationshipNotEnforced) return;

    // Both sides' indexes, each naming the other.
    const auto& def = child->definition();
    const auto& referenced_def = parent->definition();
    auto side = std::find_if(def.logical_indexes.begin(), def.logical_indexes.end(), [&](const auto& l) {
      return l.kind == format::kLogicalIndexRelationship && l.side == format::kRelationshipForeignKey &&
             EqualNoCase(l.name, r.name);
    });
    if (side == def.logical_indexes.end()) {
      Problem(fmt::format("{}: table {} has no index for it", what, r.table));
      return;
    }
    claimed_.insert({child_object->tdef_page(), side->number});
    auto other = std::find_if(referenced_def.logical_indexes.begin(), referenced_def.logical_indexes.end(),
                              [&](const auto& l) { return l.number == side->other_index; });
    if (side->other_tdef != parent_object->tdef_page() || other == referenced_def.logical_indexes.end() ||
        other->kind != format::kLogicalIndexRelationship || other->side != format::kRelationshipReferenced ||
        other->other_tdef != child_object->tdef_page() || other->other_index != side->number) {
      Problem(fmt::format("{}: the indexes of tables {} and {} do not name each other", what, r.table,
                          r.referenced_table));
      return;
    }
    claimed_.insert({parent_object->tdef_page(), other->number});
    if (side->real_index >= def.real_indexes.size() || other->real_index >= referenced_def.real_indexes.size()) {
      Problem(fmt::format("{}: an index names a missing B-tree", what));
      return;
    }
    const auto& own = def.real_indexes[side->real_index];
    const auto& referenced = referenced_def.real_indexes[other->real_index];
    if (!(referenced.flags & format::kIndexUnique))
      Problem(fmt::format("{}: the index it uses in table {} is not unique", what, r.referenced_table));
    bool same = own.columns.size() == columns.size();
    for (size_t k = 0; same && k < columns.size(); ++k) same = own.columns[k].column_number == columns[k];
    if (!same) {
      Problem(fmt::format("{}: its index in table {} is not on its columns", what, r.table));
      return;
    }
    auto unrelated = CountUnrelatedRows(store_, *child, columns, *parent, referenced);
    if (!unrelated) {
      Problem(fmt::format("{}: {}", what, unrelated.error().message));
    } else if (*unrelated > 0) {
      Problem(fmt::format("{}: {} row{} of table {} {} no related row in table {}", what, *unrelated,
                          *unrelated == 1 ? "" : "s", r.table, *unrelated == 1 ? "has" : "have", r.referenced_table));
    }
  }

  // Relationship indexes that no relationship claimed.
  void CheckUnclaimed() {
    for (const auto& o : objects_) {
      if (!HasDefinition(o.kind)) continue;
      auto t = Open(o);
      if (!t) continue;
      for (const auto& l : t->definition().logical_indexes)
        if (l.kind == format::kLogicalIndexRelationship && !claimed_.count({o.tdef_page(), l.number}))
          Problem(fmt::format("table {}: the relationship index {} belongs to no relationship", o.name, l.name));
    }
  }

  std::vector<std::string> Take() { return std::move(problems_); }
  void Problem(std::string text) { problems_.push_back(std::move(text)); }

 private:
  std::unique_ptr<Table> Open(const CatalogObject& o) {
    auto t = Table::Open(store_, o.tdef_page(), o.name);
    if (!t) return nullptr;  // the table check reports it
    return std::move(*t);
  }

  PageStore& store_;
  const std::vector<CatalogObject>& objects_;
  std::set<std::pair<uint32_t, uint32_t>> claimed_;  // (definition page, logical index number)
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> CheckRelationships(PageStore& store, const std::vector<CatalogObject>& objects) {
  RelationshipCheck check(store, objects);
  auto relationships = ReadRelationships(store, objects);
  if (!relationships) {
    check.Problem(fmt::format("MSysRelationships: {}", relationships.error().message));
    return check.Take();
  }
  for (const auto& r : *relationships) check.Check(r);
  check.CheckUnclaimed();
  return check.Take();
}

}  // namespace jet::table
