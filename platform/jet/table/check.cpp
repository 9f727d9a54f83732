#include "platform/jet/table/check.h"

#include "platform/jet/table/relationship_check.h"

#include <fmt/format.h>

#include <map>
#include <set>
#include <tuple>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/header.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/key_columns.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"

namespace jet::table {
namespace {

constexpr uint32_t kGlobalMapPage = 1;

class Checker;

// One index of a table: the entries its rows call for, compared with the
// entries a walk of the tree finds.
class IndexCheck {
 public:
  IndexCheck(PageStore& store, const Table& table, size_t number, std::string what)
      : store_(store), table_(table), number_(number), what_(std::move(what)) {}

  // Whether the keys of this index can be computed here (column types and
  // sort orders the key encoder knows).
  bool Computable() {
    const auto& index = table_.definition().real_indexes[number_];
    const auto& columns = table_.columns();
    for (const auto& ic : index.columns) {
      size_t at = columns.size();
      for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number == ic.column_number) at = i;
      if (at == columns.size()) return false;
      const auto& c = columns[at];
      if (!format::IndexKeySupported(c.type())) return false;
      auto k = KeyColumnOf(store_, c, ic.ascending);
      if (!k) return false;
      positions_.push_back(at);
      keys_.push_back(*k);
    }
    return !keys_.empty();
  }

  void Expect(const std::vector<Cell>& row, format::RowPointer at) {
    if (failed_) return;
    const auto& index = table_.definition().real_indexes[number_];
    bool all_null = true;
    for (size_t i = 0; i < keys_.size(); ++i) {
      keys_[i].value = &row[positions_[i]];
      if (!IsNull(row[positions_[i]])) all_null = false;
    }
    if (all_null && (index.flags & 0x02)) return;  // an index that ignores nulls leaves such rows out
    auto key = format::EncodeIndexKey(keys_);
    if (!key) {
      failed_ = true;  // a value the encoder refuses: nothing to compare
      return;
    }
    expected_.insert(Entry{std::move(*key), at.page, at.row});
  }

  void Report(Checker& checker);

 private:
  using Entry = std::tuple<format::IndexKey, uint32_t, uint8_t>;
  PageStore& store_;
  const Table& table_;
  size_t number_;
  std::string what_;
  std::vector<size_t> positions_;
  std::vector<format::KeyColumn> keys_;
  std::set<Entry> expected_;
  bool failed_ = false;
};

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
      if (type != format::kPageTypeIndexLeaf && type != format::kPageTypeIndexNode) {
        Problem(fmt::format("{} has its root on page {}, which is not an index page (type {:#04x})", what,
                            index.root_page, type));
        continue;
      }
      IndexTree tree(store_, index.root_page, object.tdef_page());
      if (auto verified = tree.Verify(); !verified) {
        Problem(fmt::format("{}: {}", what, verified.error().message));
        continue;
      }
      auto tree_pages = tree.Pages();
      if (!tree_pages) continue;
      std::set<uint32_t> listed(pages->begin(), pages->end());
      for (uint32_t p : *tree_pages)
        if (!listed.count(p)) Problem(fmt::format("{} uses page {}, which its usage map does not list", what, p));
    }

    // Every row, with its long values, and the index entries each row should have.
    std::vector<IndexCheck> indexes = IndexesToCheck(t, label);
    uint64_t rows = 0;
    auto cursor = t.Scan();
    for (; cursor.Valid(); cursor.Next()) {
      ++rows;
      for (auto& index : indexes) index.Expect(cursor.row(), cursor.position());
    }
    for (auto& index : indexes)
      if (cursor.status()) index.Report(*this);
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

  std::vector<IndexCheck> IndexesToCheck(const Table& t, const std::string& label) {
    std::vector<IndexCheck> out;
    for (size_t i = 0; i < t.definition().real_indexes.size(); ++i) {
      IndexCheck check(store_, t, i, fmt::format("{}: index {}", label, i));
      if (check.Computable()) out.push_back(std::move(check));
    }
    return out;
  }

 private:
  PageStore& store_;
  std::map<uint32_t, std::string> used_;
  std::vector<std::string> problems_;
};

void IndexCheck::Report(Checker& checker) {
  if (failed_) return;
  const auto& index = table_.definition().real_indexes[number_];
  IndexTree tree(store_, index.root_page, table_.tdef_page());
  std::vector<Entry> unmatched;
  auto walked = tree.Walk([&](const format::IndexEntry& e) -> Status {
    Entry entry{e.key, e.data_page, e.data_row};
    if (!expected_.erase(entry)) unmatched.push_back(std::move(entry));
    return {};
  });
  if (!walked) return;  // Verify has reported it
  // An entry may still name the place a row moved away from (flag 0x4000
  // alone, the body pointing to the row's new home): follow it once.
  size_t extra = 0;
  for (auto& [key, page, row] : unmatched) {
    bool found = false;
    if (auto image = store_.Read(page); image && format::PageType(*image) == format::kPageTypeData &&
                                         row < format::DataPageRowCount(*image)) {
      auto slot = format::DataPageRow(*image, page, row);
      if (slot && slot->gone && !slot->deleted && format::InRange(image->size(), slot->start, 4)) {
        format::RowPointer home = format::LoadRowPointer(*image, slot->start);
        found = expected_.erase(Entry{key, home.page, home.row}) > 0;
      }
    }
    if (!found) ++extra;
  }
  if (extra)
    checker.Problem(fmt::format("{} has {} entr{} for rows the table does not have (or under another key)", what_,
                                extra, extra == 1 ? "y" : "ies"));
  for (const auto& [key, page, row] : expected_) {
    checker.Problem(fmt::format("{}: the row at page {} row {} cannot be reached through the index by its key", what_,
                                page, row));
    break;  // one example is enough; the count follows
  }
  if (expected_.size() > 1)
    checker.Problem(fmt::format("{}: {} rows in all cannot be reached through the index", what_, expected_.size()));
}

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
  std::vector<std::string> problems = checker.Take();
  for (auto& p : CheckRelationships(store, objects)) problems.push_back(std::move(p));
  return problems;
}

}  // namespace jet::table
