#pragma once
// Scratch databases on the test PostgreSQL server, set up with psql so that
// the set-up does not depend on the ODBC provider under test.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/source_fields.h"
#include "tests/support/environment.h"

namespace testing_support {

// Runs `sql` on `database`; returns psql's exit status (0 on success) and its output.
inline int Psql(const PgServer& pg, const std::string& database, const std::string& sql,
                std::string* output = nullptr) {
  auto file = std::filesystem::temp_directory_path() /
              ("pelmora-sql-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()) + ".sql");
  std::ofstream(file) << sql;
  std::string command = "PGPASSWORD='" + pg.password + "' psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + pg.host +
                        " -p " + pg.port + " -U " + pg.user + " -d " + database + " -f " + file.string() + " 2>&1";
  int status = RunCommand(command, output);
  std::filesystem::remove(file);
  return status;
}

// A new, empty database `name` (an older one of that name is dropped first).
inline bool FreshDatabase(const PgServer& pg, const std::string& name) {
  std::string out;
  int status = Psql(pg, pg.database,
                    "DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE);\nCREATE DATABASE \"" + name +
                        "\" ENCODING 'UTF8' TEMPLATE template0;\n",
                    &out);
  if (status != 0) std::fprintf(stderr, "%s\n", out.c_str());
  return status == 0;
}

inline db::SourceFields Fields(const PgServer& pg, const std::string& database) {
  return db::SourceFields{pg.host, pg.port, pg.user, pg.password, database};
}

}  // namespace testing_support
