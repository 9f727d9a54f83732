#pragma once
// The five PostgreSQL fields of the main window (Text1, Text9, Text3, Text7,
// Text10), as displayed: untrimmed, unquoted. Read when an operation starts.

#include <string>

namespace db {

struct SourceFields {
  std::string server;    // Text1, "localhost" when nothing is stored
  std::string port;      // Text9, "5432" when nothing is stored
  std::string user;      // Text3
  std::string password;  // Text7
  std::string database;  // Text10
  // The driver's SSLmode; empty: the key is left out, as the window leaves it.
  std::string ssl_mode;
};

}  // namespace db
