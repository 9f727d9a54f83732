#include "platform/jet/table/create_table.h"

#include <fmt/format.h>

#include <array>
#include <cstring>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/properties.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/catalog_writer.h"

namespace jet::table {
namespace {

// Writes `count` empty inline map rows (pages from `start` on) onto holder
// pages allocated as they fill; their row pointers, in order.
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

}  // namespace

Result<CatalogObject> CreateTable(PageStore& store, PageAllocator& pages, const std::vector<CatalogObject>& objects,
                                  const NewTable& table) {
  JET_ASSIGN_OR_RETURN(columns, format::LayOutColumns(table.columns, table.collation));
  size_t length = format::DefinitionLength(columns);
  std::vector<uint32_t> definition_pages;
  for (size_t i = 0; i < format::DefinitionPageCount(length); ++i) {
    JET_ASSIGN_OR_RETURN(page, pages.Allocate());
    definition_pages.push_back(page);
  }
  uint32_t tdef_page = definition_pages.front();

  // The table's pages are expected from its definition page on: the maps' window starts there.
  std::vector<uint16_t> long_columns = format::LongValueColumns(columns);
  JET_ASSIGN_OR_RETURN(maps, WriteEmptyMaps(store, pages, 2 + 2 * long_columns.size(), tdef_page / 8 * 8));

  format::NewTableDefinition def;
  def.columns = std::move(columns);
  def.owned_pages = maps[0];
  def.free_pages = maps[1];
  for (size_t i = 0; i < long_columns.size(); ++i)
    def.column_maps.push_back(format::ColumnMaps{long_columns[i], maps[2 + 2 * i], maps[3 + 2 * i]});
  std::vector<std::byte> buffer = format::EncodeTableDefinition(def);
  auto images = format::PaginateDefinition(buffer, definition_pages);
  for (size_t i = 0; i < images.size(); ++i) {
    JET_ASSIGN_OR_RETURN(image, store.Write(definition_pages[i]));
    std::memcpy(image.data(), images[i].data(), image.size());
  }
  // NOT NULL columns are Required, as Access records it: in the table's properties.
  std::vector<std::string> required;
  for (const auto& c : table.columns)
    if (c.not_null) required.push_back(c.name);
  return AddTableToCatalog(store, pages, objects, tdef_page, table.name, table.now,
                           format::RequiredColumnProperties(required));
}

}  // namespace jet::table
