#include "platform/jet/table/table_appender.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>

#include "platform/jet/format/data_page.h"
#include "platform/jet/format/header.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/format/row.h"
#include "platform/jet/table/cell_encoding.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/key_columns.h"
#include "platform/jet/table/key_filter.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/long_value_writer.h"
#include "platform/jet/table/pending_entries.h"
#include "platform/jet/table/relationships.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"
#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {
namespace {

using format::ColumnDef;
using format::ConstBytes;
using format::MutableBytes;
using format::RowPointer;

constexpr size_t kTdefUniqueCountOffset = format::kTdefFixedPartSize + 4;  // + 12 x real index
constexpr size_t kRealIndexBlock = 12;
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

Error Invalid(std::string message) { return MakeError(ErrorCode::kInvalidValue, std::move(message)); }


Guid RandomGuid() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  Guid g;
  uint64_t a = engine(), b = engine();
  std::memcpy(g.bytes, &a, 8);
  std::memcpy(g.bytes + 8, &b, 8);
  g.bytes[7] = static_cast<uint8_t>((g.bytes[7] & 0x0F) | 0x40);  // version 4 (Data3 is little-endian)
  g.bytes[8] = static_cast<uint8_t>((g.bytes[8] & 0x3F) | 0x80);
  return g;
}

}  // namespace

class TableAppender::Impl {
 public:
  Impl(PageStore& store, PageAllocator& pages, uint32_t tdef_page, AppendOptions options)
      : store_(store), pages_(pages), tdef_page_(tdef_page), options_(options) {}

  Status Load();
  Result<RowPointer> Insert(std::span<const Cell> cells);
  Status Delete(RowPointer row);
  Status Finish();
  bool HasPending() const;
  size_t PendingBytes() const;
  Status WritePending();
  void KeepStatement();
  void DiscardStatement();

  const format::TableDefinition& def() const { return table_->definition(); }
  uint32_t tdef_page() const { return tdef_page_; }

 private:
  struct VarSlot {
    size_t column = 0;  // index into the columns
    uint16_t var_index = 0;
    bool long_value = false;
  };
  struct IndexPlan {
    std::vector<size_t> columns;  // indexes into the columns
    std::vector<format::KeyColumn> key;
    uint8_t flags = 0;
    std::unique_ptr<IndexTree> tree;
    std::string problem;  // why its keys cannot be written, if so
  };
  // A relationship whose foreign key this table holds: each new row's key
  // must be in the referenced table's index.
  struct ReferenceCheck {
    std::vector<size_t> columns;         // this table's, in the referenced index's column order
    std::vector<format::KeyColumn> key;  // the referenced index's
    std::unique_ptr<IndexTree> tree;
    std::string referenced;  // the referenced table's name
    int own_index = -1;      // a table that references itself: its B-tree among indexes_
  };
  struct Encoded {  // one variable column's bytes in var_data_
    size_t offset = 0, size = 0;
    bool null = true;
    bool inline_value = true;  // long values: stored in the row
  };

  std::string Name(size_t column) const { return def().columns[column].name; }
  Status PlanIndexes();
  Status PlanReferenceChecks();
  // The key into `key`, whose buffer is reused from row to row.
  Status KeyOf(IndexPlan& plan, std::span<const Cell* const> cells, bool* all_null, bool* any_null,
               format::IndexKey* key);
  Status PlanDeferred();
  // Whether a unique index holds `key` already, among its pending entries
  // or in its tree.
  Result<bool> DeferredHolds(size_t index, const format::IndexKey& key, uint64_t hash);
  Status FillFilter(size_t index, size_t keys);
  Status PlaceRow(ConstBytes row, RowPointer* at);
  Status RetireCandidate(uint32_t page);
  Status ReleaseDataPage(uint32_t page);

  PageStore& store_;
  PageAllocator& pages_;
  uint32_t tdef_page_;
  AppendOptions options_;
  std::unique_ptr<Table> table_;

  // Entries waiting for their trees, by real index (options_.defer_index_entries).
  struct Deferred {
    uint32_t root = 0;  // the tree they wait for
    PendingEntries pending;
    std::optional<KeyFilter> filter;  // unique indexes: the keys the tree and `pending` may hold
  };
  std::vector<Deferred> deferred_;  // empty: entries go straight in
  // WritePending put the entries into their trees in the statement under
  // way: they leave once it is kept, and wait again if it is undone.
  bool written_ = false;

