#pragma once
// Relationships between tables (docs/access-format.md §12.6), stored as Access
// stores an enforced one: a row per column pair in MSysRelationships, a
// logical index on each side (kind 2, each naming the other by number and
// definition page), the foreign-key side's B-tree (its own unless one on
// exactly its columns exists), and a catalogue row in the Relationships
// container. The referenced side shares the B-tree of a unique index.
//
// Index numbers: a relationship's logical indexes number after the table's
// other indexes and its own B-tree after theirs, as in Access's files, so
// that readers pairing logical and real indexes by number (mdbtools) still
// find every key and index.

#include <cstdint>
#include <span>
#include <string_view>
#include <string>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/tdef.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"

namespace jet::table {

class Table;

// MSysRelationships.grbit.
inline constexpr uint32_t kRelationshipNotEnforced = 0x2;
inline constexpr uint32_t kRelationshipCascadeUpdates = 0x100;
inline constexpr uint32_t kRelationshipCascadeDeletes = 0x1000;
inline constexpr uint32_t kRelationshipSetNullOnDelete = 0x2000;

// Access's message for a row whose foreign key has no related row (error 3201).
std::string RelatedRecordRequiredMessage(std::string_view referenced_table);

struct Relationship {
  std::string name;
  std::string table;             // szObject: the table holding the foreign key
  std::string referenced_table;  // szReferencedObject
  std::vector<std::string> columns;             // szColumn, in icolumn order
  std::vector<std::string> referenced_columns;  // szReferencedColumn
  uint32_t flags = 0;                           // grbit
};

// Every relationship in MSysRelationships, in the order of their first rows.
Result<std::vector<Relationship>> ReadRelationships(PageStore& store, const std::vector<CatalogObject>& objects);

struct NewRelationship {
  // Names as the tables spell them; the pairs in the order of the
  // referenced index's columns.
  Relationship relationship;
  uint32_t tdef = 0;             // the foreign-key table
  uint32_t referenced_tdef = 0;  // may be the same table
  uint32_t referenced_real = 0;  // the unique real index of the referenced table it uses
};

// Writes the relationship. Refuses, with Access's message, when rows of the
// foreign-key table have no related row. Callers check names, column types
// and the referenced index first.
Status AddRelationship(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                       const NewRelationship& relationship, double now);

// Removes what AddRelationship wrote (also for a relationship Access made):
// the rows, both logical indexes (the foreign-key side's B-tree too when no
// other index uses it), the catalogue rows. The other relationship indexes
// of both tables are renumbered, and their partners with them.
Status RemoveRelationship(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                          const Relationship& relationship);

// A foreign key's values keyed as the referenced index keys its own: per
// column of `referenced_index`, the referenced column's key and where the
// paired column of `columns` (numbers in `table`) stands in `table`'s rows.
struct ReferenceKey {
  std::vector<format::KeyColumn> key;
  std::vector<size_t> positions;
};
Result<ReferenceKey> ReferenceKeyOf(PageStore& store, const format::TableDefinition& table,
                                    std::span<const uint16_t> columns, const format::TableDefinition& referenced,
                                    const format::RealIndex& referenced_index, std::string_view what);

// The rows of `table` whose key in `columns` (column numbers, in the order
// of `referenced_index`'s columns) has no entry in `referenced_index` of
// `referenced`; rows with a NULL in the key count as related. At most
// `limit` are counted.
Result<uint64_t> CountUnrelatedRows(PageStore& store, const Table& table, const std::vector<uint16_t>& columns,
                                    const Table& referenced, const format::RealIndex& referenced_index,
                                    uint64_t limit = UINT64_MAX);

}  // namespace jet::table
