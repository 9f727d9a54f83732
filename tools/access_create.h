#pragma once
// `pelmora-access create FILE [--format 2000|2003|2007|2010|2016|2019] [--password P]
// [--encryption agile|rc4-cryptoapi|standard-aes|cryptoapi-aes]`: a new, empty
// database. The format defaults to 2016 for a name ending in .accdb and to
// 2000 otherwise; a format that does not fit the name is refused, and so is an
// encryption without a password or for an .mdb. Prints failures on stderr;
// returns the exit status (0 created, 1 refused or failed).

#include <string>

int RunCreateCommand(const std::string& file, const std::string& format, const std::string& password,
                     const std::string& encryption = "");
