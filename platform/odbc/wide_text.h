#pragma once
// UTF-8 <-> UTF-16 for the wide ODBC functions (SQLWCHAR is 16-bit in unixODBC).
// Malformed input in either direction becomes U+FFFD rather than failing: a
// damaged byte in one value must not stop a read.

#include <string>
#include <string_view>

#include "platform/odbc/odbc_api.h"

namespace odbc {

using WideString = std::basic_string<SQLWCHAR>;

WideString ToWide(std::string_view utf8);
std::string FromWide(const SQLWCHAR* text, size_t length);
// Appends instead of returning, so that a caller can reuse one buffer.
void AppendFromWide(const SQLWCHAR* text, size_t length, std::string& out);

}  // namespace odbc
