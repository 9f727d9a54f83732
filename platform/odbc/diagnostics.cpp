#include "platform/odbc/diagnostics.h"

#include <string_view>

#include "platform/odbc/wide_text.h"

namespace odbc {
namespace {

bool IsTimeout(const std::string& state) {
  // HYT00/HYT01: the driver's own time-outs; 57014: PostgreSQL cancelled the
  // statement, which is how psqlODBC enforces the query time-out.
  return state == "HYT00" || state == "HYT01" || state == "57014";
}

// The kind of failure a SQLSTATE names (time-outs aside); the first record
// that names one decides.
ado::ErrorKind KindOfState(const std::string& state) {
  const std::string_view kind = std::string_view(state).substr(0, 2);
  if (kind == "28") return ado::ErrorKind::kLoginRefused;  // invalid authorization
  if (kind == "08") return ado::ErrorKind::kIo;            // the connection failed or broke
  if (state == "IM002" || state == "IM003") return ado::ErrorKind::kProviderMissing;  // no such driver
  // Cardinality, data, constraint, syntax and access-rule violations: the
  // statement was refused, the connection goes on.
  if (kind == "21" || kind == "22" || kind == "23" || kind == "42") return ado::ErrorKind::kStatementRefused;
  return ado::ErrorKind::kOther;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
    text.pop_back();
  return text;
}

}  // namespace

std::vector<Diagnostic> ReadDiagnostics(const DriverManager& dm, SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  if (!handle) return records;
  std::vector<SQLWCHAR> message(1024);
  for (SQLSMALLINT number = 1; number < 100; ++number) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = dm.GetDiagRec(type, handle, number, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<size_t>(length) + 1);  // the text was cut: read it again whole
      rc = dm.GetDiagRec(type, handle, number, state, &native, message.data(),
                         static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!Succeeded(rc)) break;
    size_t used = std::min(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    records.push_back({FromWide(state, 5), static_cast<long>(native), Trimmed(FromWide(message.data(), used))});
  }
  return records;
}

ado::Error ToError(const std::vector<Diagnostic>& records, std::string_view context) {
  std::string description;
  long number = ado::kErrorProvider;
  ado::ErrorKind kind = ado::ErrorKind::kOther;
  for (const auto& record : records) {
    if (IsTimeout(record.state)) {
      number = ado::kErrorTimeout;
      kind = ado::ErrorKind::kTimeout;
    } else if (kind == ado::ErrorKind::kOther) {
      kind = KindOfState(record.state);
    }
    if (record.message.empty() || description.find(record.message) != std::string::npos) continue;
    if (!description.empty()) description += '\n';
    description += record.message;
  }
  if (description.empty()) description = std::string(context) + " failed";
  return ado::Error(number, std::move(description), kind);
}

void Check(SQLRETURN rc, const DriverManager& dm, SQLSMALLINT type, SQLHANDLE handle, std::string_view context) {
  if (Succeeded(rc) || rc == SQL_NO_DATA) return;
  if (rc == SQL_INVALID_HANDLE) throw ado::Error(ado::kErrorProvider, std::string(context) + ": invalid handle");
  throw ToError(ReadDiagnostics(dm, type, handle), context);
}

}  // namespace odbc
