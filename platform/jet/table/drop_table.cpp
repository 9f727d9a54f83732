#include "platform/jet/table/drop_table.h"

#include <fmt/format.h>

#include <map>
#include <set>

#include "platform/jet/format/ascii_case.h"
#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/relationships.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

using format::EqualNoCase;

Status RefuseIfRelated(PageStore& store, const std::vector<CatalogObject>& objects, const CatalogObject& table) {
  JET_ASSIGN_OR_RETURN(relationships, ReadRelationships(store, objects));
  for (const auto& r : relationships)
    if (EqualNoCase(r.table, table.name) || EqualNoCase(r.referenced_table, table.name))
      return MakeError(ErrorCode::kNotSupported,
                       fmt::format("The table '{}' cannot be deleted: it takes part in one or more "
                                   "relationships. Delete its relationships first (ALTER TABLE ... DROP CONSTRAINT).",
                                   table.name));
  return {};
}

// The pages of a table, sorted by what a page of each kind must look like.
class PageCollector {
 public:
  PageCollector(PageStore& store, uint32_t tdef_page) : store_(store), tdef_page_(tdef_page) {}

  // The pages a usage map lists, each kept when `belongs` accepts its image;
  // the map's row and the bitmap pages of a reference map are noted too.
  Status AddMap(format::RowPointer map, std::string_view what, bool (*belongs)(format::ConstBytes, uint32_t)) {
    if (map.IsNull()) return {};
    JET_ASSIGN_OR_RETURN(listed, ReadUsageMap(store_, map, what));
    for (uint32_t p : listed) {
      if (p < kFirstTablePage || p >= store_.PageCount()) continue;
      JET_ASSIGN_OR_RETURN(image, store_.Read(p));
      if (belongs(image, tdef_page_)) release_.insert(p);
    }
    JET_ASSIGN_OR_RETURN(row, ReadRow(store_, map, what));
    if (!row.empty() && format::U8(row, 0) == format::kUsageMapReference)
      for (const auto& ref : format::ReferenceMapPages(row)) {
        if (ref.page < kFirstTablePage || ref.page >= store_.PageCount()) continue;
        JET_ASSIGN_OR_RETURN(image, store_.Read(ref.page));
        if (format::PageType(image) == format::kPageTypeUsageBitmap) release_.insert(ref.page);
      }
    map_rows_[map.page].insert(map.row);
    return {};
  }

  void AddPage(uint32_t page) { release_.insert(page); }

  // Holder pages with only this table's maps are released; on shared ones the
  // table's map rows are deleted.
  Status SettleHolders() {
    for (const auto& [page, rows] : map_rows_) {
      JET_ASSIGN_OR_RETURN(image, store_.Read(page));
      if (format::PageType(image) != format::kPageTypeData || format::DataPageOwner(image) != 0) continue;
      uint16_t count = format::DataPageRowCount(image);
      size_t live = 0, ours = 0;
      for (uint16_t r = 0; r < count; ++r) {
        JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(image, page, r));
        if (!slot.live()) continue;
        ++live;
        if (rows.count(static_cast<uint8_t>(r))) ++ours;
      }
      if (live == ours) {
        release_.insert(page);
        continue;
      }
      JET_ASSIGN_OR_RETURN(writable, store_.Write(page));
      for (uint8_t r : rows) format::MarkRowDeleted(writable, r);
    }
    return {};
  }

  const std::set<uint32_t>& pages() const { return release_; }

 private:
  static constexpr uint32_t kFirstTablePage = 3;  // 0 header, 1 global map, 2 MSysObjects

  PageStore& store_;
  uint32_t tdef_page_;
  std::set<uint32_t> release_;
  std::map<uint32_t, std::set<uint8_t>> map_rows_;
};

bool IsDataPageOf(format::ConstBytes page, uint32_t tdef) {
  return format::PageType(page) == format::kPageTypeData && format::DataPageOwner(page) == tdef;
}
bool IsLongValuePage(format::ConstBytes page, uint32_t) {
  return format::PageType(page) == format::kPageTypeData && format::DataPageOwner(page) == format::kLongValueOwner;
}
bool IsIndexPageOf(format::ConstBytes page, uint32_t tdef) {
  uint8_t type = format::PageType(page);
  return (type == format::kPageTypeIndexLeaf || type == format::kPageTypeIndexNode) && format::U32(page, 4) == tdef;
}

}  // namespace

Status DropTable(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                 const CatalogObject& table) {
  uint32_t tdef = table.tdef_page();
  JET_ASSIGN_OR_RETURN(opened, Table::Open(store, tdef, table.name));
  const auto& def = opened->definition();
  for (const auto& c : def.columns)
    if (c.type() == ColumnType::kComplex)
      return MakeError(ErrorCode::kNotSupported,
                       fmt::format("The table '{}' has attachment or multi-value columns ({}); delete it in Access.",
                                   table.name, c.name));
  JET_TRY(RefuseIfRelated(store, objects, table));

  PageCollector collect(store, tdef);
  std::string label = fmt::format("table {}", table.name);
  JET_TRY(collect.AddMap(def.owned_pages, label + ": owned-pages map", IsDataPageOf));
  JET_TRY(collect.AddMap(def.free_pages, label + ": free-space map", IsDataPageOf));
  for (const auto& m : def.column_maps) {
    JET_TRY(collect.AddMap(m.owned, label + ": long-value map", IsLongValuePage));
    JET_TRY(collect.AddMap(m.free, label + ": long-value map", IsLongValuePage));
  }
  for (const auto& index : def.real_indexes) {
    JET_TRY(collect.AddMap(index.usage_map, label + ": index usage map", IsIndexPageOf));
    if (index.root_page >= 3 && index.root_page < store.PageCount()) {
      JET_ASSIGN_OR_RETURN(root, store.Read(index.root_page));
      if (IsIndexPageOf(root, tdef)) collect.AddPage(index.root_page);
    }
  }
  for (uint32_t p : opened->definition_pages()) collect.AddPage(p);

  JET_TRY(RemoveFromCatalog(store, pages, objects, table));
  JET_TRY(collect.SettleHolders());
  for (uint32_t p : collect.pages()) JET_TRY(pages.Release(p));
  return {};
}

}  // namespace jet::table