  // Layout of a row of this table.
  size_t fixed_end_ = 2;
  uint16_t var_count_ = 0;
  size_t mask_size_ = 0;
  std::vector<VarSlot> var_order_;                // variable columns by var index
  std::vector<std::unique_ptr<LongValueWriter>> long_values_;  // by column, memo/OLE only
  std::vector<IndexPlan> indexes_;
  std::vector<ReferenceCheck> references_;

  // State of the table.
  std::vector<uint32_t> candidates_;  // owned pages in the free-space map, ascending; the last is tried first
  uint32_t current_ = 0;              // the data page rows go to
  uint32_t row_count_ = 0;
  uint32_t autonumber_ = 0;
  std::vector<uint32_t> unique_counts_;
  std::vector<uint32_t> stored_counts_;  // as the definition holds them
  bool dirty_ = false;

  // Scratch kept between rows.
  std::vector<std::byte> row_, var_data_;
  std::vector<Encoded> encoded_;
  std::vector<const Cell*> effective_;
  std::vector<Cell> generated_;  // autonumbers given to Null cells
  std::vector<format::IndexKey> keys_;
  std::vector<uint8_t> skip_index_;
  std::vector<IndexPosition> positions_;  // where a unique index's check found room for the key
  std::vector<uint64_t> hashes_;          // each key's HashKey, when deferred
  struct KeyState {
    bool all_null = false, any_null = false;  // of the key's columns
    bool made = false;                        // keys_ holds it, and hashes_ its hash
  };
  std::vector<KeyState> key_states_;
  format::IndexKey delete_key_;
};

Status TableAppender::Impl::Load() {
  JET_ASSIGN_OR_RETURN(table, Table::Open(store_, tdef_page_, fmt::format("on page {}", tdef_page_)));
  table_ = std::move(table);
  const auto& d = def();
  const auto& cols = d.columns;

  fixed_end_ = 2;
  var_order_.clear();
  long_values_.clear();
  long_values_.resize(cols.size());
  uint16_t max_var = 0;
  for (size_t i = 0; i < cols.size(); ++i) {
    const ColumnDef& c = cols[i];
    if (c.number >= d.max_columns)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("table on page {}: column {} has number {}, beyond its {} columns", tdef_page_,
                                   c.name, c.number, d.max_columns));
    if (c.is_boolean()) continue;
    if (c.fixed()) {
      fixed_end_ = std::max(fixed_end_, 2 + static_cast<size_t>(c.fixed_offset) + c.length);
      continue;
    }
    var_order_.push_back(VarSlot{i, c.var_index, c.is_long_value()});
    max_var = std::max<uint16_t>(max_var, static_cast<uint16_t>(c.var_index + 1));
    if (c.is_long_value()) {
      RowPointer owned, free;
      for (const auto& m : d.column_maps)
        if (m.column_number == c.number) owned = m.owned, free = m.free;
      long_values_[i] = std::make_unique<LongValueWriter>(store_, pages_, owned, free);
    }
  }
  std::sort(var_order_.begin(), var_order_.end(),
            [](const VarSlot& a, const VarSlot& b) { return a.var_index < b.var_index; });
  var_count_ = var_order_.empty() ? 0 : std::max<uint16_t>(d.var_columns, max_var);
  mask_size_ = (d.max_columns + 7u) / 8u;

  row_count_ = d.row_count;
  autonumber_ = d.autonumber;
  unique_counts_.clear();
  for (const auto& r : d.real_indexes) unique_counts_.push_back(r.unique_entries);
  stored_counts_ = unique_counts_;
  JET_TRY(PlanIndexes());
  JET_TRY(PlanReferenceChecks());
  JET_TRY(PlanDeferred());

  // Candidate pages: owned pages the free-space map still lists.
  std::string label = fmt::format("the usage maps of the table on page {}", tdef_page_);
  JET_ASSIGN_OR_RETURN(owned, ReadUsageMap(store_, d.owned_pages, label));
  JET_ASSIGN_OR_RETURN(free, ReadUsageMap(store_, d.free_pages, label));
  candidates_.clear();
  std::set_intersection(owned.begin(), owned.end(), free.begin(), free.end(), std::back_inserter(candidates_));
  current_ = 0;
  dirty_ = false;
  encoded_.assign(cols.size(), Encoded{});
  effective_.assign(cols.size(), nullptr);
  generated_.assign(cols.size(), Cell{});
  return {};
}

