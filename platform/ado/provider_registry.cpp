#include <strings.h>

#include <string_view>

#include "platform/ado/error.h"
#include "platform/ado/provider.h"

namespace ado {
namespace {

// The value of the first key `key` (without regard to case) in a connection string.
std::string KeyValue(std::string_view cs, std::string_view key) {
  size_t pos = 0;
  while (pos < cs.size()) {
    size_t end = cs.find(';', pos);
    if (end == std::string_view::npos) end = cs.size();
    std::string_view part = cs.substr(pos, end - pos);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos) {
      std::string_view k = part.substr(0, eq);
      while (!k.empty() && k.front() == ' ') k.remove_prefix(1);
      while (!k.empty() && k.back() == ' ') k.remove_suffix(1);
      if (k.size() == key.size() && strncasecmp(k.data(), key.data(), k.size()) == 0)
        return std::string(part.substr(eq + 1));
    }
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
    return OpenJetProvider(connection_string, options);
  throw Error(kErrorProviderNotFound, kProviderNotFoundText);
}

}  // namespace ado
