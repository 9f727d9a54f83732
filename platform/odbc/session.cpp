#include "platform/odbc/session.h"

#include <algorithm>

#include "platform/ado/error.h"
#include "platform/odbc/diagnostics.h"

namespace odbc {

Session::Session(const DriverManager& dm, Handle environment, Handle connection)
    : dm_(dm), environment_(std::move(environment)), connection_(std::move(connection)) {
  SQLUINTEGER extensions = 0;
  if (Succeeded(dm_.GetInfo(connection_.get(), SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
    block_fetch_ = (extensions & SQL_GD_BLOCK) && (extensions & SQL_GD_BOUND);
}

Session::~Session() { Close(); }

Handle Session::NewStatement() {
  if (!connection_) throw ado::Error(ado::kErrorObjectClosed, "Operation is not allowed when the object is closed.");
  SQLHANDLE statement = nullptr;
  Check(dm_.AllocHandle(SQL_HANDLE_STMT, connection_.get(), &statement), dm_, connection_, "SQLAllocHandle");
  return Handle(&dm_, SQL_HANDLE_STMT, statement);
}

void Session::Join(SessionMember* member) { members_.push_back(member); }

void Session::Leave(SessionMember* member) { std::erase(members_, member); }

void Session::Close() {
  if (!connection_) return;
  auto members = std::move(members_);
  members_.clear();
  for (auto* member : members) member->ReleaseStatement();
  dm_.Disconnect(connection_.get());  // nothing to do about a failure here: the handle goes anyway
  connection_.Reset();
  environment_.Reset();
}

}  // namespace odbc
