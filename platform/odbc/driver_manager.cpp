#include "platform/odbc/driver_manager.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace odbc {
namespace {

struct LoadResult {
  DriverManager functions;
  bool ok = false;
  std::string why;
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& slot, std::string& why) {
  slot = reinterpret_cast<Function>(dlsym(library, name));
  if (!slot) why = std::string("the ODBC driver manager lacks ") + name;
  return slot != nullptr;
}

LoadResult Load() {
  LoadResult result;
  std::vector<std::string> names;
  if (const char* chosen = std::getenv("PELMORA_ODBC_LIBRARY"); chosen && *chosen)
    names.push_back(chosen);
  else
    names.assign(std::begin(kDriverManagerNames), std::end(kDriverManagerNames));

  void* library = nullptr;
  for (const auto& name : names) {
    library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library) break;
    const char* error = dlerror();
    result.why = error ? error : ("cannot load " + name);
  }
  if (!library) return result;

  DriverManager& f = result.functions;
  std::string& why = result.why;
  result.ok = Resolve(library, "SQLAllocHandle", f.AllocHandle, why) &&
              Resolve(library, "SQLFreeHandle", f.FreeHandle, why) &&
              Resolve(library, "SQLSetEnvAttr", f.SetEnvAttr, why) &&
              Resolve(library, "SQLSetConnectAttrW", f.SetConnectAttr, why) &&
              Resolve(library, "SQLDriverConnectW", f.DriverConnect, why) &&
              Resolve(library, "SQLDisconnect", f.Disconnect, why) &&
              Resolve(library, "SQLGetDiagRecW", f.GetDiagRec, why) &&
              Resolve(library, "SQLGetInfoW", f.GetInfo, why) &&
              Resolve(library, "SQLSetStmtAttrW", f.SetStmtAttr, why) &&
              Resolve(library, "SQLExecDirectW", f.ExecDirect, why) &&
              Resolve(library, "SQLTablesW", f.Tables, why) &&
              Resolve(library, "SQLNumResultCols", f.NumResultCols, why) &&
              Resolve(library, "SQLDescribeColW", f.DescribeCol, why) &&
              Resolve(library, "SQLColAttributeW", f.ColAttribute, why) &&
              Resolve(library, "SQLBindCol", f.BindCol, why) &&
              Resolve(library, "SQLFetch", f.Fetch, why) &&
              Resolve(library, "SQLGetData", f.GetData, why) &&
              Resolve(library, "SQLSetPos", f.SetPos, why) &&
              Resolve(library, "SQLFreeStmt", f.FreeStmt, why);
  if (result.ok) result.why.clear();
  // A library without every entry point is left loaded: unloading a driver
  // manager is not safe once anything may have touched it.
  return result;
}

}  // namespace

const DriverManager* LoadDriverManager(std::string* why) {
  static LoadResult loaded;
  static std::once_flag once;
  std::call_once(once, [] { loaded = Load(); });
  if (why) *why = loaded.why;
  return loaded.ok ? &loaded.functions : nullptr;
}

}  // namespace odbc
