#include "tools/convert/libpq_defaults.h"

#include <fmt/format.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace convert {
namespace {

// libpq's sslmode values; anything else it refuses only once connecting.
constexpr std::array<std::string_view, 6> kSslModes = {"disable", "allow",     "prefer",
                                                       "require", "verify-ca", "verify-full"};

std::string First(const std::optional<std::string>& option, const std::optional<std::string>& variable,
                  std::string fallback) {
  if (option) return *option;
  if (variable) return *variable;
  return fallback;
}

}  // namespace

std::optional<std::string> ProcessEnv(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

ResolvedSource ResolveSource(const SourceOptions& options, const EnvLookup& env) {
  ResolvedSource out;
  db::SourceFields& f = out.fields;
  f.server = First(options.server, env("PGHOST"), "localhost");
  f.port = First(options.port, env("PGPORT"), "5432");
  f.user = First(options.user, env("PGUSER"), "");
  f.database = First(options.database, env("PGDATABASE"), "");
  f.password = First(env("PELMORA_PG_PASSWORD"), env("PGPASSWORD"), "");
  if (auto mode = env("PGSSLMODE")) {
    bool known = false;
    for (std::string_view m : kSslModes) known = known || *mode == m;
    if (!known)
      out.problem = fmt::format("PGSSLMODE \"{}\" is none of disable, allow, prefer, require, verify-ca, verify-full",
                                *mode);
    f.ssl_mode = *mode;
  }
  if (f.user.empty() && out.problem.empty()) out.problem = "no PostgreSQL user: give --user or set PGUSER";
  if (f.database.empty() && out.problem.empty())
    out.problem = "no PostgreSQL database: give --database or set PGDATABASE";
  return out;
}

}  // namespace convert
