#pragma once
// The four tables the Jet engine puts into every new Jet 4 database
// (docs/access-format.md §10, §12.4): MSysObjects, MSysACEs, MSysQueries and
// MSysRelationships, with their columns and indexes as the engine defines
// them. Columns are listed by number; the writer stores the descriptors
// sorted by name, as the engine does.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/format/tdef.h"

namespace jet::table {

struct SystemIndex {
  std::string name;                              // the logical index
  std::vector<uint16_t> columns;                 // ascending
  uint8_t flags = 0;                             // real index flags (0x80 always set)
  uint8_t kind = 0;                              // 1 primary key
};

struct SystemTable {
  std::string name;
  std::vector<format::ColumnDef> columns;        // by column number
  std::vector<SystemIndex> indexes;              // real index i = logical index i
  uint8_t table_type = format::kTableTypeSystem; // the ACE engine's complex-value tables say 'N'
};

// MSysObjects, MSysACEs, MSysQueries, MSysRelationships, in the order of
// their definition pages (2, 3, 4, 5). Text columns get `collation`.
std::vector<SystemTable> Jet4SystemTables(uint16_t collation, uint8_t sort_version);

// The tables the ACE engine puts into a new .accdb (as Access 2007 to 2019
// files hold them): the four of Jet 4, MSysComplexColumns and the nine
// MSysComplexType_* templates of multi-value and attachment columns.
std::vector<SystemTable> AceSystemTables(uint16_t collation, uint8_t sort_version);

// Column numbers used when filling the catalogue.
namespace msys_objects {
inline constexpr uint16_t kId = 0, kParentId = 1, kName = 2, kType = 3, kDateCreate = 4, kDateUpdate = 5,
                          kOwner = 6, kFlags = 7, kLvProp = 14, kColumnCount = 17;
}
namespace msys_aces {
inline constexpr uint16_t kObjectId = 0, kSid = 1, kAcm = 2, kInheritable = 3, kColumnCount = 4;
}

}  // namespace jet::table
