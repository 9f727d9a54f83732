#pragma once
// The system catalogue, MSysObjects (TDEF page 2; docs/access-format.md §10):
// one row per object with its Id, ParentId, Name, Type and Flags.
//
//   Type & 0x7F: 1 table, 2 database, 3 container, 4 linked ODBC table, 5 query,
//   6 linked Access table, 8 relationship; Access forms, reports, macros and
//   modules have 0x8000 set. Flags 0x80000000 = engine system object,
//   0x00000002 = Access system object, 0x00000008 = hidden.
//   A table's Id is its TDEF page number.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::table {

inline constexpr uint32_t kCatalogPage = 2;
inline constexpr uint32_t kFlagEngineSystem = 0x80000000u;
inline constexpr uint32_t kFlagAccessSystem = 0x00000002u;
inline constexpr uint32_t kFlagHidden = 0x00000008u;

enum class ObjectKind {
  kTable,            // a local table a user made
  kSystemTable,      // the engine's own (MSysObjects, MSysACEs, ...)
  kAccessTable,      // Access' own (MSysNavPane*, MSysAccessStorage, ...)
  kLinkedTable,      // linked Jet/ACE or ISAM table
  kLinkedOdbcTable,  // linked through ODBC
  kQuery,
  kContainer,
  kDatabase,
  kRelationship,
  kForm,
  kReport,
  kMacro,
  kModule,
  kOther,
};

struct CatalogObject {
  int32_t id = 0;
  int32_t parent_id = 0;
  std::string name;
  int16_t type = 0;
  uint32_t flags = 0;
  format::RowPointer row;  // where the catalogue row lies
  ObjectKind kind = ObjectKind::kOther;

  uint32_t tdef_page() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
  bool IsUserTable() const { return kind == ObjectKind::kTable; }
};

// How readers and ADO see a catalogue row.
ObjectKind ClassifyObject(int16_t type, uint32_t flags);

// ADO's TABLE_TYPE for the tables schema ("TABLE", "SYSTEM TABLE", "ACCESS
// TABLE", "LINK", "PASS-THROUGH", "VIEW"), or "" for objects it does not list.
std::string_view AdoTableType(const CatalogObject& object);
// A type word for every object (ADO's where it has one): "QUERY", "FORM", ...
std::string_view ObjectTypeName(const CatalogObject& object);

// Every catalogue row in stored order (data page, then row).
Result<std::vector<CatalogObject>> ReadCatalog(PageStore& store);

// The property list (LvProp) of a catalogue row; empty when it has none.
Result<std::vector<std::byte>> ReadObjectProperties(PageStore& store, const CatalogObject& object);

}  // namespace jet::table
