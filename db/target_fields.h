#pragma once
// The Access target fields of the main window, as displayed: the file path
// (Text5) and the database password (Text6).

#include <string>

namespace db {

struct TargetFields {
  std::string path;      // Text5
  std::string password;  // Text6
};

}  // namespace db
