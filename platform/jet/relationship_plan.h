#pragma once
// A relationship a statement declares (REFERENCES, FOREIGN KEY), checked as
// Access checks it and resolved into what the file stores: the referenced
// table's unique index it uses, the column pairs in that index's order, its
// name and its MSysRelationships flags.

#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/public/result.h"
#include "platform/jet/sql/ast.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/relationships.h"

namespace jet {

// `table` holds the foreign key, `referenced` the key it names (the same
// object for a table that references itself); `objects` the catalogue,
// `existing` every relationship of the database. Refusals carry Access's own
// messages where Access has one.
Result<table::NewRelationship> PlanRelationship(PageStore& store, const std::vector<table::CatalogObject>& objects,
                                                const std::vector<table::Relationship>& existing,
                                                const table::CatalogObject& table,
                                                const table::CatalogObject& referenced,
                                                const sql::ForeignKeySpec& spec);

}  // namespace jet
