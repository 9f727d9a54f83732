#include "platform/jet/table/index.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <fmt/format.h>

namespace jet::table {

using format::IndexEntry;
using format::IndexKey;
using format::IndexPage;

namespace {

// Where `n` entries split into two pages: halfway when both halves fit
// (`fits(h)`: the first h entries and the rest each fit a page), else the
// first point that fits; 0 when none does. Both split roads choose alike.
template <typename Fits>
size_t SplitPoint(size_t n, const Fits& fits) {
  const size_t half = (n + 1) / 2;
  if (half < n && fits(half)) return half;
  for (size_t h = 1; h < n; ++h)
    if (fits(h)) return h;
  return 0;
}


constexpr int kMaxDepth = 16;
// A key that leaves room for at least three entries per page, so that a split
// always yields two pages that fit.
constexpr size_t kMaxKeyBytes = format::kIndexEntryCapacity / 3 - 8;
constexpr size_t kTail = static_cast<size_t>(-1);

// Asks for every line of a page without waiting for any.
void PrefetchPage(std::span<const std::byte> image) {
  for (size_t line = 0; line < image.size(); line += 64) __builtin_prefetch(image.data() + line);
}

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

Result<std::span<const std::byte>> IndexTree::PageImage(uint32_t page) {
  if (page == 0 || page >= store_.PageCount()) return Corrupt(page, "page number outside the file");
  return store_.Read(page);
}

Result<format::IndexPageView> IndexTree::View(uint32_t page) {
  JET_ASSIGN_OR_RETURN(image, PageImage(page));
  return format::IndexPageView::Open(image, page);
}

// The leaf a search for `probe` reaches, descending at each node into the
// child ChildSlot chooses; the nodes passed are put in `path`, root first.
Result<IndexTree::Descent> IndexTree::DescendTo(const format::IndexProbe& probe, uint32_t* leaf_page,
                                                 std::vector<Descent>* path) {
  uint32_t page_number = root_;
  if (path) path->clear();
  for (int depth = 0;; ++depth) {
    if (depth > kMaxDepth) return Corrupt(page_number, "index deeper than any Access writes (a loop?)");
    JET_ASSIGN_OR_RETURN(image, PageImage(page_number));
    // Leaves are many and mostly out of the processor's caches; opening one
    // and the bisection and the splice read it all over, so its lines are
    // asked for at once, before the first is needed, rather than one miss
    // after another. Leaves lie as deep as the last search found them.
    const bool prefetched = depth == leaf_depth_;
    if (prefetched) PrefetchPage(image);
    JET_ASSIGN_OR_RETURN(view, format::IndexPageView::Open(image, page_number));
    if (view.leaf()) {
      if (!prefetched) PrefetchPage(image);
      leaf_depth_ = depth;
      *leaf_page = page_number;
      Descent leaf;
      leaf.page = page_number;
      leaf.view = view;
      return leaf;
    }
    Descent step;
    step.page = page_number;
    step.view = view;
    JET_ASSIGN_OR_RETURN(at, view.LowerBound(probe));
    if (at < view.data_end()) {
      JET_ASSIGN_OR_RETURN(e, view.EntryAt(at));
      step.start = e.start;
      step.end = e.end;
      step.child = e.child;
    } else if (view.tail_page() != 0) {
      step.start = step.end = at;
      step.tail = true;
      step.child = view.tail_page();
    } else if (view.empty()) {
      return Corrupt(page_number, "node page without children");
    } else {
      JET_ASSIGN_OR_RETURN(e, view.Last());
      step.start = e.start;
      step.end = e.end;
      step.child = e.child;
    }
    page_number = step.child;
    if (path) path->push_back(step);
  }
}

Result<std::vector<IndexEntry>> IndexTree::Find(const IndexKey& key) {
  const format::IndexProbe probe{key, 0, 0};
  uint32_t page_number = 0;
  JET_ASSIGN_OR_RETURN(leaf, DescendTo(probe, &page_number, nullptr));
  format::IndexPageView page = leaf.view;
  std::vector<IndexEntry> found;
  for (uint32_t hops = 0;; ++hops) {
    JET_ASSIGN_OR_RETURN(at, page.LowerBound(probe));
    while (at < page.data_end()) {
      JET_ASSIGN_OR_RETURN(e, page.EntryAt(at));
      if (e.CompareKey(key) != 0) return found;
      found.push_back(e.ToEntry());
      at = e.end;
    }
    if (page.next_page() == 0 || hops > store_.PageCount()) return found;
    page_number = page.next_page();
    JET_ASSIGN_OR_RETURN(next, View(page_number));
    if (!next.leaf()) return Corrupt(page_number, "leaf chain reaches a node page");
    page = next;
  }
}

Result<bool> IndexTree::Contains(const IndexKey& key, IndexPosition* position) {
  const format::IndexProbe probe{key, 0, 0};
  uint32_t page_number = 0;
  if (position) position->tree = nullptr;
  JET_ASSIGN_OR_RETURN(leaf, DescendTo(probe, &page_number, position ? &path_ : nullptr));
  format::IndexPageView page = leaf.view;
  for (uint32_t hops = 0;; ++hops) {
    JET_ASSIGN_OR_RETURN(at, page.LowerBound(probe));
    if (hops == 0 && position) {
      // With no entry of this key, an entry (key, page, row) goes where (key, 0, 0) would.
      position->version = version_;
      position->leaf = page_number;
      position->at = at;
      position->path.resize(path_.size());
      for (size_t i = 0; i < path_.size(); ++i) {
        const Descent& d = path_[i];
        position->path[i] = IndexPosition::Step{d.page, d.start, d.end, d.tail, d.child};
      }
    }
    if (at < page.data_end()) {
      JET_ASSIGN_OR_RETURN(e, page.EntryAt(at));
      const bool held = e.CompareKey(key) == 0;
      if (!held && position) position->tree = this;
      return held;
    }
    // Every entry here is below the key: the next leaf may begin with it.
    if (page.next_page() == 0 || hops > store_.PageCount()) {
      if (position) position->tree = this;
      return false;
    }
    page_number = page.next_page();
    JET_ASSIGN_OR_RETURN(next, View(page_number));
    if (!next.leaf()) return Corrupt(page_number, "leaf chain reaches a node page");
    page = next;
  }
}

Result<bool> IndexTree::HasKey(uint32_t page_number, bool last, std::span<const uint8_t> key) {
  JET_ASSIGN_OR_RETURN(page, View(page_number));
  if (page.empty()) return false;
  JET_ASSIGN_OR_RETURN(e, last ? page.Last() : page.First());
  return e.CompareKey(key) == 0;
}

Status IndexTree::CheckEntry(std::span<const uint8_t> key, uint32_t data_page) {
  if (key.size() > kMaxKeyBytes) {
    return MakeError(ErrorCode::kNotSupported,
                     fmt::format("an index key of {} bytes is longer than {} bytes", key.size(), kMaxKeyBytes));
  }
  if (data_page > 0xFFFFFF) return MakeError(ErrorCode::kInvalidValue, "data page number beyond 24 bits");
  return {};
}

Result<bool> IndexTree::Insert(const IndexKey& key, uint32_t data_page, uint8_t data_row,
                               const IndexPosition* position) {
  JET_TRY(CheckEntry(key, data_page));
  const format::IndexProbe probe{key, data_page, data_row};
  if (position && (position->tree != this || position->version != version_)) position = nullptr;
  ++version_;
  bool done = false;
  JET_ASSIGN_OR_RETURN(fresh, InsertInPlace(probe, position, &done));
  if (done) return fresh;
  // A page splits, or its shared prefix changes: the pages are rebuilt.
  IndexEntry entry;
  entry.key = key;
  entry.data_page = data_page;
  entry.data_row = data_row;
  bool new_key = true;
  JET_ASSIGN_OR_RETURN(change, InsertAt(root_, entry, 0, &new_key));
  (void)change;
  return new_key;
}

Status IndexTree::InsertSorted(std::span<const format::IndexProbe> entries, size_t* new_keys) {
  *new_keys = 0;
  for (const auto& e : entries) JET_TRY(CheckEntry(e.key, e.data_page));
  auto insert_one = [&](const format::IndexProbe& e) -> Status {
    JET_ASSIGN_OR_RETURN(fresh, Insert(IndexKey(e.key.begin(), e.key.end()), e.data_page, e.data_row));
    *new_keys += fresh;
    return {};
  };
  // The leaf after the last one written, when the next entry sorts above
  // that one's largest: if it sorts below this leaf's largest, the leaf is
  // its place, with no descent from the root.
  uint32_t after = 0;
  for (size_t i = 0; i < entries.size();) {
    uint32_t leaf_page = 0;
    format::IndexPageView page;
    std::optional<format::IndexEntryRef> last;
    bool unbounded = false;
    if (after != 0) {
      JET_ASSIGN_OR_RETURN(next, View(after));
      if (!next.leaf()) return Corrupt(after, "leaf chain reaches a node page");
      if (!next.empty()) {
        JET_ASSIGN_OR_RETURN(found, next.Last());
        if (found.Compare(entries[i]) > 0) {
          PrefetchPage(next.image());
          leaf_page = after;
          page = next;
          last = found;
        }
      }
      after = 0;
    }
    if (leaf_page == 0) {
      JET_ASSIGN_OR_RETURN(leaf, DescendTo(entries[i], &leaf_page, &path_));
      page = leaf.view;
      // The entries below the leaf's largest go into it: neither its largest
      // entry nor the nodes above change. So may larger ones when no node
      // stores the leaf's largest entry (the tree's last leaf, reached through
      // tails alone). Otherwise a new largest entry, like an entry for a leaf
      // that must split, takes the road of one entry.
      unbounded = std::all_of(path_.begin(), path_.end(), [](const Descent& step) { return step.tail; });
      if (!page.empty()) {
        JET_ASSIGN_OR_RETURN(found, page.Last());
        last = found;
      }
    }
    // As many as the leaf seems to have room for: an entry that sorts
    // between the first and the last shares their prefix, so it takes its
    // size less the stored prefix. (Checked once merged.)
    size_t j = i;
    for (size_t bytes = page.data_end(); j < entries.size(); ++j) {
      const bool inside = last && last->Compare(entries[j]) > 0;
      if (!inside && !unbounded) break;
      bytes += entries[j].key.size() + 4 - std::min(inside ? page.prefix() : 0, entries[j].key.size());
      if (bytes > format::kIndexEntryCapacity) break;
    }
    size_t count = 0;
    for (;; j = i + (j - i) / 2) {
      if (j - i < 2) break;
      flat_.clear();
      flat_ends_.clear();
      added_at_.clear();
      JET_TRY(format::MergeWholeEntries(page, entries.subspan(i, j - i), &flat_, &flat_ends_, &added_at_));
      count = flat_ends_.size();
      if (format::IndexEntryBytes(true, flat_, flat_ends_, 0, count) <= format::kIndexEntryCapacity) break;
    }
    if (j - i < 2) {
      JET_TRY(insert_one(entries[i]));
      ++i;
      continue;
    }
    // Keys new to the index: runs of equal keys made only of added entries,
    // unless the leaf before ends with that key. (A run that reaches the
    // leaf's end either holds its largest entry, which was there before, or
    // ends the tree's last leaf.)
    auto key_of = [&](size_t n) {
      const size_t begin = n == 0 ? 0 : flat_ends_[n - 1];
      return std::span<const uint8_t>(flat_.data() + begin, flat_ends_[n] - begin - 4);
    };
    auto same = [](std::span<const uint8_t> a, std::span<const uint8_t> b) {
      return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    };
    for (size_t k = 0; k < added_at_.size();) {
      const size_t run = added_at_[k];
      if (run > 0 && same(key_of(run - 1), key_of(run))) {
        ++k;
        continue;
      }
      size_t end = run + 1, n = k + 1;
      while (n < added_at_.size() && added_at_[n] == end && same(key_of(end), key_of(run))) ++end, ++n;
      bool fresh = end == count || !same(key_of(end), key_of(run));
      if (fresh && run == 0 && page.prev_page() != 0) {
        JET_ASSIGN_OR_RETURN(has, HasKey(page.prev_page(), true, key_of(run)));
        fresh = !has;
      }
      *new_keys += fresh;
      k = n;
    }
    // The next entry belongs to a later leaf when it sorts above this one's
    // largest (equal would be the same row twice).
    if (j < entries.size() && !unbounded && last) {
      const int order = last->Compare(entries[j]);
      if (order == 0) return MakeError(ErrorCode::kAlreadyExists, fmt::format("index page {} already holds the entry "
                                                                              "for row {} of page {}", leaf_page,
                                                                              entries[j].data_row, entries[j].data_page));
      if (order < 0) after = page.next_page();
    }
    const format::IndexPageLinks links{page.tdef_page(), page.prev_page(), page.next_page(), 0};
    JET_ASSIGN_OR_RETURN(image, store_.Write(leaf_page));
    if (!format::BuildIndexPageFrom(true, links, flat_, flat_ends_, 0, count, image))
      return Corrupt(leaf_page, "merged entries do not fit the page");
    ++version_;
    i = j;
  }
  return {};
}

// The common insert, made where the entries lie: the leaf gets the entry
// spliced in, and when it becomes the leaf's largest, the node entries that
// copy it are replaced the same way. Nothing is written unless every one of
// those pages takes its change in place (*done then true); otherwise the
// caller takes the general road, which may split pages.
Result<bool> IndexTree::InsertInPlace(const format::IndexProbe& probe, const IndexPosition* position, bool* done) {
  *done = false;
  uint32_t leaf_page = 0;
  format::IndexPageView page;
  size_t at = 0;
  bool seen = false;
  if (position) {
    // Contains found no entry of this key: no neighbour to look at either.
    path_.resize(position->path.size());
    for (size_t i = 0; i < path_.size(); ++i) {
      const IndexPosition::Step& p = position->path[i];
      Descent& d = path_[i];
      // Opened only when a node changes (OpenPath): most inserts change the leaf alone.
      d.page = p.page;
      d.view = format::IndexPageView();
      d.viewed = false;
      d.start = p.start;
      d.end = p.end;
      d.tail = p.tail;
      d.child = p.child;
    }
    leaf_page = position->leaf;
    JET_ASSIGN_OR_RETURN(view, View(leaf_page));
    page = view;
    at = position->at;
    if (!page.leaf() || at > page.data_end()) return Corrupt(leaf_page, "index position out of date");
  } else {
    JET_ASSIGN_OR_RETURN(leaf, DescendTo(probe, &leaf_page, &path_));
    page = leaf.view;
    JET_ASSIGN_OR_RETURN(found, page.LowerBound(probe));
    at = found;
  }
  if (!position) {
    if (at < page.data_end()) {
      JET_ASSIGN_OR_RETURN(e, page.EntryAt(at));
      if (e.SameRow(probe)) {
        return MakeError(ErrorCode::kAlreadyExists,
                         fmt::format("index page {} already holds the entry for row {} of page {}", leaf_page,
                                     probe.data_row, probe.data_page));
      }
      seen = e.CompareKey(probe.key) == 0;
    }
    // Equal keys may sit before it, on this leaf or the one before.
    if (!seen && at > 0) {
      JET_ASSIGN_OR_RETURN(before, page.Before(at));
      seen = before.CompareKey(probe.key) == 0;
    } else if (!seen && page.prev_page() != 0) {
      JET_ASSIGN_OR_RETURN(has, HasKey(page.prev_page(), true, probe.key));
      seen = has;
    }
    if (!seen && at == page.data_end() && page.next_page() != 0) {
      JET_ASSIGN_OR_RETURN(has, HasKey(page.next_page(), false, probe.key));
      seen = has;
    }
  }

  format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, true, 0, &entry_);
  if (at < page.data_end()) {
    // Not the leaf's largest: the leaf alone changes, spliced once where it
    // lies (a leaf that must split is rebuilt whole anyway).
    JET_ASSIGN_OR_RETURN(spliced, Splice(leaf_page, page, at, at));
    if (!spliced) {
      JET_TRY(OpenPath());
      return SplitLeaf(probe, leaf_page, page, at, seen, done);
    }
    *done = true;
    return !seen;
  }
  JET_TRY(OpenPath());
  if (!format::SpliceIndexEntry(page, {}, at, at, entry_)) return SplitLeaf(probe, leaf_page, page, at, seen, done);
  // A new largest entry: the node entries above that copy the largest one change too.
  size_t changed_nodes = 0;
  for (size_t level = path_.size(); level-- > 0;) {
    const Descent& step = path_[level];
    if (step.tail) continue;  // a tail's largest entry is not stored in its parent
    format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, false, step.child, &entry_);
    if (!format::SpliceIndexEntry(step.view, {}, step.start, step.end, entry_)) return !seen;
    changed_nodes = path_.size() - level;
    if (step.end != step.view.data_end() || step.view.tail_page() != 0) break;
  }
  for (size_t level = path_.size() - changed_nodes; level < path_.size(); ++level) {
    const Descent& step = path_[level];
    if (step.tail) continue;
    format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, false, step.child, &entry_);
    JET_ASSIGN_OR_RETURN(spliced, Splice(step.page, step.view, step.start, step.end));
    if (!spliced) return Corrupt(step.page, "node page changed during an insert");
  }
  format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, true, 0, &entry_);
  JET_ASSIGN_OR_RETURN(spliced, Splice(leaf_page, page, at, at));
  if (!spliced) return Corrupt(leaf_page, "leaf page changed during an insert");
  *done = true;
  return !seen;
}

