#include "platform/ado/error.h"
#include "platform/ado/provider.h"

namespace ado {

bool OdbcDriverManagerAvailable(std::string*) { return true; }

std::unique_ptr<ProviderConnection> OpenOdbcProvider(const std::string&, const ConnectionOptions&) {
  throw Error(kErrorProviderNotFound, kProviderNotFoundText);
}

}  // namespace ado
