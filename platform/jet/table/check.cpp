#include "platform/jet/table/check.h"

#include <fmt/format.h>

#include <map>
#include <set>

#include "platform/jet/format/data_page.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

constexpr uint32_t kGlobalMapPage = 1;

class Checker {
 public:
  Checker(PageStore& store) : store_(store) {}

  void Problem(std::string text) { problems_.push_back(std::move(text)); }

  // Records that `page` is used by `owner`; two owners of one page is an inconsistency.
  void Use(uint32_t page, const std::string& owner) {
    if (page >= store_.PageCount()) {
      Problem(fmt::format("{} uses page {}, beyond the end of the file ({} pages)", owner, page, store_.PageCount()));
      return;
    }
    auto [it, fresh] = used_.emplace(page, owner);
    if (!fresh && it->second != owner)
      Problem(fmt::format("page {} is used both by {} and by {}", page, it->second, owner));
  }

  void CheckTable(const CatalogObject& object) {
    std::string label = fmt::format("table {}", object.name);
    auto opened = Table::Open(store_, object.tdef_page(), object.name);
    if (!opened) {
      Problem(fmt::format("{}: {}", label, opened.error().message));
      return;
    }
    const Table& t = **opened;
    for (uint32_t p : t.definition_pages()) Use(p, label + " (definition)");
    const auto& def = t.definition();

    auto owned = ReadUsageMap(store_, def.owned_pages, label + ": owned-pages map");
    if (!owned) {
      Problem(owned.error().message);
      return;
    }
    Use(def.owned_pages.page, std::string("usage-map rows"));
    for (uint32_t p : *owned) Use(p, label);
    auto free = ReadUsageMap(store_, def.free_pages, label + ": free-space map");
    if (!free) {
      Problem(free.error().message);
    } else {
      Use(def.free_pages.page, std::string("usage-map rows"));
      std::set<uint32_t> owned_set(owned->begin(), owned->end());
      for (uint32_t p : *free)
        if (!owned_set.count(p))
          Problem(fmt::format("{}: page {} is in its free-space map but not among its pages", label, p));
    }

    for (const auto& maps : def.column_maps) {
      for (auto ptr : {maps.owned, maps.free}) {
        if (ptr.IsNull()) continue;  // the column has no long-value pages of its own
        std::string what = fmt::format("{}: long-value map of column {}", label, maps.column_number);
        auto pages = ReadUsageMap(store_, ptr, what);
        if (!pages) {
          Problem(pages.error().message);
          continue;
        }
        Use(ptr.page, std::string("usage-map rows"));
        for (uint32_t p : *pages) Use(p, label + " (long values)");
      }
    }
    for (size_t i = 0; i < def.real_indexes.size(); ++i) {
      const auto& index = def.real_indexes[i];
      std::string what = fmt::format("{}: index {}", label, i);
      auto pages = ReadUsageMap(store_, index.usage_map, what + " usage map");
      if (!pages) {
        Problem(pages.error().message);
        continue;
      }
      Use(index.usage_map.page, std::string("usage-map rows"));
      for (uint32_t p : *pages) Use(p, label + " (indexes)");
      if (index.root_page >= store_.PageCount()) {
        Problem(fmt::format("{} has its root on page {}, outside the file", what, index.root_page));
        continue;
      }
      auto root = store_.Read(index.root_page);
      if (!root) {
        Problem(root.error().message);
        continue;
      }
      uint8_t type = format::PageType(*root);
      if (type != format::kPageTypeIndexLeaf && type != format::kPageTypeIndexNode)
        Problem(fmt::format("{} has its root on page {}, which is not an index page (type {:#04x})", what,
                            index.root_page, type));
    }

    // Every row, with its long values.
    uint64_t rows = 0;
    auto cursor = t.Scan();
    for (; cursor.Valid(); cursor.Next()) ++rows;
    if (!cursor.status())
      Problem(fmt::format("{}: {}", label, cursor.status().error().message));
    else if (rows != def.row_count && object.kind == ObjectKind::kTable)  // Access lets system tables' counts drift
      Problem(fmt::format("{}: its definition counts {} rows but its pages hold {}", label, def.row_count, rows));
  }

  void CheckGlobalMap() {
    auto free = ReadUsageMap(store_, format::RowPointer{kGlobalMapPage, 0}, "the global usage map");
    if (!free) {
      Problem(free.error().message);
      return;
    }
    std::set<uint32_t> free_set(free->begin(), free->end());
    for (const auto& [page, owner] : used_)
      if (free_set.count(page)) Problem(fmt::format("page {} is used by {} but marked free", page, owner));
  }

  std::vector<std::string> Take() { return std::move(problems_); }

 private:
  PageStore& store_;
  std::map<uint32_t, std::string> used_;
  std::vector<std::string> problems_;
};

}  // namespace

Result<std::vector<std::string>> CheckDatabase(PageStore& store, const std::vector<CatalogObject>& objects) {
  Checker checker(store);
  std::set<uint32_t> seen_tables;
  for (const auto& o : objects) {
    if (o.kind != ObjectKind::kTable && o.kind != ObjectKind::kSystemTable && o.kind != ObjectKind::kAccessTable)
      continue;
    if (!seen_tables.insert(o.tdef_page()).second) {
      checker.Problem(fmt::format("table {} shares its definition page {} with another table", o.name, o.tdef_page()));
      continue;
    }
    checker.CheckTable(o);
  }
  checker.CheckGlobalMap();
  return checker.Take();
}

}  // namespace jet::table
