#include "platform/jet/table/index.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

namespace jet::table {

using format::IndexEntry;
using format::IndexKey;
using format::IndexPage;

namespace {

constexpr int kMaxDepth = 16;
// A key that leaves room for at least three entries per page, so that a split
// always yields two pages that fit.
constexpr size_t kMaxKeyBytes = format::kIndexEntryCapacity / 3 - 8;
constexpr size_t kTail = static_cast<size_t>(-1);

Error Corrupt(uint32_t page, std::string_view why) {
  return MakeError(ErrorCode::kCorruption, fmt::format("index page {}: {}", page, why));
}

// The child a search for `entry` descends into: the first entry not below it,
// else the tail, else the last entry.
Result<size_t> ChildSlot(const IndexPage& node, const IndexEntry& entry, uint32_t page) {
  auto it = std::lower_bound(node.entries.begin(), node.entries.end(), entry);
  if (it != node.entries.end()) return static_cast<size_t>(it - node.entries.begin());
  if (node.tail_page != 0) return kTail;
  if (node.entries.empty()) return Corrupt(page, "node page without children");
  return node.entries.size() - 1;
}

uint32_t ChildAt(const IndexPage& node, size_t slot) {
  return slot == kTail ? node.tail_page : node.entries[slot].child;
}

IndexEntry AsBound(const IndexEntry& e) {
  IndexEntry b = e;
  b.child = 0;
  return b;
}

// A node with several children keeps the last one as its tail (Access "promotes" it).
void PromoteTail(IndexPage* node) {
  if (!node->leaf && node->tail_page == 0 && node->entries.size() > 1) {
    node->tail_page = node->entries.back().child;
    node->entries.pop_back();
  }
}

// The largest entry below a page: a leaf's last entry, or a node's last entry
// when it has no tail. Nothing when a tail would have to be read.
std::optional<IndexEntry> KnownMax(const IndexPage& page) {
  if (page.entries.empty() || (!page.leaf && page.tail_page != 0)) return std::nullopt;
  return AsBound(page.entries.back());
}

}  // namespace

struct IndexTree::InsertChange {
  std::optional<IndexEntry> new_max;     // the subtree's largest entry, when it changed
  std::optional<IndexEntry> split_left;  // a new page before this one: its largest entry, child = the page
};

struct IndexTree::RemoveChange {
  std::optional<IndexEntry> new_max;
  bool emptied = false;  // the page was freed; its parent drops it
};

IndexTree::IndexTree(PageStore& store, uint32_t root_page, uint32_t tdef_page, IndexCallbacks callbacks)
    : store_(store), root_(root_page), tdef_page_(tdef_page), callbacks_(std::move(callbacks)) {}

Status IndexTree::InitializeRoot(PageStore& store, uint32_t page, uint32_t tdef_page) {
  IndexPage root;
  root.tdef_page = tdef_page;
  JET_ASSIGN_OR_RETURN(image, store.Write(page));
  if (image.size() != format::kIndexPageSize) return Corrupt(page, "page size is not 4096");
  format::BuildIndexPage(root, image);
  return {};
}

Result<IndexPage> IndexTree::Load(uint32_t page) {
  if (page == 0 || page >= store_.PageCount()) return Corrupt(page, "page number outside the file");
  JET_ASSIGN_OR_RETURN(image, store_.Read(page));
  return format::ParseIndexPage(image, page);
}

Status IndexTree::Store(uint32_t page, const IndexPage& content) {
  if (!format::FitsOnIndexPage(content)) return Corrupt(page, "entries do not fit on the page");
  JET_ASSIGN_OR_RETURN(image, store_.Write(page));
  if (image.size() != format::kIndexPageSize) return Corrupt(page, "page size is not 4096");
  format::BuildIndexPage(content, image);
  return {};
}

Result<uint32_t> IndexTree::Allocate() {
  if (!callbacks_.allocate_page) {
    return MakeError(ErrorCode::kNotSupported, "index page split without a page allocator");
  }
  return callbacks_.allocate_page();
}

Result<std::vector<IndexEntry>> IndexTree::Find(const IndexKey& key) {
  IndexEntry probe;
  probe.key = key;
  uint32_t page_number = root_;
  JET_ASSIGN_OR_RETURN(page, Load(page_number));
  for (int depth = 0; !page.leaf; ++depth) {
    if (depth > kMaxDepth) return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
    JET_ASSIGN_OR_RETURN(slot, ChildSlot(page, probe, page_number));
    page_number = ChildAt(page, slot);
    JET_ASSIGN_OR_RETURN(child, Load(page_number));
    page = std::move(child);
  }
  std::vector<IndexEntry> found;
  for (uint32_t hops = 0;; ++hops) {
    auto it = std::lower_bound(page.entries.begin(), page.entries.end(), probe);
    for (; it != page.entries.end(); ++it) {
      if (it->key != key) return found;
      found.push_back(*it);
    }
    if (page.next_page == 0 || hops > store_.PageCount()) return found;
    page_number = page.next_page;
    JET_ASSIGN_OR_RETURN(next, Load(page_number));
    if (!next.leaf) return Corrupt(page_number, "leaf chain reaches a node page");
    page = std::move(next);
  }
}

Result<bool> IndexTree::HasKey(uint32_t page_number, bool last, const IndexKey& key) {
  JET_ASSIGN_OR_RETURN(page, Load(page_number));
  if (page.entries.empty()) return false;
  return (last ? page.entries.back() : page.entries.front()).key == key;
}

Result<bool> IndexTree::Insert(const IndexKey& key, uint32_t data_page, uint8_t data_row) {
  if (key.size() > kMaxKeyBytes) {
    return MakeError(ErrorCode::kNotSupported,
                     fmt::format("an index key of {} bytes is longer than {} bytes", key.size(), kMaxKeyBytes));
  }
  if (data_page > 0xFFFFFF) return MakeError(ErrorCode::kInvalidValue, "data page number beyond 24 bits");
  IndexEntry entry;
  entry.key = key;
  entry.data_page = data_page;
  entry.data_row = data_row;
  bool new_key = true;
  JET_ASSIGN_OR_RETURN(change, InsertAt(root_, entry, 0, &new_key));
  (void)change;
  return new_key;
}

Result<IndexTree::InsertChange> IndexTree::InsertAt(uint32_t page_number, const IndexEntry& entry, int depth,
                                                    bool* new_key) {
  if (depth > kMaxDepth) return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
  JET_ASSIGN_OR_RETURN(page, Load(page_number));
  InsertChange change;
  if (page.leaf) {
    auto it = std::lower_bound(page.entries.begin(), page.entries.end(), entry);
    if (it != page.entries.end() && it->SameRow(entry)) {
      return MakeError(ErrorCode::kAlreadyExists,
                       fmt::format("index page {} already holds the entry for row {} of page {}", page_number,
                                   entry.data_row, entry.data_page));
    }
    const size_t pos = static_cast<size_t>(it - page.entries.begin());
    // Equal keys may sit on the neighbouring leaves.
    bool seen = false;
    if (pos > 0) {
      seen = page.entries[pos - 1].key == entry.key;
    } else if (page.prev_page != 0) {
      JET_ASSIGN_OR_RETURN(has, HasKey(page.prev_page, true, entry.key));
      seen = has;
    }
    if (!seen && pos < page.entries.size()) {
      seen = page.entries[pos].key == entry.key;
    } else if (!seen && page.next_page != 0) {
      JET_ASSIGN_OR_RETURN(has, HasKey(page.next_page, false, entry.key));
      seen = has;
    }
    *new_key = !seen;
    page.entries.insert(it, AsBound(entry));
    if (pos + 1 == page.entries.size()) change.new_max = AsBound(entry);
  } else {
    JET_ASSIGN_OR_RETURN(slot, ChildSlot(page, entry, page_number));
    JET_ASSIGN_OR_RETURN(child, InsertAt(ChildAt(page, slot), entry, depth + 1, new_key));
    bool changed = false;
    if (child.new_max) {
      if (slot == kTail) {
        change.new_max = child.new_max;
      } else {
        const uint32_t child_page = page.entries[slot].child;
        page.entries[slot] = *child.new_max;
        page.entries[slot].child = child_page;
        if (slot + 1 == page.entries.size() && page.tail_page == 0) change.new_max = child.new_max;
        changed = true;
      }
    }
    if (child.split_left) {
      const size_t at = slot == kTail ? page.entries.size() : slot;
      page.entries.insert(page.entries.begin() + static_cast<std::ptrdiff_t>(at), *child.split_left);
      PromoteTail(&page);
      changed = true;
    }
    if (!changed) return change;
  }
  if (!format::FitsOnIndexPage(page)) {
    JET_TRY(Split(page_number, page, &change));
    return change;
  }
  JET_TRY(Store(page_number, page));
  return change;
}

// Splits a page that no longer fits: the first part of its entries moves to a
// new page linked before it; the root instead moves both parts into new pages.
Status IndexTree::Split(uint32_t page_number, IndexPage& page, InsertChange* change) {
  const size_t n = page.entries.size();
  auto fits = [&](size_t h) {
    IndexPage left, right;
    left.leaf = right.leaf = page.leaf;
    left.entries.assign(page.entries.begin(), page.entries.begin() + static_cast<std::ptrdiff_t>(h));
    right.entries.assign(page.entries.begin() + static_cast<std::ptrdiff_t>(h), page.entries.end());
    return format::FitsOnIndexPage(left) && format::FitsOnIndexPage(right);
  };
  size_t half = (n + 1) / 2;
  if (half >= n || !fits(half)) {
    half = 0;
    for (size_t h = 1; h < n; ++h) {
      if (fits(h)) {
        half = h;
        break;
      }
    }
    if (half == 0) return Corrupt(page_number, "entries too large to split");
  }
  IndexPage left;
  left.leaf = page.leaf;
  left.tdef_page = page.tdef_page ? page.tdef_page : tdef_page_;
  left.entries.assign(page.entries.begin(), page.entries.begin() + static_cast<std::ptrdiff_t>(half));
  page.entries.erase(page.entries.begin(), page.entries.begin() + static_cast<std::ptrdiff_t>(half));
  IndexEntry left_max = AsBound(left.entries.back());
  PromoteTail(&left);
  const uint32_t left_last_child = left.leaf ? 0 : left.tail_page ? left.tail_page : left.entries.back().child;
  const uint32_t right_first_child = page.leaf ? 0 : page.entries.empty() ? page.tail_page : page.entries.front().child;

  JET_ASSIGN_OR_RETURN(left_number, Allocate());
  if (page_number == root_) {
    JET_ASSIGN_OR_RETURN(right_number, Allocate());
    IndexPage& right = page;
    right.tdef_page = left.tdef_page;
    left.prev_page = 0;
    left.next_page = right_number;
    right.prev_page = left_number;
    right.next_page = 0;
    JET_TRY(Store(left_number, left));
    JET_TRY(Store(right_number, right));
    IndexPage root;
    root.leaf = false;
    root.tdef_page = left.tdef_page;
    IndexEntry e = left_max;
    e.child = left_number;
    root.entries.push_back(e);
    root.tail_page = right_number;
    JET_TRY(Store(root_, root));
  } else {
    left.prev_page = page.prev_page;
    left.next_page = page_number;
    if (page.prev_page != 0) {
      JET_ASSIGN_OR_RETURN(before, Load(page.prev_page));
      before.next_page = left_number;
      JET_TRY(Store(page.prev_page, before));
    }
    page.prev_page = left_number;
    JET_TRY(Store(left_number, left));
    JET_TRY(Store(page_number, page));
    IndexEntry e = left_max;
    e.child = left_number;
    change->split_left = e;
  }
  if (!page.leaf) JET_TRY(UnlinkBoundaryChildren(left_last_child, right_first_child));
  return {};
}

// Children of a split node now have different parents: node pages among them
// must not stay chained across (leaves stay chained along the whole level).
Status IndexTree::UnlinkBoundaryChildren(uint32_t left_last, uint32_t right_first) {
  JET_ASSIGN_OR_RETURN(a, Load(left_last));
  if (a.leaf) return {};
  JET_ASSIGN_OR_RETURN(b, Load(right_first));
  if (a.next_page == right_first) {
    a.next_page = 0;
    JET_TRY(Store(left_last, a));
  }
  if (b.prev_page == left_last) {
    b.prev_page = 0;
    JET_TRY(Store(right_first, b));
  }
  return {};
}

Status IndexTree::Remove(const IndexKey& key, uint32_t data_page, uint8_t data_row) {
  IndexEntry entry;
  entry.key = key;
  entry.data_page = data_page;
  entry.data_row = data_row;
  JET_ASSIGN_OR_RETURN(change, RemoveAt(root_, entry, 0));
  (void)change;
  return {};
}

Status IndexTree::Unlink(const IndexPage& page) {
  if (page.prev_page != 0) {
    JET_ASSIGN_OR_RETURN(before, Load(page.prev_page));
    before.next_page = page.next_page;
    JET_TRY(Store(page.prev_page, before));
  }
  if (page.next_page != 0) {
    JET_ASSIGN_OR_RETURN(after, Load(page.next_page));
    after.prev_page = page.prev_page;
    JET_TRY(Store(page.next_page, after));
  }
  return {};
}

Result<IndexTree::RemoveChange> IndexTree::RemoveAt(uint32_t page_number, const IndexEntry& entry, int depth) {
  if (depth > kMaxDepth) return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
  JET_ASSIGN_OR_RETURN(page, Load(page_number));
  RemoveChange change;
  const bool is_root = page_number == root_;
  if (page.leaf) {
    auto it = std::lower_bound(page.entries.begin(), page.entries.end(), entry);
    if (it == page.entries.end() || !it->SameRow(entry)) {
      return MakeError(ErrorCode::kNotFound, fmt::format("the index has no entry for row {} of page {}",
                                                         entry.data_row, entry.data_page));
    }
    const bool was_last = it + 1 == page.entries.end();
    page.entries.erase(it);
    if (!page.entries.empty() && was_last) change.new_max = AsBound(page.entries.back());
  } else {
    JET_ASSIGN_OR_RETURN(slot, ChildSlot(page, entry, page_number));
    JET_ASSIGN_OR_RETURN(child, RemoveAt(ChildAt(page, slot), entry, depth + 1));
    if (child.emptied) {
      if (slot == kTail) {
        page.tail_page = 0;
        if (!page.entries.empty()) change.new_max = AsBound(page.entries.back());
        PromoteTail(&page);
      } else {
        const bool was_last = slot + 1 == page.entries.size() && page.tail_page == 0;
        page.entries.erase(page.entries.begin() + static_cast<std::ptrdiff_t>(slot));
        if (was_last && !page.entries.empty()) change.new_max = AsBound(page.entries.back());
        if (page.tail_page != 0 && page.entries.empty()) {
          // A lone tail child becomes an ordinary entry again ("demote").
          JET_ASSIGN_OR_RETURN(max, SubtreeMax(page.tail_page, depth + 1));
          max.child = page.tail_page;
          page.entries.push_back(max);
          page.tail_page = 0;
        }
      }
    } else if (child.new_max) {
      if (slot == kTail) {
        change.new_max = child.new_max;
        return change;  // the tail's largest entry is not stored here
      }
      const uint32_t child_page = page.entries[slot].child;
      page.entries[slot] = *child.new_max;
      page.entries[slot].child = child_page;
      if (slot + 1 == page.entries.size() && page.tail_page == 0) change.new_max = child.new_max;
    } else {
      return change;
    }
  }
  const bool empty = page.entries.empty() && (page.leaf || page.tail_page == 0);
  if (empty) {
    if (is_root) {
      IndexPage root;
      root.tdef_page = page.tdef_page;
      JET_TRY(Store(root_, root));
      return RemoveChange{};
    }
    JET_TRY(Unlink(page));
    if (callbacks_.free_page) JET_TRY(callbacks_.free_page(page_number));
    change.emptied = true;
    change.new_max.reset();
    return change;
  }
  JET_TRY(Store(page_number, page));
  return change;
}

Result<IndexEntry> IndexTree::SubtreeMax(uint32_t page_number, int depth) {
  for (; depth <= kMaxDepth; ++depth) {
    JET_ASSIGN_OR_RETURN(page, Load(page_number));
    if (auto known = KnownMax(page)) return *known;
    if (page.leaf || page.tail_page == 0) return Corrupt(page_number, "empty index page below a node");
    page_number = page.tail_page;
  }
  return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
}

Result<uint32_t> IndexTree::LeftmostLeaf() {
  uint32_t page_number = root_;
  for (int depth = 0; depth <= kMaxDepth; ++depth) {
    JET_ASSIGN_OR_RETURN(page, Load(page_number));
    if (page.leaf) return page_number;
    page_number = page.entries.empty() ? page.tail_page : page.entries.front().child;
  }
  return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
}

Status IndexTree::Walk(const std::function<Status(const IndexEntry&)>& visit) {
  JET_ASSIGN_OR_RETURN(first, LeftmostLeaf());
  uint32_t page_number = first;
  uint32_t previous_page = 0;
  std::optional<IndexEntry> previous;
  std::vector<bool> seen(store_.PageCount(), false);
  while (page_number != 0) {
    if (page_number >= seen.size()) return Corrupt(page_number, "leaf chain leaves the file");
    if (seen[page_number]) return Corrupt(page_number, "leaf chain loops");
    seen[page_number] = true;
    JET_ASSIGN_OR_RETURN(page, Load(page_number));
    if (!page.leaf) return Corrupt(page_number, "leaf chain reaches a node page");
    if (page.prev_page != previous_page) return Corrupt(page_number, "previous-page link does not match the chain");
    for (const auto& e : page.entries) {
      if (previous && !(*previous < e)) return Corrupt(page_number, "entries out of order");
      JET_TRY(visit(e));
      previous = e;
    }
    previous_page = page_number;
    page_number = page.next_page;
  }
  return {};
}

Result<IndexEntry> IndexTree::VerifyNode(uint32_t page_number, int depth, const IndexEntry* lower,
                                         std::vector<uint32_t>* leaves, std::vector<uint32_t>* seen) {
  if (depth > kMaxDepth) return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
  if (std::find(seen->begin(), seen->end(), page_number) != seen->end()) {
    return Corrupt(page_number, "page reached twice in the tree");
  }
  seen->push_back(page_number);
  JET_ASSIGN_OR_RETURN(page, Load(page_number));
  for (size_t i = 0; i < page.entries.size(); ++i) {
    const IndexEntry& e = page.entries[i];
    if ((i > 0 && !(page.entries[i - 1] < e)) || (i == 0 && lower && !(*lower < e))) {
      return Corrupt(page_number, "entries out of order");
    }
  }
  if (page.leaf) {
    leaves->push_back(page_number);
    if (page.entries.empty()) {
      if (page_number != root_) return Corrupt(page_number, "empty leaf below the root");
      return IndexEntry{};
    }
    return AsBound(page.entries.back());
  }
  if (page.entries.empty()) return Corrupt(page_number, "node page without entries");
  if (page.entries.size() > 1 && page.tail_page == 0) return Corrupt(page_number, "several children but no tail");
  const IndexEntry* bound = lower;
  for (const auto& e : page.entries) {
    JET_ASSIGN_OR_RETURN(max, VerifyNode(e.child, depth + 1, bound, leaves, seen));
    if (!max.SameRow(e)) {
      return Corrupt(page_number, fmt::format("entry for child {} is not that child's largest entry", e.child));
    }
    bound = &e;
  }
  if (page.tail_page == 0) return AsBound(page.entries.back());
  return VerifyNode(page.tail_page, depth + 1, bound, leaves, seen);
}

Status IndexTree::Verify() {
  std::vector<uint32_t> leaves, seen;
  JET_ASSIGN_OR_RETURN(max, VerifyNode(root_, 0, nullptr, &leaves, &seen));
  (void)max;
  std::vector<uint32_t> chain;
  uint32_t page_number = leaves.front();
  for (size_t hops = 0; page_number != 0 && hops <= leaves.size(); ++hops) {
    chain.push_back(page_number);
    JET_ASSIGN_OR_RETURN(page, Load(page_number));
    page_number = page.next_page;
  }
  if (chain != leaves) return Corrupt(leaves.front(), "leaf chain differs from the leaves under the root");
  return Walk([](const IndexEntry&) { return Status{}; });
}

Result<std::vector<uint32_t>> IndexTree::Pages() {
  std::vector<uint32_t> pages;
  std::vector<uint32_t> pending{root_};
  while (!pending.empty()) {
    const uint32_t page_number = pending.back();
    pending.pop_back();
    if (std::find(pages.begin(), pages.end(), page_number) != pages.end()) {
      return Corrupt(page_number, "page reached twice in the tree");
    }
    if (pages.size() > store_.PageCount()) return Corrupt(page_number, "more index pages than the file holds");
    pages.push_back(page_number);
    JET_ASSIGN_OR_RETURN(page, Load(page_number));
    if (page.leaf) continue;
    if (page.tail_page != 0) pending.push_back(page.tail_page);
    for (auto it = page.entries.rbegin(); it != page.entries.rend(); ++it) pending.push_back(it->child);
  }
  return pages;
}

}  // namespace jet::table
