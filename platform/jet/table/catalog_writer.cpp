#include "platform/jet/table/catalog_writer.h"

#include <fmt/format.h>

#include <ctime>
#include <set>

#include "platform/jet/format/index_key.h"
#include "platform/jet/format/numeric.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/row_writer.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeRelationship = 8;
constexpr uint32_t kEngineObjectIds = 0x80000000u;  // Ids of objects that have no definition page
constexpr uint8_t kFallbackOwner[] = {0xA6, 0x33};

int ColumnIndex(const format::TableDefinition& def, std::string_view name) {
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (def.columns[i].name == name) return static_cast<int>(i);
  return -1;
}

Result<int> RequireColumn(const format::TableDefinition& def, std::string_view table, std::string_view name) {
  int i = ColumnIndex(def, name);
  if (i < 0)
    return MakeError(ErrorCode::kCorruption, fmt::format("the system table {} has no column {}", table, name));
  return i;
}

int64_t IntegerOf(const Cell& c) {
  const int64_t* v = std::get_if<int64_t>(&c);
  return v ? *v : 0;
}

const CatalogObject* FindSystemTable(const std::vector<CatalogObject>& objects, std::string_view name) {
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kSystemTable && o.name == name) return &o;
  return nullptr;
}

// The Owner bytes of the MSysDb row: what Access gives the objects a user creates.
Result<Bytes> DatabaseOwner(PageStore& store, const Table& catalog, const std::vector<CatalogObject>& objects) {
  int owner = ColumnIndex(catalog.definition(), "Owner");
  for (const auto& o : objects) {
    if (o.kind != ObjectKind::kDatabase || o.name != "MSysDb" || owner < 0) continue;
    JET_ASSIGN_OR_RETURN(bytes, ReadRow(store, o.row, "the catalogue row of MSysDb"));
    std::vector<Cell> cells;
    JET_TRY(catalog.DecodeCells(bytes, cells, "the catalogue row of MSysDb"));
    if (const auto* b = std::get_if<Bytes>(&cells[owner]); b && !b->empty()) return *b;
  }
  return Bytes(std::begin(kFallbackOwner), std::end(kFallbackOwner));
}

struct AccessEntry {
  Bytes sid;
  int64_t rights = 0;
  bool inheritable = false;
};

// The access-control rows of a new object, from its container's (see the header).
std::vector<AccessEntry> NewTableEntries(const std::vector<AccessEntry>& container, const std::set<Bytes>& object_sids,
                                         const Bytes& owner) {
  std::vector<AccessEntry> out;
  const AccessEntry* creator = nullptr;
  int candidates = 0;
  for (const auto& e : container)
    if (e.inheritable && e.sid != owner && !object_sids.count(e.sid)) {
      creator = &e;
      ++candidates;
    }
  if (candidates != 1) creator = nullptr;  // not recognisable: every entry is inherited as it is
  bool any_inheritable = false;
  for (const auto& e : container) {
    if (!e.inheritable || &e == creator) continue;
    any_inheritable = true;
    out.push_back(AccessEntry{e.sid, e.rights, false});
  }
  if (any_inheritable) {
    if (creator) {
      bool merged = false;
      for (auto& e : out)
        if (e.sid == owner) {
          e.rights |= creator->rights;
          merged = true;
        }
      if (!merged) out.insert(out.begin(), AccessEntry{owner, creator->rights, false});
    }
    return out;
  }
  std::set<Bytes> seen;
  for (const auto& e : container)
    if (seen.insert(e.sid).second) out.push_back(AccessEntry{e.sid, kFullAccessRights, false});
  if (out.empty()) out.push_back(AccessEntry{owner, kFullAccessRights, false});
  return out;
}

