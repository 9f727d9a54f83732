#include "platform/ado/error.h"
#include "platform/ado/provider.h"

namespace ado {

std::unique_ptr<ProviderConnection> OpenJetProvider(const std::string&, const ConnectionOptions&) {
  throw Error(kErrorProviderNotFound, kProviderNotFoundText);
}

}  // namespace ado
