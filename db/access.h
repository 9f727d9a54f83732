#pragma once
// The target connection string, the target table catalogue and the
// start-up check of the data-access components.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/list_box.h"
#include "db/target_fields.h"
#include "platform/ado/connection.h"

namespace db {

// The OLE DB connection string of the target file. With an empty `path`, path
// and password are the window's (Text5, Text6); otherwise both come from the
// arguments. A path whose last five characters are "accdb" in any case takes
// the ACE provider, every other path the Jet provider:
//   "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=PATH;JET OLEDB:Database Password=PW"
//   "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=PATH;JET OLEDB:Database Password=PW"
// Path and password are inserted verbatim.
std::string AccessConnectionString(const db::TargetFields& window, std::string_view path = {},
                                   std::string_view password = {});

// The names of the user tables (TABLE_TYPE "TABLE") of the target, in the
// provider's order; nothing when `path` does not exist (db::FileExists). The
// connection is opened with the window's file and password. Failures to open
// or read go to the caller's trap.
std::optional<std::vector<std::string>> GetAccessTables(const std::string& path, const db::TargetFields& window);

// Clears `list` and fills it with the target's table names; false when the
// file does not exist (the window then says kUnableToAccess). No trap of its own.
bool AddTablesToAccessListbox(db::ListBox& list, const std::string& path, const db::TargetFields& window);

inline constexpr const char* kUnableToAccess = "Unable to access the database";

// The message shown when the data-access provider is missing.
std::string EngineAdvisory();

// Whether a data-access connection object can be created. When it cannot
// because a provider is missing (error 3706, or a description naming it),
// `provider_missing` is called: the window shows the EngineAdvisory there.
// False ends the program. No failure escapes.
using ConnectionFactory = std::function<std::unique_ptr<ado::Connection>()>;
bool CheckDatabaseComponents(const std::function<void()>& provider_missing,
                             const ConnectionFactory& create_connection = {});

}  // namespace db
