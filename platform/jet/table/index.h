#pragma once
// An index B-tree over the page store (docs/access-format.md §9.5): find, insert
// and remove entries, splitting pages as they fill and freeing them as they
// empty, and walking or verifying the whole tree for `check`.
//
// Invariants kept after every operation:
//  1. Leaves hold the entries in order (key bytes, then data page and row) and
//     are chained through prev/next across the whole level.
//  2. A node entry is a copy of the largest entry of its child's subtree plus
//     the child's page number; a node with several children keeps the last in
//     its tail field, one with a single child keeps it as its one entry.
//  3. Node pages are chained only with siblings under the same parent.
//  4. The root page number never changes: a full root moves its entries down
//     into two new pages; an emptied root becomes an empty leaf.
// New pages come from `allocate_page` (the caller records them in the global
// and the index's usage maps); pages the tree no longer uses go to `free_page`.
//
// Find, Contains and the common Insert read pages where they lie
// (format::IndexPageView: a bisection over the entry mask, nothing copied)
// and splice the entry into the leaf, and into the nodes above when it is a
// new largest entry; nothing is kept between calls, so the tree never sees a
// stale page after the pager undoes a statement. Pages are parsed whole
// (format::IndexPage) only to split, to remove entries and to walk or verify.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/jet/file/page_store.h"
#include "platform/jet/format/index_page.h"
#include "platform/jet/public/result.h"

namespace jet::table {

struct IndexCallbacks {
  std::function<Result<uint32_t>()> allocate_page;
  std::function<Status(uint32_t)> free_page;
};

class IndexTree;

// Where Insert puts a key that Contains found absent, so that a unique
// index's check and its insert share one descent. Valid for an Insert of that
// key into the same tree while nothing else changes the tree; otherwise
// Insert ignores it and searches anew.
struct IndexPosition {
  const IndexTree* tree = nullptr;  // none: no position
  uint64_t version = 0;
  uint32_t leaf = 0;
  size_t at = 0;  // the entry the key goes before
  struct Step {
    uint32_t page = 0;
    size_t start = 0, end = 0;
    bool tail = false;
    uint32_t child = 0;
  };
  std::vector<Step> path;  // the nodes above the leaf, root first
};

class IndexTree {
 public:
  // `tdef_page` is written into new pages (the table the index belongs to).
  IndexTree(PageStore& store, uint32_t root_page, uint32_t tdef_page, IndexCallbacks callbacks = {});

  // Writes an empty leaf root at `page`, for a new index.
  static Status InitializeRoot(PageStore& store, uint32_t page, uint32_t tdef_page);

  // The leaf entries whose key equals `key`, in order.
  Result<std::vector<format::IndexEntry>> Find(const format::IndexKey& key);
  // Whether a leaf entry has this key (a unique index's check). When it has
  // not, `position` (if given) gets where Insert puts it.
  Result<bool> Contains(const format::IndexKey& key, IndexPosition* position = nullptr);

  // Adds the entry for a row; true when no entry had this key before (the
  // table definition's unique-entry count then grows). An entry already
  // present for the same key and row is an error (kAlreadyExists).
  // `position`: what Contains found for this key, saving a descent.
  Result<bool> Insert(const format::IndexKey& key, uint32_t data_page, uint8_t data_row,
                      const IndexPosition* position = nullptr);

  // Whether Insert takes an entry of this key for a row on `data_page` (a
  // key too long for a page, a page number beyond 24 bits), for entries
  // that wait before they go in.
  static Status CheckEntry(std::span<const uint8_t> key, uint32_t data_page = 0);

  // Adds the entries for many rows, sorted as entries sort (key, then data
  // page and row), as Insert would one after another; a leaf that takes
  // several of them is written once. `new_keys` gets how many keys no entry
  // had before. An error may leave some of them added.
  Status InsertSorted(std::span<const format::IndexProbe> entries, size_t* new_keys);

  // Removes the entry for a row; kNotFound when there is none.
  Status Remove(const format::IndexKey& key, uint32_t data_page, uint8_t data_row);