// Splices entry_ in place of the entries stored in [start, end) of a page,
// asking the store for just the bytes that change, so that undoing the
// statement keeps those rather than the whole page. False, with nothing
// written, when it does not fit.
Result<bool> IndexTree::Splice(uint32_t page, const format::IndexPageView& view, size_t start, size_t end) {
  format::IndexSpliceBytes bytes;
  if (!format::PlanIndexSplice(view, start, end, entry_, &bytes)) return false;
  std::span<std::byte> image;
  if (bytes.whole) {
    JET_ASSIGN_OR_RETURN(whole, store_.Write(page));
    image = whole;
  } else {
    JET_ASSIGN_OR_RETURN(fixed, store_.WriteBytes(page, 0, format::kIndexMaskOffset));
    JET_ASSIGN_OR_RETURN(mask, store_.WriteBytes(page, bytes.mask_from, bytes.mask_to - bytes.mask_from));
    JET_ASSIGN_OR_RETURN(data, store_.WriteBytes(page, bytes.data_from, bytes.data_to - bytes.data_from));
    if (mask.data() != fixed.data() || data.data() != fixed.data()) return Corrupt(page, "page moved while written");
    image = fixed;
  }
  if (image.size() != format::kIndexPageSize) return Corrupt(page, "page size is not 4096");
  JET_ASSIGN_OR_RETURN(writable, WritableView(page, view, image));
  if (!format::WriteIndexSplice(writable, image, start, end, entry_, bytes))
    return Corrupt(page, "page changed during an insert");
  return true;
}

