#pragma once
// Reading the data of Memo and OLE values: inline, one LVAL row, or a chain
// of LVAL rows (format/long_value.h). A chain that loops, points outside the
// file or ends before the value's length is a Corruption, never a hang.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/public/result.h"

namespace jet::table {

Result<std::vector<std::byte>> ReadLongValue(PageStore& store, format::ConstBytes field, std::string_view what);

}  // namespace jet::table
