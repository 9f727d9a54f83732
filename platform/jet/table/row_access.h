#pragma once
// Reaching one row by its row pointer, and the usage maps that are such rows.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::table {

// The bytes of the live row at `at` (valid as a PageStore span is). `what`
// names the row in messages ("the owned-pages map of table X").
Result<format::ConstBytes> ReadRow(PageStore& store, format::RowPointer at, std::string_view what);

// The pages a usage map lists, ascending. Bitmap pages of reference maps are
// checked; pages beyond the file are kept (reading them fails clearly).
Result<std::vector<uint32_t>> ReadUsageMap(PageStore& store, format::RowPointer map, std::string_view what);

}  // namespace jet::table
