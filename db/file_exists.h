#pragma once
// The path test of the catalogue: true when the modification time of the path
// can be read, so an existing folder counts as well as a file. False for an
// empty or malformed path and for a missing one. Never fails.

#include <string>

namespace db {

bool FileExists(const std::string& path);

}  // namespace db
