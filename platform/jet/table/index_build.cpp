#include "platform/jet/table/index_build.h"

#include <algorithm>
#include <vector>

#include "platform/jet/format/index_key.h"
#include "platform/jet/format/index_page.h"
#include "platform/jet/table/key_columns.h"
#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {
namespace {

constexpr size_t kLeafEntryExtra = 4;  // data page and row
constexpr size_t kNodeEntryExtra = 8;  // data page and row, child page

// The key columns of `index` over `table`'s columns, with where each value stands in a row.
Status KeyColumns(PageStore& store, const Table& table, const format::RealIndex& index,
                  std::vector<format::KeyColumn>* keys, std::vector<size_t>* positions) {
  const auto& columns = table.columns();
  for (const auto& ic : index.columns) {
    size_t at = 0;
    while (at < columns.size() && columns[at].number != ic.column_number) ++at;
    if (at == columns.size())
      return MakeError(ErrorCode::kCorruption, "an index names a column the table does not have");
    const auto& c = columns[at];
    if (!format::IndexKeySupported(c.type()))
      return MakeError(ErrorCode::kNotSupported, "the column " + c.name + " cannot be indexed");
    JET_ASSIGN_OR_RETURN(k, KeyColumnOf(store, c, ic.ascending));
    keys->push_back(k);
    positions->push_back(at);
  }
  return {};
}

// A level of the tree in the making: its pages, each with its page number
// and the largest entry of its subtree.
struct Level {
  std::vector<format::IndexPage> pages;
  std::vector<uint32_t> numbers;
  std::vector<format::IndexEntry> largest;
};

}  // namespace

Result<uint32_t> BuildIndex(PageStore& store, PageAllocator& pages, const Table& table,
                            const format::RealIndex& index) {
  std::vector<format::KeyColumn> keys;
  std::vector<size_t> positions;
  JET_TRY(KeyColumns(store, table, index, &keys, &positions));

  std::vector<format::IndexEntry> entries;
  for (auto cursor = table.Scan(); cursor.Valid(); cursor.Next()) {
    const auto& row = cursor.row();
    bool all_null = true, any_null = false;
    for (size_t i = 0; i < keys.size(); ++i) {
      keys[i].value = &row[positions[i]];
      const bool null = IsNull(row[positions[i]]);
      all_null = all_null && null;
      any_null = any_null || null;
    }
    if ((index.flags & format::kIndexRequired) && any_null)
      return MakeError(ErrorCode::kInvalidValue, kNullInKeyMessage);
    if ((index.flags & format::kIndexIgnoreNulls) && all_null) continue;
    JET_ASSIGN_OR_RETURN(key, format::EncodeIndexKey(keys));
    const auto at = cursor.position();
    entries.push_back(format::IndexEntry{std::move(key), at.page, at.row, 0});
    if (all_null) entries.back().child = 1;  // marks an all-NULL key: never a duplicate
    if (!cursor.status()) return cursor.status().error();
  }
  std::sort(entries.begin(), entries.end());
  uint32_t distinct = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const bool same = i > 0 && entries[i].key == entries[i - 1].key;
    if (!same) ++distinct;
    if (same && (index.flags & format::kIndexUnique) && entries[i].child == 0)
      return MakeError(ErrorCode::kInvalidValue, kDuplicateKeyMessage);
  }
  for (auto& e : entries) e.child = 0;

  // Leaves from the left, each as full as the page allows.
  auto allocate = [&]() -> Result<uint32_t> {
    JET_ASSIGN_OR_RETURN(page, pages.Allocate());
    JET_TRY(SetMapPage(store, pages, index.usage_map, page, true));
    return page;
  };
  auto pack = [&](std::vector<format::IndexEntry> level_entries, bool leaf, size_t extra) {
    Level level;
    format::IndexPage page;
    page.leaf = leaf;
    page.tdef_page = table.tdef_page();
    size_t bytes = 0;
    for (auto& e : level_entries) {
      const size_t size = e.key.size() + extra;
      if (!page.entries.empty() && bytes + size > format::kIndexEntryCapacity) {
        level.pages.push_back(std::move(page));
        page = format::IndexPage{};
        page.leaf = leaf;
        page.tdef_page = table.tdef_page();
        bytes = 0;
      }
      page.entries.push_back(std::move(e));
      bytes += size;
    }
    level.pages.push_back(std::move(page));
    for (const auto& p : level.pages)
      if (!p.entries.empty()) level.largest.push_back(p.entries.back());
    return level;
  };
  Level level = pack(std::move(entries), true, kLeafEntryExtra);
  std::vector<Level> levels;
  while (level.pages.size() > 1) {
    // Each page of this level has a number; its parent holds its largest entry.
    for (size_t i = 0; i < level.pages.size(); ++i) {
      JET_ASSIGN_OR_RETURN(number, allocate());
      level.numbers.push_back(number);
    }
    std::vector<format::IndexEntry> up;
    for (size_t i = 0; i < level.pages.size(); ++i) {
      format::IndexEntry top = level.largest[i];
      top.child = level.numbers[i];
      up.push_back(std::move(top));
    }
    Level parents = pack(std::move(up), false, kNodeEntryExtra);  // `largest` taken before the tails
    // A node keeps its last child in its tail, unless it has only one.
    for (auto& p : parents.pages)
      if (p.entries.size() > 1) {
        p.tail_page = p.entries.back().child;
        p.entries.pop_back();
      }
    levels.push_back(std::move(level));
    level = std::move(parents);
  }
  // Links: leaves across the whole level, nodes only among siblings.
  for (size_t l = 0; l < levels.size(); ++l) {
    Level& below = levels[l];
    const Level& above = l + 1 < levels.size() ? levels[l + 1] : level;
    std::vector<size_t> parent_of(below.pages.size());
    size_t child = 0;
    for (size_t p = 0; p < above.pages.size(); ++p) {
      const size_t children = above.pages[p].entries.size() + (above.pages[p].tail_page ? 1 : 0);
      for (size_t k = 0; k < children && child < below.pages.size(); ++k) parent_of[child++] = p;
    }
    for (size_t i = 0; i + 1 < below.pages.size(); ++i) {
      if (!below.pages[i].leaf && parent_of[i] != parent_of[i + 1]) continue;
      below.pages[i].next_page = below.numbers[i + 1];
      below.pages[i + 1].prev_page = below.numbers[i];
    }
  }
  // The top page is the root, at the page the definition names.
  level.numbers = {index.root_page};
  levels.push_back(std::move(level));
  for (const Level& l : levels)
    for (size_t i = 0; i < l.pages.size(); ++i) {
      if (!format::FitsOnIndexPage(l.pages[i]))
        return MakeError(ErrorCode::kInvalidValue, "an index key is too long for an index page");
      JET_ASSIGN_OR_RETURN(image, store.Write(l.numbers[i]));
      format::BuildIndexPage(l.pages[i], image);
    }
  return distinct;
}

}  // namespace jet::table
