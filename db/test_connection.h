#pragma once
// The "Test Connection" action of the main window (Form1.PushButton1_Click):
// opens a connection with the source fields and tells the window whether it
// worked. The window chooses how to show it.

#include "db/source_fields.h"

namespace db {

inline constexpr const char* kConnectionSuccessful = "Connection successful.";
inline constexpr const char* kCouldNotConnect = "Could not connect. Please check with your administrator.";

// What the check tells the window: the main window shows an hourglass while
// busy and kConnectionSuccessful or kCouldNotConnect in a message box.
class ConnectionCheckWindow {
 public:
  virtual ~ConnectionCheckWindow() = default;
  virtual void SetBusy(bool busy) = 0;
  virtual void Connected() = 0;
  virtual void NotConnected() = 0;
};

// Busy while connecting; Connected() and then idle, or on any failure
// (Connected() failing too) NotConnected() and idle. The driver's own text is
// never shown. Only a failure to create the connection object gets the error report.
void TestPostgreSQLConnection(const SourceFields& fields, ConnectionCheckWindow& window);

}  // namespace db
