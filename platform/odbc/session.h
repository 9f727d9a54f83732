#pragma once
// What one open ODBC connection and the cursors it opened share. Closing the
// connection releases every cursor's statement first (as ADO closes the record
// sets of a closed connection), so no statement outlives its connection handle.

#include <memory>
#include <vector>

#include "platform/odbc/handle.h"

namespace odbc {

// Something that holds a statement of the session and must drop it when the
// session closes.
class SessionMember {
 public:
  virtual void ReleaseStatement() = 0;

 protected:
  ~SessionMember() = default;
};

class Session {
 public:
  Session(const DriverManager& dm, Handle environment, Handle connection);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const DriverManager& Dm() const { return dm_; }
  bool IsOpen() const { return static_cast<bool>(connection_); }
  SQLHDBC Connection() const { return connection_.get(); }

  // A new statement handle; raises 3704 when the session is closed.
  Handle NewStatement();
  // Whether bound row arrays can be combined with SQLGetData for values too
  // long for their buffers (SQL_GD_BLOCK and SQL_GD_BOUND).
  bool BlockFetchWithGetData() const { return block_fetch_; }
  // Reads later statements one row at a time with SQLGetData alone, as for a
  // driver without that support; the two ways must give the same values.
  void UseRowByRowFetch() { block_fetch_ = false; }
  // Whether the driver gives texts bound as SQL_C_CHAR in UTF-8, exactly:
  // psqlODBC converts them to the locale's encoding, so this holds only in a
  // UTF-8 locale, which a probe at connecting tells (connection.cpp). Such
  // texts skip the driver's conversion to UTF-16 and ours back.
  bool NarrowTextIsUtf8() const { return narrow_utf8_; }
  void SetNarrowTextIsUtf8(bool yes) { narrow_utf8_ = yes; }

  void Join(SessionMember* member);
  void Leave(SessionMember* member);
  // Releases the members' statements, disconnects and frees the handles.
  void Close();

 private:
  const DriverManager& dm_;
  Handle environment_;
  Handle connection_;
  bool block_fetch_ = false;
  bool narrow_utf8_ = false;
  std::vector<SessionMember*> members_;
};

}  // namespace odbc
