#include "platform/odbc/column_types.h"

#include <strings.h>

#include "platform/ado/data_type.h"

namespace odbc {

int16_t AdoTypeFor(SQLSMALLINT sql_type, bool is_unsigned) {
  switch (sql_type) {
    case SQL_CHAR: return ado::adChar;
    case SQL_VARCHAR: return ado::adVarChar;
    case SQL_LONGVARCHAR: return ado::adLongVarChar;
    case SQL_WCHAR: return ado::adWChar;
    case SQL_WVARCHAR: return ado::adVarWChar;
    case SQL_WLONGVARCHAR: return ado::adLongVarWChar;
    case SQL_TINYINT: return is_unsigned ? ado::adUnsignedTinyInt : ado::adTinyInt;
    case SQL_SMALLINT: return is_unsigned ? ado::adUnsignedSmallInt : ado::adSmallInt;
    case SQL_INTEGER: return is_unsigned ? ado::adUnsignedInt : ado::adInteger;
    case SQL_BIGINT: return is_unsigned ? ado::adUnsignedBigInt : ado::adBigInt;
    case SQL_NUMERIC:
    case SQL_DECIMAL: return ado::adNumeric;
    case SQL_REAL: return ado::adSingle;
    case SQL_FLOAT:
    case SQL_DOUBLE: return ado::adDouble;
    case SQL_BIT: return ado::adBoolean;
    case SQL_DATE:  // the ODBC 2 codes, from older drivers
    case SQL_TYPE_DATE: return ado::adDBDate;
    case SQL_TIME:
    case SQL_TYPE_TIME: return ado::adDBTime;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: return ado::adDBTimeStamp;
    case SQL_BINARY: return ado::adBinary;
    case SQL_VARBINARY: return ado::adVarBinary;
    case SQL_LONGVARBINARY: return ado::adLongVarBinary;
    case SQL_GUID: return ado::adGUID;
    default: return ado::adVarWChar;  // intervals and driver-specific types: their text
  }
}

ColumnPlan PlanColumn(SQLSMALLINT sql_type, bool is_unsigned, std::string_view type_name) {
  ColumnPlan plan{AdoTypeFor(sql_type, is_unsigned), ValueForm::kText};
  switch (sql_type) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: plan.form = is_unsigned ? ValueForm::kUnsigned : ValueForm::kSigned; break;
    case SQL_NUMERIC:
    case SQL_DECIMAL: plan.form = ValueForm::kDecimal; break;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      plan.form = type_name.size() == 5 && strncasecmp(type_name.data(), "money", 5) == 0 ? ValueForm::kMoney
                                                                                          : ValueForm::kDouble;
      break;
    case SQL_BIT: plan.form = ValueForm::kBoolean; break;
    case SQL_DATE:
    case SQL_TYPE_DATE: plan.form = ValueForm::kDate; break;
    case SQL_TIME:
    case SQL_TYPE_TIME: plan.form = ValueForm::kTime; break;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: plan.form = ValueForm::kDateTime; break;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: plan.form = ValueForm::kBinary; break;
    case SQL_GUID: plan.form = ValueForm::kGuid; break;
    default: plan.form = ValueForm::kText; break;
  }
  return plan;
}

SQLSMALLINT CTypeFor(ValueForm form) {
  switch (form) {
    case ValueForm::kSigned: return SQL_C_SBIGINT;
    case ValueForm::kUnsigned: return SQL_C_UBIGINT;
    case ValueForm::kDouble: return SQL_C_DOUBLE;
    case ValueForm::kBoolean: return SQL_C_BIT;
    case ValueForm::kGuid: return SQL_C_GUID;
    case ValueForm::kBinary: return SQL_C_BINARY;
    default: return SQL_C_WCHAR;
  }
}

}  // namespace odbc
