#pragma once
// The source connection as a libpq program (psql, pg_dump) would take it:
// options first, then the environment, then the window's own defaults.
//
//   field      option       environment                       default
//   server     --server     PGHOST                            "localhost"
//   port       --port       PGPORT                            "5432"
//   user       --user       PGUSER                            (required)
//   database   --database   PGDATABASE                        (required)
//   password   (none)       PELMORA_PG_PASSWORD, PGPASSWORD   empty: libpq then looks
//                                                              in PGPASSFILE or ~/.pgpass
//   SSL mode   (none)       PGSSLMODE                         psqlODBC's own
//
// psqlODBC hands libpq an sslmode of its own, so PGSSLMODE has to become the
// driver's SSLmode key to count at all.

#include <functional>
#include <optional>
#include <string>

#include "db/source_fields.h"

namespace convert {

// What the command line gave; nullopt for an option left out.
struct SourceOptions {
  std::optional<std::string> server, port, user, database;
};

using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
// getenv; a variable set to the empty string counts as unset, as libpq counts it.
std::optional<std::string> ProcessEnv(const char* name);

struct ResolvedSource {
  db::SourceFields fields;
  std::string problem;  // empty when the fields are usable; else what is missing or wrong
};

ResolvedSource ResolveSource(const SourceOptions& options, const EnvLookup& env = ProcessEnv);

}  // namespace convert
