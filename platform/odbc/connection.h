#pragma once
// One ODBC connection behind an ADO Connection: the connection string goes to
// SQLDriverConnectW unchanged, with ADO's time-outs (login: ConnectionTimeout,
// each statement: CommandTimeout; 0 means no limit). With the server-side cursor
// psqlODBC's declare/fetch mode is switched on after connecting, so that rows
// stream instead of the whole result being read before the first row.

#include <memory>
#include <string>

#include "platform/ado/provider.h"
#include "platform/odbc/session.h"

namespace odbc {

// psqlODBC's own connection attributes (its pgapifunc.h; no installed header has them).
inline constexpr SQLINTEGER kPgOptUseDeclareFetch = 65539;
inline constexpr SQLINTEGER kPgOptFetch = 65541;
// Rows psqlODBC holds per FETCH in declare/fetch mode: enough that round trips
// cost little even to a remote server (1000 per 5 million rows), few enough
// that a table of wide rows (kilobytes each) stays within some megabytes.
inline constexpr SQLULEN kDeclareFetchRows = 5000;

class OdbcConnection final : public ado::ProviderConnection {
 public:
  // Connects; raises ado::Error with the driver's messages on failure.
  OdbcConnection(const DriverManager& dm, const std::string& connection_string, const ado::ConnectionOptions& options);
  ~OdbcConnection() override;

  std::unique_ptr<ado::Cursor> Execute(std::string_view text) override;
  // Without declare/fetch: the server may then plan the query in parallel,
  // which it never does for a cursor.
  std::unique_ptr<ado::Cursor> ExecuteHeld(std::string_view text) override;
  std::unique_ptr<ado::Cursor> OpenSchema(int schema) override;
  void Close() override;

  // Whether psqlODBC's declare/fetch mode was switched on; for tests.
  bool Streaming() const { return streaming_; }
  // See Session::UseRowByRowFetch.
  void UseRowByRowFetch() { if (session_) session_->UseRowByRowFetch(); }
  // See Session::NarrowTextIsUtf8; for tests, which also turn it off.
  bool NarrowTextIsUtf8() const { return session_ && session_->NarrowTextIsUtf8(); }
  void UseWideTexts() { if (session_) session_->SetNarrowTextIsUtf8(false); }

 private:
  Handle NewStatement();

  std::shared_ptr<Session> session_;
  ado::ConnectionOptions options_;
  bool streaming_ = false;
};

}  // namespace odbc
