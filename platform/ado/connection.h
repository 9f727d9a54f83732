#pragma once
// ADODB.Connection: set the properties, Open with a connection string, Execute
// statements, OpenSchema(20), Close. Destroying an open connection closes it.

#include <memory>
#include <string>
#include <string_view>

#include "platform/ado/data_type.h"
#include "platform/ado/provider.h"

namespace ado {

class Recordset;

class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Properties, set before Open.
  int CursorLocation = adUseServer;
  long CommandTimeout = 30;     // seconds
  long ConnectionTimeout = 15;  // seconds
  int Mode = adModeUnknown;

  void Open(const std::string& connection_string);
  // A query gives an open record set; other statements give a closed one.
  std::unique_ptr<Recordset> Execute(std::string_view text);
  std::unique_ptr<Recordset> OpenSchema(int schema);
  void Close();
  // Lets the provider commit grouped writes while the program waits.
  void Idle() {
    if (provider_) provider_->Idle();
  }
  bool IsOpen() const { return provider_ != nullptr; }
  // Test hook: takes a provider that is already open, as Open would leave it
  // (tests stand a scripted provider in for a real target).
  void AttachProvider(std::unique_ptr<ProviderConnection> provider) { provider_ = std::move(provider); }

  // For Recordset::Open; raises 3704 when the connection is closed.
  ProviderConnection& Provider();
  // The provider's rows of `text`, read as CursorLocation now says (ADO reads
  // it at each statement, not only at Open).
  std::unique_ptr<Cursor> ExecuteCursor(std::string_view text);
  const ConnectionOptions& Options() const { return options_; }

 private:
  std::unique_ptr<ProviderConnection> provider_;
  ConnectionOptions options_;
};

// Creates an object by its programmatic name, as CreateObject does.
// "ADODB.Connection" fails with 3706 when the ODBC driver manager cannot be loaded.
std::unique_ptr<Connection> CreateConnection(std::string_view prog_id = "ADODB.Connection");
std::unique_ptr<Recordset> CreateRecordset(std::string_view prog_id = "ADODB.RecordSet");

}  // namespace ado
