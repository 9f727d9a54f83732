#pragma once
// A new, empty Jet 4 database (.mdb) in the layout the Jet engine gives one
// (docs/access-format.md §12.4):
//
//   0      header (masked; optional database password)
//   1      global usage map
//   2-5    definitions of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   6..16  each table's usage-map holder page followed by its index roots
//   17     MSysObjects rows: the Tables/Databases/Relationships containers,
//          MSysDb and the four system tables
//   18     MSysACEs rows: the engine's access-control entries
//   19     MSysDb's properties (AccessVersion: "08.50" Access 2000,
//          "09.50" Access 2002-2003 — the only difference between the two)
//
// The file is written to a temporary file in the same folder, synced, and
// then linked into place, so that the path holds either nothing or the whole
// file; an existing file is never replaced.
//
//   auto done = jet::CreateBlankDatabase("/data/new.mdb", {.format = jet::BlankFormat::kAccess2003});
//   if (!done) report(done.error().message);

#include <string>
#include <vector>

#include "platform/jet/result.h"

namespace jet {

enum class BlankFormat { kAccess2000, kAccess2003 };

struct BlankOptions {
  BlankFormat format = BlankFormat::kAccess2000;
  std::string password;       // Jet 4 database password, at most 20 characters; empty for none
  double creation_date = 0;   // OLE date; 0 = now (local time)
};

// The page images of a new database (page 0 masked as on disk).
Result<std::vector<std::vector<std::byte>>> BuildBlankDatabase(const BlankOptions& options);

// Writes a new database at `path`. Refuses an existing path (kAlreadyExists),
// a name ending in .accdb (kNotSupported), a password Jet 4 cannot hold
// (kInvalidValue); a folder that cannot be written is kReadOnly.
Status CreateBlankDatabase(const std::string& path, const BlankOptions& options = {});

}  // namespace jet
