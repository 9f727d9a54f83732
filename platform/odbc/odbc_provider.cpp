// The ADO layer's entry points into the ODBC provider.

#include "platform/ado/error.h"
#include "platform/ado/provider.h"
#include "platform/odbc/connection.h"
#include "platform/odbc/driver_manager.h"

namespace ado {

bool OdbcDriverManagerAvailable(std::string* why) { return odbc::LoadDriverManager(why) != nullptr; }

std::unique_ptr<ProviderConnection> OpenOdbcProvider(const std::string& connection_string,
                                                     const ConnectionOptions& options) {
  const odbc::DriverManager* dm = odbc::LoadDriverManager();
  if (!dm) throw Error(kErrorProviderNotFound, kProviderNotFoundText);
  return std::make_unique<odbc::OdbcConnection>(*dm, connection_string, options);
}

}  // namespace ado
