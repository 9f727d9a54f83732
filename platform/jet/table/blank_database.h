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
// The file is written to a temporary file in the same folder, synced, and
// then linked into place, so that the path holds either nothing or the whole
// file; an existing file is never replaced.
//
//   auto done = jet::CreateBlankDatabase("/data/new.accdb", {.format = jet::BlankFormat::kAccess2016});
//   if (!done) report(done.error().message);

#include <string>
#include <vector>

#include "platform/jet/file/new_file_encryption.h"
#include "platform/jet/result.h"
#include "platform/jet/table/blank_formats.h"

namespace jet {

struct BlankOptions {
  BlankFormat format = BlankFormat::kAccess2000;
  // .mdb: the Jet 4 database password, at most 20 characters; .accdb: the
  // password that encrypts the pages. Empty for none.
  std::string password;
  // How an .accdb with a password is encrypted (ignored for an .mdb).
  file::AccdbEncryption encryption = file::AccdbEncryption::kAgile;
  double creation_date = 0;   // OLE date; 0 = now (local time)
};

// The page images of a new database (page 0 masked, the rest encrypted as on disk).
Result<std::vector<std::vector<std::byte>>> BuildBlankDatabase(const BlankOptions& options);

// Writes a new database at `path`. Refuses an existing path (kAlreadyExists),
// a name whose extension does not fit the format (.accdb for Access 2007 and
// later, any other for Access 2000-2003; kInvalidValue), a password Jet 4
// cannot hold (kInvalidValue); a folder that cannot be written is kReadOnly.
Status CreateBlankDatabase(const std::string& path, const BlankOptions& options = {});

}  // namespace jet
