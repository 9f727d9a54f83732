#include "platform/ado/connection.h"

#include <cstdio>
#include <exception>

#include "platform/ado/error.h"
#include "platform/ado/recordset.h"

namespace ado {

// A destructor has no caller to raise to: a close that fails (the last
// commit of an Access file, say) is said on stderr.
Connection::~Connection() {
  try {
    Close();
  } catch (const Error& e) {
    std::fprintf(stderr, "pelmora: %s\n", e.Description().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelmora: %s\n", e.what());
  }
}

void Connection::Open(const std::string& connection_string) {
  if (provider_) throw Error(kErrorObjectOpen, "Operation is not allowed when the object is open.");
  options_.cursor_location = CursorLocation;
  options_.command_timeout = CommandTimeout;
  options_.connection_timeout = ConnectionTimeout;
  options_.mode = Mode;
  provider_ = OpenProvider(connection_string, options_);
}

ProviderConnection& Connection::Provider() {
  if (!provider_) throw Error(kErrorObjectClosed, "Operation is not allowed when the object is closed.");
  return *provider_;
}

std::unique_ptr<Cursor> Connection::ExecuteCursor(std::string_view text) {
  return CursorLocation == adUseClient ? Provider().ExecuteHeld(text) : Provider().Execute(text);
}

std::unique_ptr<Recordset> Connection::Execute(std::string_view text) {
  auto cursor = ExecuteCursor(text);
  auto recordset = std::make_unique<Recordset>();
  recordset->Attach(std::move(cursor), CursorLocation);
  return recordset;
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema) {
  auto cursor = Provider().OpenSchema(schema);
  auto recordset = std::make_unique<Recordset>();
  // Schema rows are few; hold them so that RecordCount is known.
  recordset->Attach(std::move(cursor), 3);
  return recordset;
}

void Connection::Close() {
  if (!provider_) return;
  auto provider = std::move(provider_);
  provider->Close();
}

std::unique_ptr<Connection> CreateConnection(std::string_view prog_id) {
  if (prog_id != "ADODB.Connection")
    throw Error(kErrorCannotCreateObject, "ActiveX component can't create object");
  if (!OdbcDriverManagerAvailable()) throw Error(kErrorProviderNotFound, kProviderNotFoundText);
  return std::make_unique<Connection>();
}

std::unique_ptr<Recordset> CreateRecordset(std::string_view prog_id) {
  if (prog_id != "ADODB.RecordSet" && prog_id != "ADODB.Recordset")
    throw Error(kErrorCannotCreateObject, "ActiveX component can't create object");
  return std::make_unique<Recordset>();
}

}  // namespace ado
