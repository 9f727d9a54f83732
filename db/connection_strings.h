#pragma once
// The source and target connection strings, built from the main window's fields.

#include <string>
#include <string_view>

namespace db {

// An ODBC attribute value as it goes into a connection string: unchanged, unless
// it contains ";" or begins with "{", when it is wrapped in braces with "}"
// doubled, so that no value can add further keys.
std::string OdbcValue(std::string_view value);

}  // namespace db
