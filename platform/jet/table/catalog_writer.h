#pragma once
// Registering and unregistering tables and relationships in the system catalogue
// (docs/access-format.md §10.3, §10.4, §12.3): the MSysObjects row of a table and the
// MSysACEs rows Access keeps for it. Rows go through InsertRow / DeleteRow,
// which also keep both MSysObjects indexes (ParentIdName, Id), MSysACEs'
// ObjectId index, their unique-entry counts and the row counts right.
//
// A new table's row: Id = its TDEF page, ParentId = the Tables container,
// Type 1, Flags 0, Owner = MSysDb's owner, DateCreate = DateUpdate = now.
// Its access-control entries, as Access makes them: one per inheritable
// entry of the Tables container (same SID and rights, not inheritable), the
// container's "creator" entry (a SID that no object other than a container
// has) going to the owner instead; a file without such entries gets one
// full-rights entry per container SID, or one for the owner.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/public/result.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"

namespace jet::table {

inline constexpr int32_t kTablesContainerParent = 0x0F000000;
inline constexpr uint32_t kFullAccessRights = 1048575;  // 0xFFFFF

// Refuses (kNotSupported, with a description) a file whose catalogue indexes
// sort text in an order whose keys this engine cannot encode.
Status CheckCatalogWritable(PageStore& store);

// The Id of the Tables container (0x0F000001 in every file Access made).
Result<int32_t> TablesContainerId(const std::vector<CatalogObject>& objects);

// Whether a catalogue row under `parent_id` already has a name whose index key
// equals `name`'s (Access' uniqueness: case, trailing spaces and the like ignored).
Result<bool> CatalogNameTaken(PageStore& store, int32_t parent_id, std::string_view name);

// Adds the catalogue row and access-control rows of a new table whose
// definition starts on `tdef_page`; `now` is the local time as an OLE date;
// `properties` its property list (LvProp), empty for none.
Result<CatalogObject> AddTableToCatalog(PageStore& store, PageAllocator& pages,
                                        const std::vector<CatalogObject>& objects, uint32_t tdef_page,
                                        const std::string& name, double now,
                                        const std::vector<std::byte>& properties = {});

// The Id of the Relationships container (0x0F000003 in every file Access made).
Result<int32_t> RelationshipsContainerId(const std::vector<CatalogObject>& objects);

// Adds the catalogue row of a relationship as Access makes it: Type 8 in the
// Relationships container, Flags 0, no properties, Id the next of the
// 0x80000000 sequence that objects without a definition page share; and
// access-control rows by the rule above, from the Relationships container's.
Result<CatalogObject> AddRelationshipToCatalog(PageStore& store, PageAllocator& pages,
                                               const std::vector<CatalogObject>& objects, const std::string& name,
                                               double now);

// Deletes the catalogue row of `object` (a table, a relationship) and every
// access-control row of its Id.
Status RemoveFromCatalog(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                         const CatalogObject& object);

// The local time now as an OLE date (days since 1899-12-30).
double LocalNowAsOleDate();

}  // namespace jet::table