Status TableAppender::Impl::PlanIndexes() {
  indexes_.clear();
  const auto& d = def();
  for (const auto& real : d.real_indexes) {
    IndexPlan plan;
    plan.flags = real.flags;
    IndexCallbacks callbacks;
    RowPointer map = real.usage_map;
    callbacks.allocate_page = [this, map]() -> Result<uint32_t> {
      JET_ASSIGN_OR_RETURN(page, pages_.Allocate());
      JET_TRY(SetMapPage(store_, pages_, map, page, true));
      return page;
    };
    callbacks.free_page = [this, map](uint32_t page) -> Status {
      JET_TRY(SetMapPage(store_, pages_, map, page, false));
      return pages_.Release(page);
    };
    plan.tree = std::make_unique<IndexTree>(store_, real.root_page, tdef_page_, std::move(callbacks));
    for (const auto& ic : real.columns) {
      auto it = std::find_if(d.columns.begin(), d.columns.end(),
                             [&](const ColumnDef& c) { return c.number == ic.column_number; });
      if (it == d.columns.end()) {
        plan.problem = fmt::format("an index names column number {}, which the table does not have", ic.column_number);
        break;
      }
      auto key = KeyColumnOf(store_, *it, ic.ascending);
      if (!key) {
        if (key.error().code != ErrorCode::kNotSupported) return key.error();
        plan.problem = key.error().message;
        break;
      }
      plan.columns.push_back(static_cast<size_t>(it - d.columns.begin()));
      plan.key.push_back(*key);
    }
    indexes_.push_back(std::move(plan));
  }
  return {};
}

Status TableAppender::Impl::PlanReferenceChecks() {
  references_.clear();
  const auto& d = def();
  std::vector<CatalogObject> objects;
  for (const auto& l : d.logical_indexes) {
    if (l.kind != format::kLogicalIndexRelationship || l.side != format::kRelationshipForeignKey) continue;
    if (l.real_index >= d.real_indexes.size())
      return MakeError(ErrorCode::kCorruption, fmt::format("the relationship index {} of the table on page {} names "
                                                           "a missing B-tree", l.name, tdef_page_));
    std::unique_ptr<Table> other;
    if (l.other_tdef != tdef_page_) {
      JET_ASSIGN_OR_RETURN(opened, Table::Open(store_, l.other_tdef, fmt::format("on page {}", l.other_tdef)));
      other = std::move(opened);
    }
    const format::TableDefinition& od = other ? other->definition() : d;
    auto partner = std::find_if(od.logical_indexes.begin(), od.logical_indexes.end(),
                                [&](const auto& o) { return o.number == l.other_index; });
    if (partner == od.logical_indexes.end() || partner->real_index >= od.real_indexes.size())
      return MakeError(ErrorCode::kCorruption, fmt::format("the relationship index {} of the table on page {} names "
                                                           "an index its other table lacks", l.name, tdef_page_));
    const format::RealIndex& referenced = od.real_indexes[partner->real_index];
    std::vector<uint16_t> own;
    for (const auto& c : d.real_indexes[l.real_index].columns) own.push_back(c.column_number);
    JET_ASSIGN_OR_RETURN(reference, ReferenceKeyOf(store_, d, own, od, referenced,
                                                   fmt::format("on page {}", tdef_page_)));
    ReferenceCheck check;
    check.columns = std::move(reference.positions);
    check.key = std::move(reference.key);
    check.tree = std::make_unique<IndexTree>(store_, referenced.root_page, l.other_tdef);
    if (!other) {
      check.own_index = static_cast<int>(partner->real_index);
      check.referenced = "(this table)";
    }
    if (objects.empty()) {
      JET_ASSIGN_OR_RETURN(read, ReadCatalog(store_));
      objects = std::move(read);
    }
    for (const auto& o : objects)
      if (o.IsUserTable() && o.tdef_page() == l.other_tdef) check.referenced = o.name;
    references_.push_back(std::move(check));
  }
  return {};
}

Status TableAppender::Impl::KeyOf(IndexPlan& plan, std::span<const Cell* const> cells, bool* all_null,
                                  bool* any_null, format::IndexKey* key) {
  if (!plan.problem.empty()) return MakeError(ErrorCode::kNotSupported, plan.problem);
  *all_null = true;
  *any_null = false;
  for (size_t k = 0; k < plan.columns.size(); ++k) {
    plan.key[k].value = cells[plan.columns[k]];
    // A Yes/No column is never Null: its key is No.
    bool null = IsNull(*plan.key[k].value) && plan.key[k].type != ColumnType::kBoolean;
    *all_null = *all_null && null;
    *any_null = *any_null || null;
  }
  key->clear();
  for (const auto& column : plan.key) {
    if (Status appended = format::AppendKeyColumn(column, key); !appended) {
      std::string names;
      for (size_t k : plan.columns) names += (names.empty() ? "" : ", ") + Name(k);
      return MakeError(appended.error().code, fmt::format("the table's index on {} cannot be updated: {}", names,
                                                          appended.error().message));
    }
  }
  return {};
}

