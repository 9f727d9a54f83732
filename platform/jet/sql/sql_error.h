#pragma once
// Statement failures: every message starts with "SQLException: ", which the
// SQL Preview's executor looks for to stop at the first failed statement.

#include <string>
#include <utility>

#include <fmt/format.h>

#include "platform/jet/result.h"

namespace jet::sql {

inline constexpr std::string_view kSqlExceptionPrefix = "SQLException: ";

template <typename... Args>
Error SqlError(ErrorCode code, fmt::format_string<Args...> format, Args&&... args) {
  std::string message(kSqlExceptionPrefix);
  fmt::format_to(std::back_inserter(message), format, std::forward<Args>(args)...);
  return MakeError(code, std::move(message));
}

// A value shown inside a message: quoted, and cut after 40 characters so a
// megabyte memo does not become a megabyte message.
std::string Shown(std::string_view value);

}  // namespace jet::sql
