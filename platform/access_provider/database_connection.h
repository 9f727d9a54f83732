#pragma once
// The Access provider over a database that is open already: for a caller that
// opened it with options a connection string cannot carry (an Env of its own,
// other commit limits). The connection owns the database from then on.
//
//   auto db = jet::Database::Open(path, {.writable = true, .env = &env});
//   connection.AttachProvider(access_provider::ConnectionOver(std::move(*db)));

#include <memory>

#include "platform/ado/provider.h"
#include "platform/jet/public/database.h"

namespace access_provider {

std::unique_ptr<ado::ProviderConnection> ConnectionOver(std::unique_ptr<jet::Database> db);

}  // namespace access_provider