Result<RowPointer> TableAppender::Impl::Insert(std::span<const Cell> cells) {
  const auto& cols = def().columns;
  if (cells.size() != cols.size())
    return Invalid(fmt::format("the table has {} columns but {} values were given", cols.size(), cells.size()));

  // Autonumbers for Null cells of AutoNumber columns.
  uint32_t autonumber = autonumber_;
  for (size_t i = 0; i < cols.size(); ++i) {
    const ColumnDef& c = cols[i];
    effective_[i] = &cells[i];
    if (c.type() == ColumnType::kLong && (c.flags & format::kColumnAutoLong)) {
      if (IsNull(cells[i])) {
        if (autonumber >= static_cast<uint32_t>(INT32_MAX))
          return Invalid(fmt::format("the AutoNumber column {} has run out of numbers", c.name));
        generated_[i] = Cell{int64_t{++autonumber}};
        effective_[i] = &generated_[i];
      } else if (auto* v = std::get_if<int64_t>(&cells[i]); v && *v > 0 && *v <= INT32_MAX) {
        autonumber = std::max(autonumber, static_cast<uint32_t>(*v));
      }
    } else if (c.type() == ColumnType::kGuid && (c.flags & format::kColumnAutoGuid) && IsNull(cells[i])) {
      generated_[i] = Cell{RandomGuid()};
      effective_[i] = &generated_[i];
    }
  }

  // Fixed columns and the null mask straight into the row; variable data aside.
  row_.assign(fixed_end_, std::byte{0});
  format::Put16(row_, 0, def().max_columns);
  var_data_.clear();
  std::byte mask[256] = {};  // up to 2048 columns' bits
  if (mask_size_ > sizeof mask) return MakeError(ErrorCode::kNotSupported, "the table has too many columns");
  for (size_t i = 0; i < cols.size(); ++i) {
    const ColumnDef& c = cols[i];
    const Cell& cell = *effective_[i];
    bool bit;
    if (c.is_boolean()) {
      JET_ASSIGN_OR_RETURN(b, BooleanCell(c, cell));
      bit = b;
    } else if (IsNull(cell)) {
      bit = false;
      if (!c.fixed()) encoded_[i] = Encoded{};
    } else if (c.fixed()) {
      JET_TRY(EncodeFixedCell(c, cell, MutableBytes(row_.data() + 2 + c.fixed_offset, c.length)));
      bit = true;
    } else {
      Encoded& e = encoded_[i];
      e.offset = var_data_.size();
      JET_TRY(AppendVariableCell(c, cell, var_data_));
      e.size = var_data_.size() - e.offset;
      e.null = false;
      e.inline_value = e.size <= format::kMaxInlineLongValue;
      bit = true;
    }
    if (bit) mask[c.number / 8] |= static_cast<std::byte>(1u << (c.number % 8));
  }

  // The row's size; long values leave the row while it is too large.
  size_t trailer = var_count_ ? 2u * (var_count_ + 1u) + 2u : 0u;
  auto row_size = [&] {
    size_t n = fixed_end_ + trailer + mask_size_;
    for (const VarSlot& v : var_order_) {
      const Encoded& e = encoded_[v.column];
      if (e.null) continue;
      n += v.long_value ? format::kLongValueHeaderSize + (e.inline_value ? e.size : 0) : e.size;
    }
    return n;
  };
  size_t size = row_size();
  while (size > format::kMaxRowSize) {
    Encoded* largest = nullptr;
    for (const VarSlot& v : var_order_) {
      Encoded& e = encoded_[v.column];
      if (v.long_value && !e.null && e.inline_value && e.size > 0 && (!largest || e.size > largest->size))
        largest = &e;
    }
    if (!largest)
      return Invalid(fmt::format("the row takes {} bytes, more than the {} a row may hold", size,
                                 format::kMaxRowSize));
    largest->inline_value = false;
    size = row_size();
  }

  // Unique indexes refuse a key they hold already, before anything is written.
  // (Once this statement has put the waiting entries in, its row's go straight in too.)
  const bool deferring = !deferred_.empty() && !written_;
  keys_.resize(indexes_.size());
  hashes_.resize(indexes_.size());
  skip_index_.assign(indexes_.size(), 0);
  positions_.resize(indexes_.size());
  key_states_.assign(indexes_.size(), KeyState{});
  if (deferring) {
    // The filters' lines are asked for at once, before the first is read.
    for (size_t x = 0; x < indexes_.size(); ++x) {
      KeyState& k = key_states_[x];
      if (!deferred_[x].filter || !KeyOf(indexes_[x], effective_, &k.all_null, &k.any_null, &keys_[x])) continue;
      k.made = true;
      hashes_[x] = HashKey(keys_[x]);
      deferred_[x].filter->Prefetch(hashes_[x]);
    }
  }
  for (size_t x = 0; x < indexes_.size(); ++x) {
    IndexPlan& plan = indexes_[x];
    format::IndexKey& key = keys_[x];
    KeyState& k = key_states_[x];
    positions_[x].tree = nullptr;
    if (!k.made) {
      JET_TRY(KeyOf(plan, effective_, &k.all_null, &k.any_null, &key));
      if (deferring) hashes_[x] = HashKey(key);
    }
    const bool all_null = k.all_null, any_null = k.any_null;
    // Access's own messages (errors 3058 and 3022).
    if ((plan.flags & kIndexRequired) && any_null) return Invalid(kNullInKeyMessage);
    if ((plan.flags & kIndexIgnoreNulls) && all_null) skip_index_[x] = 1;
    if (deferring) {
      // What the tree would refuse is refused now, not when the entries go in.
      if (!skip_index_[x]) JET_TRY(IndexTree::CheckEntry(key));
      if ((plan.flags & kIndexUnique) && !all_null) {
        JET_ASSIGN_OR_RETURN(held, DeferredHolds(x, key, hashes_[x]));
        if (held) return Invalid(kDuplicateKeyMessage);
      }
    } else if ((plan.flags & kIndexUnique) && !all_null) {
      // The check keeps where the key goes: the insert below needs no search of its own.
      JET_ASSIGN_OR_RETURN(held, plan.tree->Contains(key, &positions_[x]));
      if (held) return Invalid(kDuplicateKeyMessage);
    }
  }
  // Each foreign key given in full names a row of its referenced table (or this row itself).
  for (auto& check : references_) {
    bool any_null = false;
    for (size_t k = 0; k < check.columns.size(); ++k) {
      check.key[k].value = effective_[check.columns[k]];
      any_null = any_null || IsNull(*check.key[k].value);
    }
    if (any_null) continue;
    JET_ASSIGN_OR_RETURN(key, format::EncodeIndexKey(check.key));
    if (check.own_index >= 0 && keys_[check.own_index] == key) continue;
    JET_ASSIGN_OR_RETURN(found, check.tree->Find(key));
    if (found.empty()) return Invalid(RelatedRecordRequiredMessage(check.referenced));
  }

  // Long values that leave the row, then the row itself.
  size_t header_base = var_data_.size();
  var_data_.resize(header_base + var_order_.size() * format::kLongValueHeaderSize);
  for (size_t k = 0; k < var_order_.size(); ++k) {
    const VarSlot& v = var_order_[k];
    const Encoded& e = encoded_[v.column];
    if (!v.long_value || e.null) continue;
    MutableBytes header(var_data_.data() + header_base + k * format::kLongValueHeaderSize,
                        format::kLongValueHeaderSize);
    if (e.inline_value) {
      format::PutLongValueHeader(header, static_cast<uint32_t>(e.size), format::kLongValueInline, RowPointer{});
    } else {
      JET_TRY(long_values_[v.column]->Store(ConstBytes(var_data_.data() + e.offset, e.size), header));
    }
  }
  row_.reserve(size);
  if (var_count_) {
    uint16_t offsets[2048];
    if (var_count_ >= 2048) return MakeError(ErrorCode::kNotSupported, "the table has too many variable columns");
    size_t k = 0;
    for (uint16_t vi = 0; vi < var_count_; ++vi) {
      offsets[vi] = static_cast<uint16_t>(row_.size());
      for (; k < var_order_.size() && var_order_[k].var_index == vi; ++k) {
        const VarSlot& v = var_order_[k];
        const Encoded& e = encoded_[v.column];
        if (e.null) continue;
        const std::byte* data = var_data_.data() + e.offset;
        if (v.long_value) {
          const std::byte* header = var_data_.data() + header_base + k * format::kLongValueHeaderSize;
          row_.insert(row_.end(), header, header + format::kLongValueHeaderSize);
          if (e.inline_value) row_.insert(row_.end(), data, data + e.size);
        } else {
          row_.insert(row_.end(), data, data + e.size);
        }
      }
    }
    size_t at = row_.size();
    row_.resize(at + trailer);
    format::Put16(row_, at, static_cast<uint16_t>(at));  // end of the variable data
    for (uint16_t vi = 0; vi < var_count_; ++vi) format::Put16(row_, at + 2 + 2 * (var_count_ - 1u - vi), offsets[vi]);
    format::Put16(row_, row_.size() - 2, var_count_);
  }
  row_.insert(row_.end(), mask, mask + mask_size_);

  RowPointer at;
  JET_TRY(PlaceRow(row_, &at));
  for (size_t x = 0; x < indexes_.size(); ++x) {
    if (skip_index_[x]) continue;
    if (deferring) {
      Deferred& d = deferred_[x];
      JET_TRY(IndexTree::CheckEntry(keys_[x], at.page));
      d.pending.Add(keys_[x], hashes_[x], at.page, at.row);
      if (d.filter) d.filter->Add(hashes_[x]);
      continue;
    }
    JET_ASSIGN_OR_RETURN(fresh, indexes_[x].tree->Insert(keys_[x], at.page, at.row, &positions_[x]));
    if (fresh) ++unique_counts_[x];
    if (!deferred_.empty() && deferred_[x].filter) deferred_[x].filter->Add(HashKey(keys_[x]));  // it must know every key
  }
  ++row_count_;
  autonumber_ = autonumber;
  dirty_ = true;
  return at;
}

