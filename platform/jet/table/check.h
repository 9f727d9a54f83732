#pragma once
// A consistency check that reads every page it can reach from the catalogue:
// table definitions, their usage maps, data pages, rows and long values, index
// roots, and the global usage map. It reports what contradicts the format or
// itself; it never changes anything.

#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/catalog.h"

namespace jet::table {

// The inconsistencies found, one sentence each (empty: the file is consistent).
// Fails only when the pages cannot be read at all.
Result<std::vector<std::string>> CheckDatabase(PageStore& store, const std::vector<CatalogObject>& objects);

}  // namespace jet::table
