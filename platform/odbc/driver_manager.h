#pragma once
// The ODBC driver manager (unixODBC's libodbc.so.2), opened with dlopen on first
// use. Only the wide (W) functions are used for text, as Windows' ODBC bridge
// does with a Unicode driver: with the narrow ones psqlODBC reports every text
// column as a narrow type.

#include <string>

#include "platform/odbc/odbc_api.h"

namespace odbc {

// The entry points we call, resolved by name from the loaded library.
struct DriverManager {
  decltype(&::SQLAllocHandle) AllocHandle = nullptr;
  decltype(&::SQLFreeHandle) FreeHandle = nullptr;
  decltype(&::SQLSetEnvAttr) SetEnvAttr = nullptr;
  decltype(&::SQLSetConnectAttrW) SetConnectAttr = nullptr;
  decltype(&::SQLDriverConnectW) DriverConnect = nullptr;
  decltype(&::SQLDisconnect) Disconnect = nullptr;
  decltype(&::SQLGetDiagRecW) GetDiagRec = nullptr;
  decltype(&::SQLGetInfoW) GetInfo = nullptr;
  decltype(&::SQLSetStmtAttrW) SetStmtAttr = nullptr;
  decltype(&::SQLExecDirectW) ExecDirect = nullptr;
  decltype(&::SQLTablesW) Tables = nullptr;
  decltype(&::SQLNumResultCols) NumResultCols = nullptr;
  decltype(&::SQLDescribeColW) DescribeCol = nullptr;
  decltype(&::SQLColAttributeW) ColAttribute = nullptr;
  decltype(&::SQLBindCol) BindCol = nullptr;
  decltype(&::SQLFetch) Fetch = nullptr;
  decltype(&::SQLGetData) GetData = nullptr;
  decltype(&::SQLSetPos) SetPos = nullptr;
  decltype(&::SQLFreeStmt) FreeStmt = nullptr;
};

// The library names tried in order. PELMORA_ODBC_LIBRARY, when set, replaces
// them (another driver manager build, or none at all in tests).
inline constexpr const char* kDriverManagerNames[] = {"libodbc.so.2", "libodbc.so"};

// The process-wide driver manager, loaded once; nullptr when it cannot be loaded,
// with the reason in `why`. The library stays loaded until the process ends,
// since drivers it loads may keep state past the last handle.
const DriverManager* LoadDriverManager(std::string* why = nullptr);

}  // namespace odbc