Status TableAppender::Impl::RetireCandidate(uint32_t page) {
  JET_TRY(SetMapPage(store_, pages_, def().free_pages, page, false));
  auto it = std::lower_bound(candidates_.begin(), candidates_.end(), page);
  if (it != candidates_.end() && *it == page) candidates_.erase(it);
  return {};
}

Status TableAppender::Impl::PlaceRow(ConstBytes row, RowPointer* at) {
  uint16_t index = 0;
  if (current_ != 0) {
    // The page most rows go to: patched where the row changes it, so that
    // undoing the statement keeps a few bytes rather than the whole page.
    JET_ASSIGN_OR_RETURN(image, store_.Read(current_));
    if (auto place = format::PlanAppendRow(image, row.size())) {
      std::byte entry[2], count[2], free_space[2];
      format::Put16(entry, 0, static_cast<uint16_t>(place->start));
      format::Put16(count, 0, static_cast<uint16_t>(place->index + 1));
      format::Put16(free_space, 0, place->free_space);
      JET_TRY(store_.Patch(current_, place->start, row));
      JET_TRY(store_.Patch(current_, format::kDataRowTableOffset + 2 * size_t{place->index}, entry));
      JET_TRY(store_.Patch(current_, format::kDataRowCountOffset, count));
      JET_TRY(store_.Patch(current_, format::kDataFreeSpaceOffset, free_space));
      *at = RowPointer{current_, static_cast<uint8_t>(place->index)};
      return {};
    }
    JET_TRY(RetireCandidate(current_));  // full for rows like this one
    current_ = 0;
  }
  while (!candidates_.empty()) {
    uint32_t page = candidates_.back();
    if (page < store_.PageCount()) {
      JET_ASSIGN_OR_RETURN(image, store_.Read(page));
      if (format::PageType(image) == format::kPageTypeData && format::DataPageOwner(image) == tdef_page_ &&
          format::DataPageFreeSpace(image) >= row.size() + 2 &&
          format::DataPageRowCount(image) < format::kMaxRowsPerPage) {
        JET_ASSIGN_OR_RETURN(writable, store_.Write(page));
        if (format::AppendRow(writable, row, &index)) {
          current_ = page;
          *at = RowPointer{page, static_cast<uint8_t>(index)};
          return {};
        }
      }
    }
    JET_TRY(RetireCandidate(page));
  }
  // A new data page, owned by the table and listed as having room.
  JET_ASSIGN_OR_RETURN(page, pages_.Allocate());
  {
    JET_ASSIGN_OR_RETURN(image, store_.Write(page));
    format::InitDataPage(image, tdef_page_);
  }
  JET_TRY(SetMapPage(store_, pages_, def().owned_pages, page, true));
  JET_TRY(SetMapPage(store_, pages_, def().free_pages, page, true));
  candidates_.push_back(page);
  std::sort(candidates_.begin(), candidates_.end());
  JET_ASSIGN_OR_RETURN(image, store_.Write(page));
  if (!format::AppendRow(image, row, &index))
    return MakeError(ErrorCode::kInvalidValue, "the row does not fit an empty data page");
  current_ = page;
  *at = RowPointer{page, static_cast<uint8_t>(index)};
  return {};
}

