#include "platform/jet/table/catalog.h"

#include "platform/jet/table/row_access.h"

#include <fmt/format.h>

#include "platform/jet/table/table.h"

namespace jet::table {

ObjectKind ClassifyObject(int16_t type, uint32_t flags) {
  uint16_t t = static_cast<uint16_t>(type);
  if (t & 0x8000) {
    switch (t & 0x7FFF) {
      case 0: return ObjectKind::kForm;
      case 2: return ObjectKind::kMacro;
      case 4: return ObjectKind::kReport;
      case 7: return ObjectKind::kModule;
      default: return ObjectKind::kOther;
    }
  }
  switch (t & 0x7F) {
    case 1:
      if (flags & kFlagEngineSystem) return ObjectKind::kSystemTable;
      if (flags & kFlagAccessSystem) return ObjectKind::kAccessTable;
      return ObjectKind::kTable;
    case 2: return ObjectKind::kDatabase;
    case 3: return ObjectKind::kContainer;
    case 4: return ObjectKind::kLinkedOdbcTable;
    case 5: return ObjectKind::kQuery;
    case 6: return ObjectKind::kLinkedTable;
    case 8: return ObjectKind::kRelationship;
    default: return ObjectKind::kOther;
  }
}

std::string_view AdoTableType(const CatalogObject& o) {
  switch (o.kind) {
    case ObjectKind::kTable: return "TABLE";
    case ObjectKind::kSystemTable: return "SYSTEM TABLE";
    case ObjectKind::kAccessTable: return "ACCESS TABLE";
    case ObjectKind::kLinkedTable: return "LINK";
    case ObjectKind::kLinkedOdbcTable: return "PASS-THROUGH";
    // Select queries (flags 0) are views; action and other queries are procedures.
    case ObjectKind::kQuery: return o.flags == 0 ? "VIEW" : "";
    default: return "";
  }
}

std::string_view ObjectTypeName(const CatalogObject& o) {
  std::string_view ado = AdoTableType(o);
  if (!ado.empty()) return ado;
  switch (o.kind) {
    case ObjectKind::kQuery: return "QUERY";
    case ObjectKind::kContainer: return "CONTAINER";
    case ObjectKind::kDatabase: return "DATABASE";
    case ObjectKind::kRelationship: return "RELATIONSHIP";
    case ObjectKind::kForm: return "FORM";
    case ObjectKind::kReport: return "REPORT";
    case ObjectKind::kMacro: return "MACRO";
    case ObjectKind::kModule: return "MODULE";
    default: return "OTHER";
  }
}

Result<std::vector<CatalogObject>> ReadCatalog(PageStore& store) {
  JET_ASSIGN_OR_RETURN(catalog, Table::Open(store, kCatalogPage, "MSysObjects"));
  int id = -1, parent = -1, name = -1, type = -1, flags = -1;
  const auto& columns = catalog->columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string& n = columns[i].name;
    if (n == "Id") id = static_cast<int>(i);
    else if (n == "ParentId") parent = static_cast<int>(i);
    else if (n == "Name") name = static_cast<int>(i);
    else if (n == "Type") type = static_cast<int>(i);
    else if (n == "Flags") flags = static_cast<int>(i);
  }
  if (id < 0 || parent < 0 || name < 0 || type < 0 || flags < 0)
    return MakeError(ErrorCode::kCorruption,
                     "the system catalogue (MSysObjects, page 2) lacks one of its columns Id, ParentId, Name, Type, Flags");
  auto integer = [](const Cell& c) -> int64_t {
    const int64_t* v = std::get_if<int64_t>(&c);
    return v ? *v : 0;
  };
  std::vector<CatalogObject> objects;
  auto cursor = catalog->Scan();
  for (; cursor.Valid(); cursor.Next()) {
    const auto& row = cursor.row();
    CatalogObject o;
    o.id = static_cast<int32_t>(integer(row[id]));
    o.parent_id = static_cast<int32_t>(integer(row[parent]));
    if (const auto* s = std::get_if<std::string>(&row[name])) o.name = *s;
    o.type = static_cast<int16_t>(integer(row[type]));
    o.flags = static_cast<uint32_t>(integer(row[flags]));
    o.row = cursor.position();
    o.kind = ClassifyObject(o.type, o.flags);
    objects.push_back(std::move(o));
  }
  if (!cursor.status()) return cursor.status().error();
  return objects;
}

Result<std::vector<std::byte>> ReadObjectProperties(PageStore& store, const CatalogObject& object) {
  JET_ASSIGN_OR_RETURN(catalog, Table::Open(store, kCatalogPage, "MSysObjects"));
  size_t column = catalog->columns().size();
  for (size_t i = 0; i < catalog->columns().size(); ++i)
    if (catalog->columns()[i].name == "LvProp") column = i;
  if (column == catalog->columns().size()) return std::vector<std::byte>{};
  JET_ASSIGN_OR_RETURN(bytes, ReadRow(store, object.row, "the catalogue row of " + object.name));
  std::vector<Cell> cells;
  JET_TRY(catalog->DecodeCells(bytes, cells, "the catalogue"));
  std::vector<std::byte> out;
  if (const auto* value = std::get_if<Bytes>(&cells[column]))
    for (uint8_t b : *value) out.push_back(static_cast<std::byte>(b));
  return out;
}

}  // namespace jet::table
