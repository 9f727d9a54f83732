#pragma once
// What a result column becomes: its ADO type code, chosen as Microsoft's OLE DB
// provider for ODBC chooses it from the ODBC SQL type and the unsigned flag, and
// the form in which its values are fetched and kept.

#include <cstdint>
#include <string_view>

#include "platform/odbc/odbc_api.h"

namespace odbc {

// How values are fetched (the C type asked of the driver) and turned into ado::Value.
enum class ValueForm {
  kText,      // SQL_C_WCHAR, kept as text
  kDecimal,   // SQL_C_WCHAR, ado::Decimal with the server's digits (NaN stays text)
  kDate,      // SQL_C_WCHAR, parsed; the driver's text is kept when it is no date
  kTime,      // SQL_C_WCHAR, parsed likewise
  kDateTime,  // SQL_C_WCHAR, parsed likewise
  kMoney,     // SQL_C_WCHAR, "$1,234.50" parsed into a double; other forms stay text
  kSigned,    // SQL_C_SBIGINT
  kUnsigned,  // SQL_C_UBIGINT
  kDouble,    // SQL_C_DOUBLE
  kBoolean,   // SQL_C_BIT
  kGuid,      // SQL_C_GUID, text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as ADO gives it
  kBinary,    // SQL_C_BINARY
};

struct ColumnPlan {
  int16_t ado_type = 0;
  ValueForm form = ValueForm::kText;
};

// The ADO DataTypeEnum code for an ODBC SQL type; unknown types are adVarWChar.
int16_t AdoTypeFor(SQLSMALLINT sql_type, bool is_unsigned);

// `type_name` is the driver's name for the column type (SQL_DESC_TYPE_NAME):
// psqlODBC reports PostgreSQL's money as SQL_FLOAT, but its values arrive as
// formatted text ("$1,234.50") that must be parsed by us.
ColumnPlan PlanColumn(SQLSMALLINT sql_type, bool is_unsigned, std::string_view type_name);

// The C type the driver is asked for values of this form.
SQLSMALLINT CTypeFor(ValueForm form);

}  // namespace odbc
