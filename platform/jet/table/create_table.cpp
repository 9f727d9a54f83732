#include "platform/jet/table/create_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/properties.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/format/ascii_case.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/table.h"
#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {

Result<std::vector<format::RowPointer>> WriteEmptyMaps(PageStore& store, PageAllocator& pages, size_t count,
                                                      uint32_t start) {
  std::array<std::byte, format::kInlineMapRowSize> row{};
  format::InitInlineMap(row, start);
  std::vector<format::RowPointer> out;
  uint32_t holder = 0;
  while (out.size() < count) {
    if (holder != 0) {
      JET_ASSIGN_OR_RETURN(image, store.Write(holder));
      uint16_t index = 0;
      if (format::AppendRow(image, row, &index)) {
        out.push_back(format::RowPointer{holder, static_cast<uint8_t>(index)});
        continue;
      }
    }
    JET_ASSIGN_OR_RETURN(page, pages.Allocate());
    JET_ASSIGN_OR_RETURN(image, store.Write(page));
    format::InitDataPage(image, 0);  // owner 0: a page of usage maps
    holder = page;
  }
  return out;
}

Status StoreDefinition(PageStore& store, PageAllocator& pages, std::vector<uint32_t> definition_pages,
                       format::ConstBytes buffer) {
  const size_t needed = format::DefinitionPageCount(buffer.size());
  while (definition_pages.size() < needed) {
    JET_ASSIGN_OR_RETURN(more, pages.Allocate());
    definition_pages.push_back(more);
  }
  for (size_t i = needed; i < definition_pages.size(); ++i) JET_TRY(pages.Release(definition_pages[i]));
  definition_pages.resize(needed);
  auto images = format::PaginateDefinition(buffer, definition_pages);
  for (size_t i = 0; i < images.size(); ++i) {
    JET_ASSIGN_OR_RETURN(image, store.Write(definition_pages[i]));
    std::memcpy(image.data(), images[i].data(), image.size());
  }
  return {};
}

Status StartIndexTree(PageStore& store, PageAllocator& pages, uint32_t tdef_page, format::RowPointer map,
                      format::RealIndex* index) {
  JET_ASSIGN_OR_RETURN(root, pages.Allocate());
  JET_TRY(IndexTree::InitializeRoot(store, root, tdef_page));
  index->root_page = root;
  index->usage_map = map;
  return SetMapPage(store, pages, map, root, true);
}

Status SpliceDefinition(PageStore& store, PageAllocator& pages, uint32_t tdef_page,
                        const std::function<Result<std::vector<std::byte>>(format::ConstBytes)>& splice) {
  std::vector<uint32_t> definition_pages;
  JET_ASSIGN_OR_RETURN(buffer, ReadDefinitionBuffer(store, tdef_page, &definition_pages));
  JET_ASSIGN_OR_RETURN(spliced, splice(buffer));
  return StoreDefinition(store, pages, std::move(definition_pages), spliced);
}

Status ReleaseIndexTree(PageStore& store, PageAllocator& pages, uint32_t tdef_page, const format::RealIndex& index) {
  IndexTree tree(store, index.root_page, tdef_page);
  JET_ASSIGN_OR_RETURN(tree_pages, tree.Pages());
  for (uint32_t p : tree_pages) {
    JET_TRY(SetMapPage(store, pages, index.usage_map, p, false));
    JET_TRY(pages.Release(p));
  }
  return {};
}

void LayOutIndexes(std::span<const NewIndex> indexes, std::vector<format::RealIndex>* real,
                   std::vector<format::LogicalIndex>* logical) {
  for (size_t n = 0; n < indexes.size(); ++n) {
    const NewIndex& index = indexes[n];
    format::RealIndex made;
    made.columns = index.columns;
    made.flags = index.flags | format::kIndexAccessMade;
    real->push_back(std::move(made));
    logical->push_back(format::LogicalIndex{static_cast<uint32_t>(n), static_cast<uint32_t>(n),
                                            index.primary ? format::kLogicalIndexPrimaryKey
                                                          : format::kLogicalIndexPlain,
                                            index.name});
  }
  std::stable_sort(logical->begin(), logical->end(), [](const auto& a, const auto& b) {
    return format::AsciiLower(a.name) < format::AsciiLower(b.name);
  });
}

Result<CatalogObject> CreateTable(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                                  const NewTable& table) {
  JET_ASSIGN_OR_RETURN(columns, format::LayOutColumns(table.columns, table.collation));
  format::NewTableDefinition def;
  def.columns = std::move(columns);
  std::vector<uint16_t> long_columns = format::LongValueColumns(def.columns);
  for (uint16_t c : long_columns) def.column_maps.push_back(format::ColumnMaps{c, {}, {}});
  LayOutIndexes(table.indexes, &def.real_indexes, &def.logical_indexes);
  // Pointers and roots do not change the length: measure the definition first.
  const size_t length = format::EncodeTableDefinition(def).size();
  std::vector<uint32_t> definition_pages;
  for (size_t i = 0; i < format::DefinitionPageCount(length); ++i) {
    JET_ASSIGN_OR_RETURN(page, pages.Allocate());
    definition_pages.push_back(page);
  }
  uint32_t tdef_page = definition_pages.front();

  // The table's pages are expected from its definition page on: the maps' window starts there.
  const size_t index_maps_at = 2 + 2 * long_columns.size();
  JET_ASSIGN_OR_RETURN(maps, WriteEmptyMaps(store, pages, index_maps_at + def.real_indexes.size(), tdef_page / 8 * 8));
  def.owned_pages = maps[0];
  def.free_pages = maps[1];
  for (size_t i = 0; i < long_columns.size(); ++i) {
    def.column_maps[i].owned = maps[2 + 2 * i];
    def.column_maps[i].free = maps[3 + 2 * i];
  }
  for (size_t r = 0; r < def.real_indexes.size(); ++r)
    JET_TRY(StartIndexTree(store, pages, tdef_page, maps[index_maps_at + r], &def.real_indexes[r]));
  JET_TRY(StoreDefinition(store, pages, definition_pages, format::EncodeTableDefinition(def)));
  // Defaults and NOT NULL (Required), as Access records them: in the table's
  // properties. Text and Memo columns take empty texts (the engine never
  // refused them); AllowZeroLength = Yes says so to Access, whose forms
  // otherwise refuse what the column already holds.
  std::vector<format::ColumnProperties> properties;
  for (const auto& c : table.columns) {
    const bool text = c.type == ColumnType::kText || c.type == ColumnType::kMemo;
    properties.push_back({c.name, c.default_value, c.not_null, text});
  }
  return AddTableToCatalog(store, pages, objects, tdef_page, table.name, table.now,
                           format::BuildColumnProperties(properties));
}

}  // namespace jet::table