Status TableAppender::Impl::ReleaseDataPage(uint32_t page) {
  JET_TRY(SetMapPage(store_, pages_, def().owned_pages, page, false));
  JET_TRY(SetMapPage(store_, pages_, def().free_pages, page, false));
  auto it = std::lower_bound(candidates_.begin(), candidates_.end(), page);
  if (it != candidates_.end() && *it == page) candidates_.erase(it);
  return pages_.Release(page);
}

Status TableAppender::Impl::Delete(RowPointer at) {
  std::string where = fmt::format("row {} of page {}", at.row, at.page);
  if (at.page == 0 || at.page >= store_.PageCount())
    return MakeError(ErrorCode::kNotFound, fmt::format("{} lies outside the file", where));
  std::vector<std::byte> bytes;
  {
    JET_ASSIGN_OR_RETURN(image, store_.Read(at.page));
    if (format::PageType(image) != format::kPageTypeData || format::DataPageOwner(image) != tdef_page_)
      return MakeError(ErrorCode::kNotFound, fmt::format("{} does not belong to the table on page {}", where, tdef_page_));
    if (at.row >= format::DataPageRowCount(image))
      return MakeError(ErrorCode::kNotFound, fmt::format("{} does not exist", where));
    JET_ASSIGN_OR_RETURN(slot, format::DataPageRow(image, at.page, at.row));
    if (!slot.live()) return MakeError(ErrorCode::kNotFound, fmt::format("{} is deleted already", where));
    bytes.assign(image.begin() + slot.start, image.begin() + slot.end);
  }
  JET_TRY(WritePending());  // the row's entries may still be waiting
  const auto& cols = def().columns;
  // Index entries first (their keys need the row's values), then long values.
  if (!indexes_.empty()) {
    std::vector<Cell> cells;
    JET_TRY(table_->DecodeCells(bytes, cells, where.c_str()));
    std::vector<const Cell*> pointers;
    for (const Cell& c : cells) pointers.push_back(&c);
    for (auto& plan : indexes_) {
      bool all_null = false, any_null = false;
      JET_TRY(KeyOf(plan, pointers, &all_null, &any_null, &delete_key_));
      if ((plan.flags & kIndexIgnoreNulls) && all_null) continue;
      JET_TRY(plan.tree->Remove(delete_key_, at.page, at.row));
    }
  }
  std::vector<format::RawField> fields;
  JET_TRY(format::DecodeRow(bytes, cols, def().var_columns, fields, where.c_str()));
  for (size_t i = 0; i < cols.size(); ++i)
    if (long_values_[i] && !fields[i].null) JET_TRY(long_values_[i]->Free(fields[i].data));

  JET_ASSIGN_OR_RETURN(image, store_.Write(at.page));
  format::DeleteRowAndCompact(image, at.row);
  if (!format::DataPageHasLiveRows(image) && at.page != current_) {
    JET_TRY(ReleaseDataPage(at.page));
  } else if (format::DataPageRowCount(image) < format::kMaxRowsPerPage) {
    // Room again: back among the pages new rows may go to.
    JET_TRY(SetMapPage(store_, pages_, def().free_pages, at.page, true));
    auto it = std::lower_bound(candidates_.begin(), candidates_.end(), at.page);
    if (it == candidates_.end() || *it != at.page) candidates_.insert(it, at.page);
  }
  if (row_count_ > 0) --row_count_;
  dirty_ = true;
  return {};
}

