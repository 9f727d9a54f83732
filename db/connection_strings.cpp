#include "db/connection_strings.h"

namespace db {

std::string OdbcValue(std::string_view value) {
  if (value.find(';') == std::string_view::npos && (value.empty() || value.front() != '{'))
    return std::string(value);
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  out += '}';
  return out;
}

}  // namespace db
