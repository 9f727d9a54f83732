#pragma once
// A throwaway database on the test PostgreSQL server for one test program:
// named after the process (tests run as parallel processes), in the UTC time
// zone so that timestamptz values read the same everywhere, dropped at the end.
// Header-only: the test programs compile only *_test.cpp files.

#include <fmt/format.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "tests/support/environment.h"

namespace testing_support {

class OdbcTestDatabase {
 public:
  explicit OdbcTestDatabase(const PgServer& server)
      : server_(server), name_(fmt::format("pelmora_odbc_{}", getpid())) {
    auto admin = ado::CreateConnection();
    admin->Open(server_.ConnectionString());
    admin->Execute(fmt::format("DROP DATABASE IF EXISTS {} WITH (FORCE)", name_));
    admin->Execute(fmt::format("CREATE DATABASE {} ENCODING 'UTF8' TEMPLATE template0", name_));
    admin->Execute(fmt::format("ALTER DATABASE {} SET timezone TO 'UTC'", name_));
  }

  ~OdbcTestDatabase() {
    try {
      auto admin = ado::CreateConnection();
      admin->Open(server_.ConnectionString());
      admin->Execute(fmt::format("DROP DATABASE IF EXISTS {} WITH (FORCE)", name_));
    } catch (...) {
      // Left behind: a later run with the same process id drops it first.
    }
  }

  const PgServer& Server() const { return server_; }
  std::string ConnectionString() const { return server_.ConnectionString(name_); }

  std::unique_ptr<ado::Connection> Connect(int cursor_location) const {
    auto connection = ado::CreateConnection();
    connection->CursorLocation = cursor_location;
    connection->Open(ConnectionString());
    return connection;
  }

  // Runs statements that return no rows, in order.
  void Run(const std::vector<std::string>& statements) const {
    auto connection = Connect(3);
    for (const auto& statement : statements) connection->Execute(statement);
  }

 private:
  PgServer server_;
  std::string name_;
};

}  // namespace testing_support