Status TableAppender::Impl::Finish() {
  if (!dirty_) return {};
  // Every INSERT ends here: patches of the counters, not a whole page to undo.
  auto put = [&](size_t at, uint32_t value) -> Status {
    std::byte bytes[4];
    format::Put32(bytes, 0, value);
    return store_.Patch(tdef_page_, at, bytes);
  };
  // Only what changed (while entries wait, the unique counts stay).
  JET_TRY(put(format::kTdefRowCountOffset, row_count_));
  if (autonumber_ != def().autonumber) JET_TRY(put(format::kTdefAutonumberOffset, autonumber_));
  for (size_t x = 0; x < unique_counts_.size(); ++x) {
    size_t at = kTdefUniqueCountOffset + kRealIndexBlock * x;
    if (at + 4 <= store_.PageSize() && unique_counts_[x] != stored_counts_[x]) {
      JET_TRY(put(at, unique_counts_[x]));
      stored_counts_[x] = unique_counts_[x];
    }
  }
  dirty_ = false;
  return {};
}

Status TableAppender::Impl::PlanDeferred() {
  bool defer = options_.defer_index_entries;
  for (const auto& r : references_) defer = defer && r.own_index < 0;
  for (const auto& plan : indexes_) defer = defer && plan.problem.empty();
  bool same = deferred_.size() == indexes_.size();
  for (size_t x = 0; same && x < indexes_.size(); ++x) same = deferred_[x].root == def().real_indexes[x].root_page;
  if (defer && same) return {};  // a reload after a statement was undone: the entries still wait
  for (const auto& d : deferred_)
    if (!d.pending.empty())
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("the indexes of the table on page {} changed while entries waited for them",
                                   tdef_page_));
  deferred_.clear();
  if (!defer) return {};
  for (size_t x = 0; x < indexes_.size(); ++x) {
    const bool unique = indexes_[x].flags & kIndexUnique;
    deferred_.push_back(Deferred{def().real_indexes[x].root_page, PendingEntries(unique), std::nullopt});
  }
  return {};
}

