#pragma once
// The "Test Connection" action of the main window (Form1.PushButton1_Click):
// opens a connection with the source fields and says whether it worked.

#include "db/source_fields.h"

namespace db {

inline constexpr const char* kConnectionSuccessful = "Connection successful.";
inline constexpr const char* kCouldNotConnect = "Could not connect. Please check with your administrator.";

// Hourglass on Form1 while connecting; "Connection successful." (the pointer
// is reset after OK), or on any failure "Could not connect. Please check with
// your administrator." and the default pointer. The driver's own text is never
// shown. Only a failure to create the connection object gets the error report.
void TestPostgreSQLConnection(const SourceFields& fields);

}  // namespace db
