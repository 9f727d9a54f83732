#include "platform/access_provider/connection_string.h"

#include <strings.h>

namespace access_provider {
namespace {

size_t FindNoCase(std::string_view text, std::string_view key, size_t from = 0) {
  if (key.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + key.size() <= text.size(); ++i)
    if (strncasecmp(text.data() + i, key.data(), key.size()) == 0) return i;
  return std::string_view::npos;
}

}  // namespace

AccessConnection ParseAccessConnectionString(std::string_view cs) {
  constexpr std::string_view kSource = "Data Source=";
  constexpr std::string_view kPassword = ";JET OLEDB:Database Password=";
  AccessConnection out;
  size_t source = FindNoCase(cs, kSource);
  size_t password = FindNoCase(cs, kPassword, source == std::string_view::npos ? 0 : source);
  if (password != std::string_view::npos) out.password = std::string(cs.substr(password + kPassword.size()));
  if (source != std::string_view::npos) {
    size_t start = source + kSource.size();
    size_t end = password;
    if (end == std::string_view::npos) {
      end = cs.find(';', start);
      if (end == std::string_view::npos) end = cs.size();
    }
    out.path = std::string(cs.substr(start, end - start));
  }
  return out;
}

}  // namespace access_provider