// The filter answers "no" for most keys new to the index; a "maybe" asks the
// pending entries and then the tree. It is made on first use and made anew,
// four times as large, once it holds as many keys as it was made for.
Result<bool> TableAppender::Impl::DeferredHolds(size_t x, const format::IndexKey& key, uint64_t hash) {
  Deferred& d = deferred_[x];
  if (!d.filter || d.filter->keys() >= d.filter->capacity()) {
    JET_TRY(FillFilter(x, d.filter ? 4 * d.filter->capacity() : 0));
  }
  if (!d.filter->MayHold(hash)) return false;
  if (d.pending.Holds(key, hash)) return true;
  return indexes_[x].tree->Contains(key);
}

Status TableAppender::Impl::FillFilter(size_t x, size_t keys) {
  Deferred& d = deferred_[x];
  std::vector<uint64_t> hashes;
  JET_TRY(indexes_[x].tree->WalkKeys([&](std::span<const uint8_t> key) { hashes.push_back(HashKey(key)); }));
  d.pending.Hashes(&hashes);
  d.filter.emplace(std::max({keys, 2 * hashes.size(), size_t{1} << 12}));
  for (uint64_t h : hashes) d.filter->Add(h);
  return {};
}

bool TableAppender::Impl::HasPending() const {
  if (written_) return false;
  for (const auto& d : deferred_)
    if (!d.pending.empty()) return true;
  return false;
}

size_t TableAppender::Impl::PendingBytes() const {
  size_t n = 0;
  for (const auto& d : deferred_) n += d.pending.bytes();
  return n;
}

Status TableAppender::Impl::WritePending() {
  if (!HasPending()) return {};
  std::vector<uint32_t> counts = unique_counts_;
  for (size_t x = 0; x < deferred_.size(); ++x) {
    if (deferred_[x].pending.empty()) continue;
    size_t fresh = 0;
    JET_TRY(indexes_[x].tree->InsertSorted(deferred_[x].pending.Sorted(), &fresh));
    counts[x] += static_cast<uint32_t>(fresh);
  }
  unique_counts_ = std::move(counts);
  dirty_ = true;
  JET_TRY(Finish());
  written_ = true;
  return {};
}

void TableAppender::Impl::KeepStatement() {
  for (auto& d : deferred_) {
    if (written_) d.pending.Clear();
    else d.pending.Keep();
  }
  written_ = false;
}

void TableAppender::Impl::DiscardStatement() {
  for (auto& d : deferred_) d.pending.Discard();
  written_ = false;
}

TableAppender::TableAppender(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TableAppender::~TableAppender() = default;

Result<std::unique_ptr<TableAppender>> TableAppender::Open(PageStore& store, PageAllocator& pages,
                                                           uint32_t tdef_page, AppendOptions options) {
  auto impl = std::make_unique<Impl>(store, pages, tdef_page, options);
  JET_TRY(impl->Load());
  return std::unique_ptr<TableAppender>(new TableAppender(std::move(impl)));
}

const format::TableDefinition& TableAppender::definition() const { return impl_->def(); }
uint32_t TableAppender::tdef_page() const { return impl_->tdef_page(); }
Result<format::RowPointer> TableAppender::Insert(std::span<const Cell> cells) { return impl_->Insert(cells); }
Status TableAppender::Delete(format::RowPointer row) { return impl_->Delete(row); }
Status TableAppender::Finish() { return impl_->Finish(); }
Status TableAppender::Reload() { return impl_->Load(); }
bool TableAppender::HasPending() const { return impl_->HasPending(); }
size_t TableAppender::PendingBytes() const { return impl_->PendingBytes(); }
Status TableAppender::WritePending() { return impl_->WritePending(); }
void TableAppender::KeepStatement() { impl_->KeepStatement(); }
void TableAppender::DiscardStatement() { impl_->DiscardStatement(); }

}  // namespace jet::table