Status AddAccessEntries(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                        int32_t container_id, const Bytes& owner, int32_t object_id_value) {
  const CatalogObject* aces_object = FindSystemTable(objects, "MSysACEs");
  if (!aces_object) return {};  // a file without access control
  uint32_t aces_page = aces_object->tdef_page();
  std::vector<AccessEntry> container;
  std::set<Bytes> object_sids;
  std::set<int64_t> containers;
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kContainer) containers.insert(o.id);
  int object_id, sid, rights, inheritable;
  size_t column_count;
  {
    JET_ASSIGN_OR_RETURN(aces, Table::Open(store, aces_page, "MSysACEs"));
    const auto& def = aces->definition();
    JET_ASSIGN_OR_RETURN(o, RequireColumn(def, "MSysACEs", "ObjectId"));
    JET_ASSIGN_OR_RETURN(s, RequireColumn(def, "MSysACEs", "SID"));
    JET_ASSIGN_OR_RETURN(a, RequireColumn(def, "MSysACEs", "ACM"));
    JET_ASSIGN_OR_RETURN(f, RequireColumn(def, "MSysACEs", "FInheritable"));
    object_id = o, sid = s, rights = a, inheritable = f;
    column_count = def.columns.size();
    auto cursor = aces->Scan();
    for (; cursor.Valid(); cursor.Next()) {
      const auto& row = cursor.row();
      int64_t id = IntegerOf(row[object_id]);
      const Bytes* b = std::get_if<Bytes>(&row[sid]);
      Bytes sid_bytes = b ? *b : Bytes{};
      if (id == container_id) {
        const bool* inherit = std::get_if<bool>(&row[inheritable]);
        container.push_back(AccessEntry{sid_bytes, IntegerOf(row[rights]), inherit && *inherit});
      } else if (!containers.count(id)) {
        object_sids.insert(sid_bytes);
      }
    }
    if (!cursor.status()) return cursor.status().error();
  }
  for (const auto& e : NewTableEntries(container, object_sids, owner)) {
    std::vector<Cell> cells(column_count, Cell{Null{}});
    cells[object_id] = int64_t{object_id_value};
    cells[sid] = e.sid;
    cells[rights] = e.rights;
    cells[inheritable] = e.inheritable;
    auto inserted = InsertRow(store, pages, aces_page, cells);
    if (!inserted) return inserted.error();
  }
  return {};
}

}  // namespace

Status CheckCatalogWritable(PageStore& store) {
  JET_ASSIGN_OR_RETURN(catalog, Table::Open(store, kCatalogPage, "MSysObjects"));
  const auto& def = catalog->definition();
  for (const auto& index : def.real_indexes)
    for (const auto& ic : index.columns)
      for (const auto& c : def.columns) {
        if (c.number != ic.column_number) continue;
        if (c.type() != ColumnType::kText && c.type() != ColumnType::kMemo) continue;
        if (!format::SortOrderOfCollation(c.collation, c.sort_version))
          return MakeError(ErrorCode::kNotSupported,
                           fmt::format("The database's catalogue is sorted in a sort order (LCID {}, version {}) whose "
                                       "index keys cannot be written; only the \"General\" and \"General - Legacy\" "
                                       "sort orders can. In Access, choose one of them as the new database sort "
                                       "order, compact the database, then try again.",
                                       c.collation, c.sort_version));
      }
  return {};
}

Result<int32_t> TablesContainerId(const std::vector<CatalogObject>& objects) {
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kContainer && o.parent_id == kTablesContainerParent && o.name == "Tables") return o.id;
  return MakeError(ErrorCode::kCorruption, "the system catalogue has no Tables container");
}

Result<bool> CatalogNameTaken(PageStore& store, int32_t parent_id, std::string_view name) {
  JET_ASSIGN_OR_RETURN(catalog, Table::Open(store, kCatalogPage, "MSysObjects"));
  const auto& def = catalog->definition();
  JET_ASSIGN_OR_RETURN(parent_column, RequireColumn(def, "MSysObjects", "ParentId"));
  JET_ASSIGN_OR_RETURN(name_column, RequireColumn(def, "MSysObjects", "Name"));
  const auto& pc = def.columns[parent_column];
  const auto& nc = def.columns[name_column];
  for (const auto& index : def.real_indexes) {
    if (index.columns.size() != 2 || index.columns[0].column_number != pc.number ||
        index.columns[1].column_number != nc.number)
      continue;
    auto order = format::SortOrderOfCollation(nc.collation, nc.sort_version);
    if (!order) return CheckCatalogWritable(store).error();
    Cell parent = int64_t{parent_id};
    Cell text = std::string(name);
    format::KeyColumn columns[] = {
        {&parent, pc.type(), index.columns[0].ascending},
        {&text, nc.type(), index.columns[1].ascending, *order},
    };
    JET_ASSIGN_OR_RETURN(key, format::EncodeIndexKey(columns));
    IndexTree tree(store, index.root_page, kCatalogPage);
    JET_ASSIGN_OR_RETURN(found, tree.Find(key));
    return !found.empty();
  }
  return false;  // no such index: the name check by comparison is all there is
}

