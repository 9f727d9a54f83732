#include <strings.h>

#include <string_view>

#include "platform/ado/error.h"
#include "platform/ado/provider.h"

namespace ado {
namespace {

// The value of the first key `key` (without regard to case) in a connection string.
// A value in braces runs to its closing brace ("}}" stands for "}"), so that a
// password such as {a;Provider=x} cannot pose as another key.
std::string KeyValue(std::string_view cs, std::string_view key) {
  size_t pos = 0;
  while (pos < cs.size()) {
    size_t eq = cs.find('=', pos);
    size_t semicolon = cs.find(';', pos);
    if (eq == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < eq)) {
      if (semicolon == std::string_view::npos) break;
      pos = semicolon + 1;  // a part without "=": skipped
      continue;
    }
    std::string_view k = cs.substr(pos, eq - pos);
    while (!k.empty() && k.front() == ' ') k.remove_prefix(1);
    while (!k.empty() && k.back() == ' ') k.remove_suffix(1);
    size_t start = eq + 1;
    while (start < cs.size() && cs[start] == ' ') ++start;
    std::string value;
    size_t end;
    if (start < cs.size() && cs[start] == '{') {
      end = start + 1;
      while (end < cs.size()) {
        if (cs[end] == '}') {
          if (end + 1 < cs.size() && cs[end + 1] == '}') {
            value.push_back('}');
            end += 2;
            continue;
          }
          ++end;
          break;
        }
        value.push_back(cs[end++]);
      }
      end = cs.find(';', end);
    } else {
      end = cs.find(';', eq + 1);
      value = std::string(cs.substr(eq + 1, (end == std::string_view::npos ? cs.size() : end) - (eq + 1)));
    }
    if (k.size() == key.size() && strncasecmp(k.data(), key.data(), k.size()) == 0) return value;
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return {};
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::unique_ptr<ProviderConnection> OpenProvider(const std::string& connection_string,
                                                 const ConnectionOptions& options) {
  std::string provider = KeyValue(connection_string, "Provider");
  while (!provider.empty() && provider.back() == ' ') provider.pop_back();
  if (provider.empty() || EqualsNoCase(provider, "MSDASQL") || EqualsNoCase(provider, "MSDASQL.1"))
    return OpenOdbcProvider(connection_string, options);
  if (EqualsNoCase(provider, "Microsoft.Jet.OLEDB.4.0") || EqualsNoCase(provider, "Microsoft.ACE.OLEDB.12.0") ||
      EqualsNoCase(provider, "Microsoft.ACE.OLEDB.16.0"))
    return OpenAccessProvider(connection_string, options);
  throw Error(kErrorProviderNotFound, kProviderNotFoundText);
}

}  // namespace ado
