#pragma once
// A new, empty database in the layout its engine gives one: Jet 4 (.mdb,
// docs/access-format.md §12.4) or ACE (.accdb, Access 2007 to 2019,
// docs/new-accdb-files.md):
//
//   0      header (masked; the Jet 4 database password)
//   1      global usage map
//   2-5    definitions of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   6..16  each of those tables' usage-map holder page and index roots
//   17     MSysObjects rows: the Tables/Databases/Relationships containers,
//          MSysDb and the system tables
//   .accdb: 18..40  MSysComplexColumns and the nine MSysComplexType_* tables,
//          each its definition, map holder and index roots
//   next   MSysACEs rows: the engine's access-control entries
//   last   MSysDb's properties (AccessVersion: "08.50" Access 2000, "09.50"
//          Access 2002-2003 and every .accdb)
//
// An .accdb with a password has every page but the header encrypted (Agile
// unless the options choose an older scheme).
// CreateBlankDatabase (public/create.h) writes these pages to a new file.

#include <cstddef>
#include <vector>

#include "platform/jet/public/create.h"
#include "platform/jet/public/result.h"

namespace jet {

// The page images of a new database (page 0 masked, the rest encrypted as on disk).
Result<std::vector<std::vector<std::byte>>> BuildBlankDatabase(const BlankOptions& options);

}  // namespace jet
