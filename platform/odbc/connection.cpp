#include "platform/odbc/connection.h"

#include <atomic>
#include <cstdint>
#include <string_view>

#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/read_ahead_cursor.h"
#include "platform/odbc/diagnostics.h"
#include "platform/odbc/statement.h"
#include "platform/odbc/wide_text.h"

namespace odbc {
namespace {

SQLPOINTER IntegerAttribute(long value) {
  return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value < 0 ? 0 : value));
}

bool IsPsqlOdbc(const DriverManager& dm, SQLHDBC connection) {
  SQLWCHAR name[128] = {};
  SQLSMALLINT bytes = 0;
  if (!Succeeded(dm.GetInfo(connection, SQL_DRIVER_NAME, name, sizeof name, &bytes))) return false;
  std::string text = FromWide(name, std::min<size_t>(std::max<SQLSMALLINT>(bytes, 0) / sizeof(SQLWCHAR), 127));
  return text.rfind("psqlodbc", 0) == 0;  // psqlodbcw.so, psqlodbca.so
}

// Rows read ahead of the caller belong to the connection too: once it is
// closed, the next row fails as the statement's own would, however many rows
// were already waiting.
class ReadAheadOfSession final : public ado::Cursor, public SessionMember {
 public:
  ReadAheadOfSession(std::shared_ptr<Session> session, std::unique_ptr<ado::Cursor> source)
      : session_(std::move(session)), rows_(std::move(source)) {
    session_->Join(this);
  }
  ~ReadAheadOfSession() override { session_->Leave(this); }

  const std::vector<ado::ColumnInfo>& Columns() const override { return rows_.Columns(); }
  bool Fetch(std::vector<ado::Value>& row) override {
    if (closed_) throw ado::Error(ado::kErrorObjectClosed, "Operation is not allowed when the object is closed.");
    return rows_.Fetch(row);
  }
  void ReleaseStatement() override { closed_ = true; }

 private:
  std::shared_ptr<Session> session_;
  ado::ReadAheadCursor rows_;
  std::atomic<bool> closed_ = false;
};

// Whether a text with letters beyond ASCII, an emoji and a line break comes
// back bound as SQL_C_CHAR byte for byte as its UTF-8.
bool NarrowTextArrivesAsUtf8(const DriverManager& dm, Session& session) {
  static constexpr char kUtf8[] = "\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80\r\n x";
  Handle statement;
  try {
    statement = session.NewStatement();
  } catch (const ado::Error&) {
    return false;
  }
  WideString query = ToWide("SELECT E'\\u00C4\\u20AC\\U0001F600\\r\\n x'::text");
  if (!Succeeded(dm.ExecDirect(statement.get(), query.data(), static_cast<SQLINTEGER>(query.size())))) return false;
  char text[64] = {};
  SQLLEN length = 0;
  if (!Succeeded(dm.BindCol(statement.get(), 1, SQL_C_CHAR, text, sizeof text, &length)) ||
      !Succeeded(dm.Fetch(statement.get())))
    return false;
  return length == static_cast<SQLLEN>(sizeof kUtf8 - 1) && std::string_view(text, sizeof kUtf8 - 1) == kUtf8;
}

}  // namespace

