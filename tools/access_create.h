#pragma once
// `pelmora-access create FILE [--format 2000|2003] [--password P]`: a new,
// empty Jet 4 database. Prints failures on stderr; returns the exit status
// (0 created, 1 refused or failed).

#include <string>

int RunCreateCommand(const std::string& file, const std::string& format, const std::string& password);