  // Visits every leaf entry in order along the leaf chain; a loop, a page
  // that is not a leaf, entries out of order or a broken back link are a
  // Corruption naming the page.
  Status Walk(const std::function<Status(const format::IndexEntry&)>& visit);

  // Visits every leaf entry's key in order along the leaf chain, read where
  // it lies (the span lasts for the call); a loop or a page that is not a
  // leaf is a Corruption. Order is not checked (Walk does).
  Status WalkKeys(const std::function<void(std::span<const uint8_t>)>& visit);

  // Walk, plus the tree's structure: every node entry equals its child's
  // largest entry, tails are where they belong, the leaves reached from the
  // root are exactly the leaf chain.
  Status Verify();

  // Every page of the tree, root first.
  Result<std::vector<uint32_t>> Pages();

 private:
  struct InsertChange;
  struct RemoveChange;

  // A node on the way down and the entry followed there (or its tail).
  struct Descent {
    uint32_t page = 0;
    format::IndexPageView view;
    size_t start = 0, end = 0;  // the entry's stored bytes
    bool tail = false;
    uint32_t child = 0;
    bool viewed = true;  // false: `view` not opened yet (OpenPath)
  };

  Result<format::IndexPage> Load(uint32_t page);
  Result<std::span<const std::byte>> PageImage(uint32_t page);  // a page of the file, checked to be one
  Result<format::IndexPageView> View(uint32_t page);
  // The leaf a search for `probe` ends on, and the path there.
  Result<Descent> DescendTo(const format::IndexProbe& probe, uint32_t* leaf_page, std::vector<Descent>* path);
  Result<format::IndexPageView> WritableView(uint32_t page, const format::IndexPageView& view,
                                             std::span<std::byte> image);
  Status OpenPath();  // opens the views of path_ not opened yet
  Result<bool> Splice(uint32_t page, const format::IndexPageView& view, size_t start, size_t end);
  Result<bool> InsertInPlace(const format::IndexProbe& probe, const IndexPosition* position, bool* done);
  Result<bool> SplitLeaf(const format::IndexProbe& probe, uint32_t leaf_page, const format::IndexPageView& page,
                         size_t at, bool seen, bool* done);
  Status Store(uint32_t page, const format::IndexPage& image);
  Result<uint32_t> Allocate();
  Result<InsertChange> InsertAt(uint32_t page, const format::IndexEntry& entry, int depth, bool* new_key);
  Result<RemoveChange> RemoveAt(uint32_t page, const format::IndexEntry& entry, int depth);
  Status Split(uint32_t page_number, format::IndexPage& page, InsertChange* change);
  Status UnlinkBoundaryChildren(uint32_t left_last, uint32_t right_first);
  Status Unlink(const format::IndexPage& page);
  Result<format::IndexEntry> SubtreeMax(uint32_t page, int depth);
  Result<bool> HasKey(uint32_t page, bool last, std::span<const uint8_t> key);
  Result<format::IndexEntry> VerifyNode(uint32_t page, int depth, const format::IndexEntry* lower,
                                        std::vector<uint32_t>* leaves, std::vector<uint32_t>* seen);
  Result<uint32_t> LeftmostLeaf();

  PageStore& store_;
  uint64_t version_ = 0;  // counts changes, which end an IndexPosition
  int leaf_depth_ = 0;     // how deep the last search found the leaves
  uint32_t root_;
  uint32_t tdef_page_;
  IndexCallbacks callbacks_;
  std::vector<Descent> path_;    // scratch of Insert
  std::vector<uint8_t> entry_;   // scratch: an entry's stored form
  // Scratch of SplitLeaf: entries in whole stored form, and where each ends.
  std::vector<uint8_t> flat_, parent_flat_, node_entries_;
  std::vector<size_t> flat_ends_, parent_ends_;
  std::vector<size_t> added_at_;  // scratch of InsertSorted
};

}  // namespace jet::table
