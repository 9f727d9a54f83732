#pragma once
// Statement failures: kind kStatementRefused, set here where the failure is
// made; every message starts with "SQLException: ", the text the SQL Preview
// shows and copies (callers decide by the kind, never by the text).

#include <string>
#include <utility>

#include <fmt/format.h>

#include "platform/jet/public/result.h"
#include "platform/jet/public/statement.h"

namespace jet::sql {

using jet::kSqlExceptionPrefix;  // public/statement.h

template <typename... Args>
Error SqlError(ErrorCode code, fmt::format_string<Args...> format, Args&&... args) {
  std::string message(kSqlExceptionPrefix);
  fmt::format_to(std::back_inserter(message), format, std::forward<Args>(args)...);
  return Error{code, std::move(message), ErrorKind::kStatementRefused};
}

// A value shown inside a message: quoted, and cut after 40 characters so a
// megabyte memo does not become a megabyte message.
std::string Shown(std::string_view value);

}  // namespace jet::sql