// The pager gives a page's writable image where its read one lies, so a view
// opened on the read image serves; it is opened anew should they differ.
Result<format::IndexPageView> IndexTree::WritableView(uint32_t page, const format::IndexPageView& view,
                                                      std::span<std::byte> image) {
  if (view.image().data() == image.data() && view.image().size() == image.size()) return view;
  return format::IndexPageView::Open(image, page);
}

Status IndexTree::OpenPath() {
  for (Descent& d : path_) {
    if (d.viewed) continue;
    JET_ASSIGN_OR_RETURN(view, View(d.page));
    d.view = view;
    d.viewed = true;
  }
  return {};
}

// A leaf that must split, split from the views: the leaf's first entries
// move to a new page linked before it, its parent gets that page's entry in
// front of the leaf's (and the leaf's new largest entry when it changed), and
// the nodes above that copy the largest entry change in place. Every page
// comes out as the general road (InsertAt, Split) writes it. That road stays
// for a root that is a leaf, a parent without a tail and a parent or node
// above that would have to split as well; nothing is written then.
Result<bool> IndexTree::SplitLeaf(const format::IndexProbe& probe, uint32_t leaf_page,
                                  const format::IndexPageView& page, size_t at, bool seen, bool* done) {
  *done = false;
  if (path_.empty()) return !seen;
  const Descent& parent = path_.back();
  if (parent.view.tail_page() == 0) return !seen;

  // The leaf's entries with the new one, whole, and where they split (as Split chooses).
  flat_.clear();
  flat_ends_.clear();
  const size_t entry_end[] = {entry_.size()};
  JET_TRY(format::AppendWholeEntries(page, at, at, entry_, entry_end, &flat_, &flat_ends_));
  const size_t n = flat_ends_.size();
  auto fits = [&](size_t h) {
    return format::IndexEntryBytes(true, flat_, flat_ends_, 0, h) <= format::kIndexEntryCapacity &&
           format::IndexEntryBytes(true, flat_, flat_ends_, h, n) <= format::kIndexEntryCapacity;
  };
  const size_t half = SplitPoint(n, fits);
  if (half == 0) return Corrupt(leaf_page, "entries too large to split");
  const bool new_max = at == page.data_end();

  // The parent's entries: the new page's in front of the leaf's, which copies
  // the new entry when that is the leaf's largest. The new page's number is
  // filled in once it is allocated.
  auto node_entry = [&](size_t i, uint32_t child, std::vector<uint8_t>* out) {
    const size_t begin = i == 0 ? 0 : flat_ends_[i - 1];
    out->insert(out->end(), flat_.begin() + static_cast<std::ptrdiff_t>(begin),
                flat_.begin() + static_cast<std::ptrdiff_t>(flat_ends_[i]));
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(child >> shift));
  };
  node_entries_.clear();
  node_entry(half - 1, 0, &node_entries_);
  size_t node_ends[2] = {node_entries_.size(), 0};
  size_t replaced = 1;
  size_t start = parent.tail ? parent.view.data_end() : parent.start, end = start;
  if (new_max && !parent.tail) {
    node_entry(n - 1, leaf_page, &node_entries_);
    node_ends[1] = node_entries_.size();
    replaced = 2;
    end = parent.end;
  }
  parent_flat_.clear();
  parent_ends_.clear();
  JET_TRY(format::AppendWholeEntries(parent.view, start, end, node_entries_, std::span(node_ends, replaced),
                                     &parent_flat_, &parent_ends_));
  if (format::IndexEntryBytes(false, parent_flat_, parent_ends_, 0, parent_ends_.size()) >
      format::kIndexEntryCapacity) {
    return !seen;
  }
  // Where the new page's number goes: the last four bytes of its entry.
  size_t left_index = 0;  // the parent's entries before it
  for (size_t pos = 0; pos < start; ++left_index) {
    JET_ASSIGN_OR_RETURN(e, parent.view.EntryAt(pos));
    pos = e.end;
  }
  // A tail's largest entry changes the nodes above as Insert's do.
  size_t changed_nodes = 0;
  if (new_max && parent.tail) {
    for (size_t level = path_.size() - 1; level-- > 0;) {
      const Descent& step = path_[level];
      if (step.tail) continue;
      format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, false, step.child, &entry_);
      if (!format::SpliceIndexEntry(step.view, {}, step.start, step.end, entry_)) return !seen;
      changed_nodes = path_.size() - 1 - level;
      if (step.end != step.view.data_end() || step.view.tail_page() != 0) break;
    }
  }

  // Everything fits: write.
  const uint32_t leaf_tdef = page.tdef_page();
  const uint32_t leaf_prev = page.prev_page();
  const uint32_t leaf_next = page.next_page();
  const format::IndexPageLinks parent_links{parent.view.tdef_page(), parent.view.prev_page(),
                                            parent.view.next_page(), parent.view.tail_page()};
  JET_ASSIGN_OR_RETURN(left_number, Allocate());
  {
    const size_t child_at = parent_ends_[left_index] - 4;
    for (int i = 0; i < 4; ++i) parent_flat_[child_at + i] = static_cast<uint8_t>(left_number >> (24 - 8 * i));
  }
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(left_number));
    const format::IndexPageLinks links{leaf_tdef ? leaf_tdef : tdef_page_, leaf_prev, leaf_page, 0};
    if (!format::BuildIndexPageFrom(true, links, flat_, flat_ends_, 0, half, image))
      return Corrupt(left_number, "entries do not fit on the page");
  }
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(leaf_page));
    const format::IndexPageLinks links{leaf_tdef, left_number, leaf_next, 0};
    if (!format::BuildIndexPageFrom(true, links, flat_, flat_ends_, half, n, image))
      return Corrupt(leaf_page, "entries do not fit on the page");
  }
  if (leaf_prev != 0) {
    JET_ASSIGN_OR_RETURN(image, store_.Write(leaf_prev));
    JET_ASSIGN_OR_RETURN(view, format::IndexPageView::Open(image, leaf_prev));
    if (!format::RelinkIndexPage(view, image, std::nullopt, left_number)) {
      JET_ASSIGN_OR_RETURN(before, Load(leaf_prev));
      before.next_page = left_number;
      JET_TRY(Store(leaf_prev, before));
    }
  }
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(parent.page));
    if (!format::BuildIndexPageFrom(false, parent_links, parent_flat_, parent_ends_, 0, parent_ends_.size(), image))
      return Corrupt(parent.page, "entries do not fit on the page");
  }
  for (size_t level = path_.size() - 1 - changed_nodes; level + 1 < path_.size(); ++level) {
    const Descent& step = path_[level];
    if (step.tail) continue;
    format::EncodeIndexEntry(probe.key, probe.data_page, probe.data_row, false, step.child, &entry_);
    JET_ASSIGN_OR_RETURN(spliced, Splice(step.page, step.view, step.start, step.end));
    if (!spliced) return Corrupt(step.page, "node page changed during an insert");
  }
  *done = true;
  return !seen;
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
    const std::span<const IndexEntry> all(page.entries);
    return format::IndexEntryBytes(all.first(h), page.leaf) <= format::kIndexEntryCapacity &&
           format::IndexEntryBytes(all.subspan(h), page.leaf) <= format::kIndexEntryCapacity;
  };
  const size_t half = SplitPoint(n, fits);
  if (half == 0) return Corrupt(page_number, "entries too large to split");
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
  ++version_;
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

Status IndexTree::WalkKeys(const std::function<void(std::span<const uint8_t>)>& visit) {
  JET_ASSIGN_OR_RETURN(first, LeftmostLeaf());
  std::vector<uint8_t> key;
  std::vector<bool> seen(store_.PageCount(), false);
  for (uint32_t page_number = first; page_number != 0;) {
    if (page_number >= seen.size()) return Corrupt(page_number, "leaf chain leaves the file");
    if (seen[page_number]) return Corrupt(page_number, "leaf chain loops");
    seen[page_number] = true;
    JET_ASSIGN_OR_RETURN(page, View(page_number));
    if (!page.leaf()) return Corrupt(page_number, "leaf chain reaches a node page");
    for (size_t at = 0; at < page.data_end();) {
      JET_ASSIGN_OR_RETURN(e, page.EntryAt(at));
      key.resize(e.key_size());
      std::memcpy(key.data(), e.head.data(), e.head.size());
      std::memcpy(key.data() + e.head.size(), e.tail.data(), e.tail.size());
      visit(key);
      at = e.end;
    }
    page_number = page.next_page();
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
