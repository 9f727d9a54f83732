#pragma once
// The unixODBC headers, included for their types and constants only: the
// driver manager itself is loaded at run time (driver_manager.h), so the
// program starts, and reports a missing provider, on a machine without it.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

static_assert(sizeof(SQLWCHAR) == 2, "unixODBC's SQLWCHAR is UTF-16");
static_assert(sizeof(SQLGUID) == 16, "SQLGUID is the 16-byte GUID structure");
