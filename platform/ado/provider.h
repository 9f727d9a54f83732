#pragma once
// What a provider (ODBC, the Access file engine) offers the ADO-shaped layer.
// Connection and Recordset are thin shells over these interfaces; a provider
// raises ado::Error for every failure.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/data_type.h"
#include "platform/ado/value.h"

namespace ado {

struct ColumnInfo {
  std::string name;
  int16_t type = 0;  // DataTypeEnum
};

// The settings a Connection carries into its provider at Open.
struct ConnectionOptions {
  int cursor_location = adUseServer;
  long command_timeout = 30;     // seconds, ADO's default
  long connection_timeout = 15;  // seconds, ADO's default
  int mode = adModeUnknown;
};

// A forward-only stream of rows.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<ColumnInfo>& Columns() const = 0;
  // Reads the next row into `row` (one Value per column). Returns false at the end.
  virtual bool Fetch(std::vector<Value>& row) = 0;
};

class ProviderConnection {
 public:
  virtual ~ProviderConnection() = default;
  // Executes one statement text. A query returns its rows; any other statement
  // returns nullptr once it has taken effect.
  virtual std::unique_ptr<Cursor> Execute(std::string_view text) = 0;
  // The same for a result the caller holds whole (the client-side cursor): a
  // provider that streams rows from the server may read this one at once.
  virtual std::unique_ptr<Cursor> ExecuteHeld(std::string_view text) { return Execute(text); }
  // The tables schema (20) has the text columns TABLE_NAME and TABLE_TYPE.
  virtual std::unique_ptr<Cursor> OpenSchema(int schema) = 0;
  virtual void Close() = 0;
  // Called while the program waits between statements: a provider that groups
  // its writes may commit them now. Raises when that fails.
  virtual void Idle() {}
};

// Opens the provider that the connection string names: "Driver=" goes to ODBC,
// "Provider=Microsoft.Jet.OLEDB.4.0" / "Microsoft.ACE.OLEDB.12.0" to the Access
// file engine. Raises 3706 for a provider we do not have.
std::unique_ptr<ProviderConnection> OpenProvider(const std::string& connection_string,
                                                 const ConnectionOptions& options);

// Whether the ODBC driver manager can be loaded (it is loaded at run time).
bool OdbcDriverManagerAvailable(std::string* why = nullptr);

// The providers plug in here; each lives in a library of its own above this one.
// Implemented by the Access provider (platform/access_provider).
std::unique_ptr<ProviderConnection> OpenAccessProvider(const std::string& connection_string,
                                                       const ConnectionOptions& options);

// Implemented by the ODBC provider (platform/odbc).
std::unique_ptr<ProviderConnection> OpenOdbcProvider(const std::string& connection_string,
                                                     const ConnectionOptions& options);

}  // namespace ado