namespace {

struct NewObject {
  int32_t id = 0;
  int32_t parent_id = 0;
  std::string name;
  int16_t type = 0;
  ObjectKind kind = ObjectKind::kTable;
};

Result<CatalogObject> AddObjectToCatalog(PageStore& store, PageAllocator& pages,
                                         const std::vector<CatalogObject>& objects, const NewObject& object,
                                         double now, const std::vector<std::byte>& properties) {
  JET_ASSIGN_OR_RETURN(catalog, Table::Open(store, kCatalogPage, "MSysObjects"));
  const auto& def = catalog->definition();
  std::vector<Cell> cells(def.columns.size(), Cell{Null{}});
  auto set = [&](std::string_view column, Cell value) -> Status {
    JET_ASSIGN_OR_RETURN(i, RequireColumn(def, "MSysObjects", column));
    cells[i] = std::move(value);
    return {};
  };
  JET_ASSIGN_OR_RETURN(owner, DatabaseOwner(store, *catalog, objects));
  JET_TRY(set("Id", int64_t{object.id}));
  JET_TRY(set("ParentId", int64_t{object.parent_id}));
  JET_TRY(set("Name", object.name));
  JET_TRY(set("Type", int64_t{object.type}));
  JET_TRY(set("DateCreate", DateTimeValue{now}));
  JET_TRY(set("DateUpdate", DateTimeValue{now}));
  JET_TRY(set("Owner", owner));
  JET_TRY(set("Flags", int64_t{0}));
  if (!properties.empty()) {
    const auto* p = reinterpret_cast<const uint8_t*>(properties.data());
    JET_TRY(set("LvProp", Bytes(p, p + properties.size())));
  }
  JET_ASSIGN_OR_RETURN(at, InsertRow(store, pages, kCatalogPage, cells));
  JET_TRY(AddAccessEntries(store, pages, objects, object.parent_id, owner, object.id));

  CatalogObject o;
  o.id = object.id;
  o.parent_id = object.parent_id;
  o.name = object.name;
  o.type = object.type;
  o.flags = 0;
  o.row = at;
  o.kind = object.kind;
  return o;
}

}  // namespace

Result<CatalogObject> AddTableToCatalog(PageStore& store, PageAllocator& pages,
                                        const std::vector<CatalogObject>& objects, uint32_t tdef_page,
                                        const std::string& name, double now,
                                        const std::vector<std::byte>& properties) {
  JET_ASSIGN_OR_RETURN(tables_id, TablesContainerId(objects));
  return AddObjectToCatalog(store, pages, objects,
                            NewObject{static_cast<int32_t>(tdef_page), tables_id, name, kTypeTable, ObjectKind::kTable},
                            now, properties);
}

Result<int32_t> RelationshipsContainerId(const std::vector<CatalogObject>& objects) {
  for (const auto& o : objects)
    if (o.kind == ObjectKind::kContainer && o.parent_id == kTablesContainerParent && o.name == "Relationships")
      return o.id;
  return MakeError(ErrorCode::kCorruption, "the system catalogue has no Relationships container");
}

Result<CatalogObject> AddRelationshipToCatalog(PageStore& store, PageAllocator& pages,
                                               const std::vector<CatalogObject>& objects, const std::string& name,
                                               double now) {
  JET_ASSIGN_OR_RETURN(container, RelationshipsContainerId(objects));
  // Objects without a definition page count up from 0x80000000 (containers'
  // documents, relationships), one sequence for all of them.
  uint32_t next = kEngineObjectIds;
  for (const auto& o : objects) {
    const uint32_t id = static_cast<uint32_t>(o.id);
    if (id >= kEngineObjectIds && id >= next) next = id + 1;
  }
  return AddObjectToCatalog(store, pages, objects,
                            NewObject{static_cast<int32_t>(next), container, name, kTypeRelationship,
                                      ObjectKind::kRelationship},
                            now, {});
}

Status RemoveFromCatalog(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                         const CatalogObject& table) {
  JET_TRY(DeleteRow(store, pages, kCatalogPage, table.row));
  const CatalogObject* aces_object = FindSystemTable(objects, "MSysACEs");
  if (!aces_object) return {};
  std::vector<format::RowPointer> rows;
  {
    JET_ASSIGN_OR_RETURN(aces, Table::Open(store, aces_object->tdef_page(), "MSysACEs"));
    JET_ASSIGN_OR_RETURN(object_id, RequireColumn(aces->definition(), "MSysACEs", "ObjectId"));
    auto cursor = aces->Scan();
    for (; cursor.Valid(); cursor.Next())
      if (IntegerOf(cursor.row()[object_id]) == table.id) rows.push_back(cursor.position());
    if (!cursor.status()) return cursor.status().error();
  }
  for (auto row : rows) JET_TRY(DeleteRow(store, pages, aces_object->tdef_page(), row));
  return {};
}

double LocalNowAsOleDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  format::CivilDateTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  return format::CivilToOleDate(t);
}

}  // namespace jet::table
