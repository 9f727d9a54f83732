#pragma once
// Turns the diagnostic records of a failed ODBC call into one ado::Error: the
// description is the driver's message text (several records on separate lines,
// as the driver manager and driver give them, e.g. "[unixODBC][Driver Manager]...").

#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/error.h"
#include "platform/odbc/handle.h"

namespace odbc {

struct Diagnostic {
  std::string state;  // SQLSTATE, five characters
  long native = 0;
  std::string message;
};

std::vector<Diagnostic> ReadDiagnostics(const DriverManager& dm, SQLSMALLINT type, SQLHANDLE handle);

// The error for these records; `context` describes the call when they say nothing.
ado::Error ToError(const std::vector<Diagnostic>& records, std::string_view context);

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Raises the handle's diagnostics when `rc` is a failure; success with
// information passes (psqlODBC reports server notices that way).
void Check(SQLRETURN rc, const DriverManager& dm, SQLSMALLINT type, SQLHANDLE handle, std::string_view context);
inline void Check(SQLRETURN rc, const DriverManager& dm, const Handle& handle, std::string_view context) {
  Check(rc, dm, handle.type(), handle.get(), context);
}

}  // namespace odbc
