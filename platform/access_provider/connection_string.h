#pragma once
// The Access provider's reading of its connection string.

#include <string>
#include <string_view>

namespace access_provider {

// The path and password of "...;Data Source=PATH;JET OLEDB:Database Password=PW".
// Both are inserted verbatim by the program, so the password is everything
// after its key and the path everything between "Data Source=" and the
// password key: either may contain ";".
struct AccessConnection {
  std::string path;
  std::string password;
};

AccessConnection ParseAccessConnectionString(std::string_view connection_string);

}  // namespace access_provider
