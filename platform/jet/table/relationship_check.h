#pragma once
// The relationship part of the consistency check (check.h): each relationship
// in MSysRelationships against the tables it names, and each enforced one's
// rows against its referenced key.

#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/table/catalog.h"

namespace jet::table {

// One sentence per inconsistency: a table or column a relationship names is
// missing; an enforced relationship's index on either side is missing, does
// not name its partner or (referenced side) is not unique; a row of the
// foreign-key table has no related row; a relationship index belongs to no
// relationship.
std::vector<std::string> CheckRelationships(PageStore& store, const std::vector<CatalogObject>& objects);

}  // namespace jet::table