OdbcConnection::OdbcConnection(const DriverManager& dm, const std::string& connection_string,
                               const ado::ConnectionOptions& options)
    : options_(options) {
  SQLHANDLE raw = nullptr;
  SQLRETURN rc = dm.AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw);
  if (!Succeeded(rc)) throw ado::Error(ado::kErrorProviderNotFound, ado::kProviderNotFoundText);
  Handle environment(&dm, SQL_HANDLE_ENV, raw);
  Check(dm.SetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), dm,
        environment, "SQLSetEnvAttr");

  raw = nullptr;
  Check(dm.AllocHandle(SQL_HANDLE_DBC, environment.get(), &raw), dm, environment, "SQLAllocHandle");
  Handle connection(&dm, SQL_HANDLE_DBC, raw);
  Check(dm.SetConnectAttr(connection.get(), SQL_ATTR_LOGIN_TIMEOUT, IntegerAttribute(options.connection_timeout), 0),
        dm, connection, "SQLSetConnectAttrW");
  if (options.mode == ado::adModeRead)
    dm.SetConnectAttr(connection.get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);

  WideString text = ToWide(connection_string);
  if (text.size() > 32767) throw ado::Error(ado::kErrorProvider, "The connection string is too long.");
  Check(dm.DriverConnect(connection.get(), nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                         nullptr, SQL_DRIVER_NOPROMPT),
        dm, connection, "SQLDriverConnectW");
  session_ = std::make_shared<Session>(dm, std::move(environment), std::move(connection));

  const bool psqlodbc = IsPsqlOdbc(dm, session_->Connection());
  // Before declare/fetch is on: the probe is then one plain round trip.
  if (psqlodbc) session_->SetNarrowTextIsUtf8(NarrowTextArrivesAsUtf8(dm, *session_));
  if (options.cursor_location == ado::adUseServer && psqlodbc) {
    // Attributes of psqlODBC only: another driver could read these numbers otherwise.
    SQLHDBC dbc = session_->Connection();
    streaming_ = Succeeded(dm.SetConnectAttr(dbc, kPgOptUseDeclareFetch, reinterpret_cast<SQLPOINTER>(1), 0)) &&
                 Succeeded(dm.SetConnectAttr(dbc, kPgOptFetch, reinterpret_cast<SQLPOINTER>(kDeclareFetchRows), 0));
  }
}

OdbcConnection::~OdbcConnection() { Close(); }

Handle OdbcConnection::NewStatement() {
  if (!session_) throw ado::Error(ado::kErrorObjectClosed, "Operation is not allowed when the object is closed.");
  Handle statement = session_->NewStatement();
  const DriverManager& dm = session_->Dm();
  Check(dm.SetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT, IntegerAttribute(options_.command_timeout), 0), dm,
        statement, "SQLSetStmtAttrW");
  return statement;
}

std::unique_ptr<ado::Cursor> OdbcConnection::Execute(std::string_view text) {
  Handle statement = NewStatement();
  const DriverManager& dm = session_->Dm();
  WideString wide = ToWide(text);
  SQLRETURN rc = dm.ExecDirect(statement.get(), wide.data(), static_cast<SQLINTEGER>(wide.size()));
  if (rc == SQL_NO_DATA) return nullptr;  // e.g. an UPDATE that matched no row
  Check(rc, dm, statement, "SQLExecDirectW");
  SQLSMALLINT columns = 0;
  Check(dm.NumResultCols(statement.get(), &columns), dm, statement, "SQLNumResultCols");
  if (columns == 0) return nullptr;  // not a query: it has taken effect
  auto cursor = std::make_unique<StatementCursor>(session_, std::move(statement));
  // Rows fetched in blocks are read ahead on a second thread, so that the
  // caller's own work on a row overlaps the driver's on the next ones.
  if (cursor->RowsetSize() > 1) return std::make_unique<ReadAheadOfSession>(session_, std::move(cursor));
  return cursor;
}

std::unique_ptr<ado::Cursor> OdbcConnection::ExecuteHeld(std::string_view text) {
  if (!streaming_ || !session_) return Execute(text);
  const DriverManager& dm = session_->Dm();
  SQLHDBC dbc = session_->Connection();
  // psqlODBC reads the mode when a statement executes, so it can be left for one.
  if (!Succeeded(dm.SetConnectAttr(dbc, kPgOptUseDeclareFetch, reinterpret_cast<SQLPOINTER>(0), 0)))
    return Execute(text);
  struct Restore {
    const DriverManager& dm;
    SQLHDBC dbc;
    ~Restore() { dm.SetConnectAttr(dbc, kPgOptUseDeclareFetch, reinterpret_cast<SQLPOINTER>(1), 0); }
  } restore{dm, dbc};
  return Execute(text);
}

std::unique_ptr<ado::Cursor> OdbcConnection::OpenSchema(int schema) {
  if (schema != ado::adSchemaTables)
    throw ado::Error(3251, "Object or provider is not capable of performing requested operation.");
  Handle statement = NewStatement();
  const DriverManager& dm = session_->Dm();
  Check(dm.Tables(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), dm, statement, "SQLTablesW");
  // SQLTables' first five columns, under the names of OLE DB's TABLES rowset.
  std::vector<std::string> names = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "DESCRIPTION"};
  return std::make_unique<StatementCursor>(session_, std::move(statement), std::move(names));
}

void OdbcConnection::Close() {
  if (!session_) return;
  auto session = std::move(session_);
  session->Close();
}

}  // namespace odbc
