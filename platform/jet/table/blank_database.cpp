#include "platform/jet/table/blank_database.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/jet/file/codec.h"
#include "platform/jet/file/new_file.h"
#include "platform/jet/format/data_page.h"
#include "platform/jet/format/header.h"
#include "platform/jet/format/header_writer.h"
#include "platform/jet/format/index_key.h"
#include "platform/jet/format/indexed_tdef_writer.h"
#include "platform/jet/format/long_value.h"
#include "platform/jet/format/properties.h"
#include "platform/jet/format/row.h"
#include "platform/jet/format/tdef_writer.h"
#include "platform/jet/format/text.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/catalog_writer.h"
#include "platform/jet/table/index.h"
#include "platform/jet/table/system_tables.h"

namespace jet {
namespace {

using format::RowPointer;
using format::RawField;
using format::ConstBytes;
using format::MutableBytes;

constexpr uint32_t kGlobalMapPage = 1;
constexpr uint32_t kFirstTdefPage = 2;
constexpr uint16_t kCollation = 1033;  // General
constexpr uint8_t kSortVersion = 0;    // legacy, as Jet 4 writes it

// Catalogue ids and flags (docs/access-format.md §10.2).
constexpr int64_t kRootId = 0x0F000000;
constexpr int64_t kTablesId = 0x0F000001;
constexpr int64_t kDatabasesId = 0x0F000002;
constexpr int64_t kRelationshipsId = 0x0F000003;
constexpr int64_t kMSysDbId = 0x10000000;
constexpr int64_t kSystemObjectFlags = static_cast<int32_t>(0x80000000u);
constexpr int64_t kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

// The owner and access-control SIDs of a database the Jet engine creates:
// the engine's creator, the Admin user and the Users group as that engine
// encodes them. Their encoding is not understood; they are used as one
// consistent set, as the engine writes them.
const Bytes kCreatorSid = {0x06, 0xEA};
const Bytes kAdminSid = {0x07, 0xE8};
const Bytes kUsersSid = {0x06, 0xED};
const Bytes kEngineSid = {0x06, 0xE8};

struct AceRow {
  int64_t object;
  const Bytes* sid;
  int64_t acm;
  bool inheritable;
};

// The engine's access-control entries for its own objects.
const AceRow kAceRows[] = {
    {2, &kAdminSid, 393216, false},          {3, &kAdminSid, 393216, false},
    {4, &kAdminSid, 393216, false},          {5, &kAdminSid, 917504, false},
    {kTablesId, &kUsersSid, 983294, true},   {kTablesId, &kAdminSid, 393217, false},
    {kRelationshipsId, &kUsersSid, 983294, true}, {kRelationshipsId, &kAdminSid, 393217, false},
    {kDatabasesId, &kAdminSid, 393216, false}, {kMSysDbId, &kAdminSid, 393230, false},
    {kMSysDbId, &kEngineSid, 14, false},     {4, &kEngineSid, 20, false},
    {5, &kEngineSid, 20, false},             {2, &kEngineSid, 20, false},
    {kTablesId, &kEngineSid, 1048319, true}, {kRelationshipsId, &kEngineSid, 1048575, true},
};

class MemoryPages : public PageStore {
 public:
  explicit MemoryPages(uint32_t count) : pages_(count, std::vector<std::byte>(format::kPageSize)) {}
  size_t PageSize() const override { return format::kPageSize; }
  uint32_t PageCount() const override { return static_cast<uint32_t>(pages_.size()); }
  Result<std::span<const std::byte>> Read(uint32_t page) override {
    if (page >= pages_.size()) return MakeError(ErrorCode::kCorruption, "page outside the new database");
    return std::span<const std::byte>(pages_[page]);
  }
  Result<std::span<std::byte>> Write(uint32_t page) override {
    if (page >= pages_.size()) return MakeError(ErrorCode::kCorruption, "page outside the new database");
    return std::span<std::byte>(pages_[page]);
  }
  Result<uint32_t> Append() override {
    return MakeError(ErrorCode::kNotSupported, "the new database has a fixed number of pages");
  }
  std::span<std::byte> Page(uint32_t page) { return pages_[page]; }
  std::vector<std::vector<std::byte>> Take() { return std::move(pages_); }

 private:
  std::vector<std::vector<std::byte>> pages_;
};

// Where each system table lives.
struct Placement {
  uint32_t tdef = 0;
  uint32_t holder = 0;
  std::vector<uint32_t> index_roots;
  uint32_t data = 0;  // 0: no rows
};

std::vector<std::byte> InlineMap(std::initializer_list<uint32_t> pages) {
  std::vector<std::byte> row(format::kInlineMapRowSize);
  format::InitInlineMap(row, 0);
  for (uint32_t p : pages) format::InlineMapSet(row, p, true);
  return row;
}

Status AppendTo(MutableBytes page, ConstBytes row, uint16_t* index, const char* what) {
  if (!format::AppendRow(page, row, index))
    return MakeError(ErrorCode::kCorruption, std::string("no room for ") + what + " in a new database");
  return {};
}

// Bytes of a field and the encoded row; the storage outlives the RawFields.
class RowBuilder {
 public:
  explicit RowBuilder(size_t columns) : fields_(columns), storage_(columns) {}
  void Long(uint16_t column, int64_t v) { Fixed(column, 4, static_cast<uint64_t>(v)); }
  void Integer(uint16_t column, int64_t v) { Fixed(column, 2, static_cast<uint64_t>(v)); }
  void Date(uint16_t column, double days) {
    uint64_t bits;
    std::memcpy(&bits, &days, 8);
    Fixed(column, 8, bits);
  }
  void Boolean(uint16_t column, bool v) {
    fields_[column].null = false;
    fields_[column].boolean = v;
  }
  void Raw(uint16_t column, std::vector<std::byte> bytes) {
    storage_[column] = std::move(bytes);
    fields_[column].null = false;
    fields_[column].data = storage_[column];
  }
  void Binary(uint16_t column, const Bytes& b) {
    std::vector<std::byte> bytes(b.size());
    std::memcpy(bytes.data(), b.data(), b.size());
    Raw(column, std::move(bytes));
  }
  void Text(uint16_t column, const std::string& utf8) {
    std::u16string units = format::Utf8ToUtf16(utf8);
    std::vector<std::byte> bytes(2 * units.size());
    for (size_t i = 0; i < units.size(); ++i) format::Put16(bytes, 2 * i, units[i]);
    Raw(column, std::move(bytes));
  }
  std::vector<std::byte> Encode(std::span<const format::ColumnDef> columns) const {
    return format::EncodeRow(columns, static_cast<uint16_t>(columns.size()), fields_);
  }

 private:
  void Fixed(uint16_t column, size_t size, uint64_t v) {
    std::vector<std::byte> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::byte>(v >> (8 * i));
    Raw(column, std::move(bytes));
  }
  std::vector<RawField> fields_;
  std::vector<std::vector<std::byte>> storage_;
};

// MSysDb's property list: the database's own block, holding AccessVersion
// as text.
std::vector<std::byte> DatabaseProperties(BlankFormat format) {
  const std::u16string version = format == BlankFormat::kAccess2003 ? u"09.50" : u"08.50";
  std::vector<std::byte> value;
  for (char16_t c : version) {
    value.push_back(static_cast<std::byte>(c));
    value.push_back(static_cast<std::byte>(c >> 8));
  }
  return format::BuildPropertyList({{"", {{"AccessVersion", format::kPropertyText, false, value}}}});
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

format::IndexKey LongKey(int64_t v) {
  format::IndexKey key;
  Cell cell = v;
  (void)format::AppendKeyColumn({&cell, ColumnType::kLong, true}, &key);
  return key;
}

}  // namespace

Result<std::vector<std::vector<std::byte>>> BuildBlankDatabase(const BlankOptions& options) {
  const double now = options.creation_date != 0 ? options.creation_date : table::LocalNowAsOleDate();
  JET_ASSIGN_OR_RETURN(header, format::BuildHeader({.creation_date = now,
                                                        .password = options.password,
                                                        .sort_order = kCollation,
                                                        .sort_version = kSortVersion}));
  std::vector<table::SystemTable> tables = table::Jet4SystemTables(kCollation, kSortVersion);

  // Pages: definitions first, then each table's map holder and index roots,
  // then the two catalogue data pages and MSysDb's properties.
  std::vector<Placement> places(tables.size());
  uint32_t next = kFirstTdefPage;
  for (auto& p : places) p.tdef = next++;
  for (size_t t = 0; t < tables.size(); ++t) {
    places[t].holder = next++;
    for (size_t i = 0; i < tables[t].indexes.size(); ++i) places[t].index_roots.push_back(next++);
  }
  places[0].data = next++;
  places[1].data = next++;
  const uint32_t properties_page = next++;
  const uint32_t page_count = next;
  MemoryPages store(page_count);

  // Usage-map holders: owned and free-space maps, two per Memo/OLE column, one per index.
  std::vector<format::TableDefinition> defs(tables.size());
  const uint16_t lv_prop = table::msys_objects::kLvProp;
  for (size_t t = 0; t < tables.size(); ++t) {
    const Placement& place = places[t];
    auto& def = defs[t];
    MutableBytes holder = store.Page(place.holder);
    format::InitDataPage(holder, 0);
    uint16_t row = 0;
    auto data = place.data ? InlineMap({place.data}) : InlineMap({});
    JET_TRY(AppendTo(holder, data, &row, "a usage map"));
    def.owned_pages = {place.holder, static_cast<uint8_t>(row)};
    JET_TRY(AppendTo(holder, data, &row, "a usage map"));
    def.free_pages = {place.holder, static_cast<uint8_t>(row)};
    for (const auto& c : tables[t].columns) {
      if (!c.is_long_value()) continue;
      bool holds_properties = t == 0 && c.number == lv_prop;
      auto map = holds_properties ? InlineMap({properties_page}) : InlineMap({});
      format::ColumnMaps maps{c.number};
      JET_TRY(AppendTo(holder, map, &row, "a usage map"));
      maps.owned = {place.holder, static_cast<uint8_t>(row)};
      JET_TRY(AppendTo(holder, map, &row, "a usage map"));
      maps.free = {place.holder, static_cast<uint8_t>(row)};
      def.column_maps.push_back(maps);
    }
    for (size_t i = 0; i < tables[t].indexes.size(); ++i) {
      const auto& index = tables[t].indexes[i];
      uint32_t root = place.index_roots[i];
      JET_TRY(AppendTo(holder, InlineMap({root}), &row, "a usage map"));
      format::RealIndex real;
      for (uint16_t column : index.columns) real.columns.push_back({column, true});
      real.usage_map = {place.holder, static_cast<uint8_t>(row)};
      real.root_page = root;
      real.flags = index.flags;
      def.real_indexes.push_back(real);
      def.logical_indexes.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(i), index.kind, index.name});
      JET_TRY(table::IndexTree::InitializeRoot(store, root, place.tdef));
    }
  }

  // MSysDb's properties on a long-value page of their own.
  std::vector<std::byte> properties = DatabaseProperties(options.format);
  MutableBytes lval = store.Page(properties_page);
  format::InitDataPage(lval, format::kLongValueOwner);
  uint16_t properties_row = 0;
  JET_TRY(AppendTo(lval, properties, &properties_row, "the database properties"));
  std::vector<std::byte> properties_field(format::kLongValueHeaderSize);
  format::PutLongValueHeader(properties_field, static_cast<uint32_t>(properties.size()), format::kLongValueSingle,
                             {properties_page, static_cast<uint8_t>(properties_row)});

  // The catalogue: containers, the database object, the system tables.
  struct Object {
    int64_t id, parent;
    std::string name;
    int64_t type;
    const Bytes* owner;
  };
  std::vector<Object> objects = {{kTablesId, kRootId, "Tables", kTypeContainer, &kCreatorSid},
                                 {kDatabasesId, kRootId, "Databases", kTypeContainer, &kCreatorSid},
                                 {kRelationshipsId, kRootId, "Relationships", kTypeContainer, &kCreatorSid},
                                 {kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, &kAdminSid}};
  for (size_t t = 0; t < tables.size(); ++t)
    objects.push_back({places[t].tdef, kTablesId, tables[t].name, kTypeTable, &kCreatorSid});

  table::IndexTree parent_name(store, places[0].index_roots[0], places[0].tdef);
  table::IndexTree by_id(store, places[0].index_roots[1], places[0].tdef);
  const auto& object_columns = tables[0].columns;
  auto name_order = format::SortOrderOfCollation(kCollation, kSortVersion);
  MutableBytes catalogue = store.Page(places[0].data);
  format::InitDataPage(catalogue, places[0].tdef);
  for (const auto& o : objects) {
    namespace c = table::msys_objects;
    RowBuilder row(object_columns.size());
    row.Long(c::kId, o.id);
    row.Long(c::kParentId, o.parent);
    row.Text(c::kName, o.name);
    row.Integer(c::kType, o.type);
    row.Date(c::kDateCreate, now);
    row.Date(c::kDateUpdate, now);
    row.Binary(c::kOwner, *o.owner);
    row.Long(c::kFlags, kSystemObjectFlags);
    if (o.id == kMSysDbId) row.Raw(c::kLvProp, properties_field);
    uint16_t at = 0;
    JET_TRY(AppendTo(catalogue, row.Encode(object_columns), &at, "the catalogue"));
    ++defs[0].row_count;

    format::IndexKey key;
    Cell parent = o.parent, name = o.name;
    JET_TRY(format::AppendKeyColumn({&parent, ColumnType::kLong, true}, &key));
    JET_TRY(format::AppendKeyColumn({&name, ColumnType::kText, true, *name_order}, &key));
    JET_ASSIGN_OR_RETURN(new_name, parent_name.Insert(key, places[0].data, static_cast<uint8_t>(at)));
    JET_ASSIGN_OR_RETURN(new_id, by_id.Insert(LongKey(o.id), places[0].data, static_cast<uint8_t>(at)));
    defs[0].real_indexes[0].unique_entries += new_name;
    defs[0].real_indexes[1].unique_entries += new_id;
  }

  // The access-control entries.
  table::IndexTree by_object(store, places[1].index_roots[0], places[1].tdef);
  const auto& ace_columns = tables[1].columns;
  MutableBytes aces = store.Page(places[1].data);
  format::InitDataPage(aces, places[1].tdef);
  for (const auto& a : kAceRows) {
    namespace c = table::msys_aces;
    RowBuilder row(ace_columns.size());
    row.Long(c::kObjectId, a.object);
    row.Binary(c::kSid, *a.sid);
    row.Long(c::kAcm, a.acm);
    row.Boolean(c::kInheritable, a.inheritable);
    uint16_t at = 0;
    JET_TRY(AppendTo(aces, row.Encode(ace_columns), &at, "the access-control entries"));
    ++defs[1].row_count;
    JET_ASSIGN_OR_RETURN(new_key, by_object.Insert(LongKey(a.object), places[1].data, static_cast<uint8_t>(at)));
    defs[1].real_indexes[0].unique_entries += new_key;
  }

  // Definitions: descriptors and logical indexes sorted by name, as the engine stores them.
  for (size_t t = 0; t < tables.size(); ++t) {
    auto& def = defs[t];
    def.table_type = format::kTableTypeSystem;
    def.max_columns = static_cast<uint16_t>(tables[t].columns.size());
    def.columns = tables[t].columns;
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const auto& a, const auto& b) { return Lower(a.name) < Lower(b.name); });
    std::stable_sort(def.logical_indexes.begin(), def.logical_indexes.end(),
                     [](const auto& a, const auto& b) { return Lower(a.name) < Lower(b.name); });
    std::vector<std::byte> buffer = format::EncodeIndexedTableDefinition(def);
    const uint32_t tdef_pages[] = {places[t].tdef};
    if (format::DefinitionPageCount(buffer.size()) != 1)
      return MakeError(ErrorCode::kCorruption, "a system table definition outgrew its page");
    auto images = format::PaginateDefinition(buffer, tdef_pages);
    std::copy(images[0].begin(), images[0].end(), store.Page(places[t].tdef).begin());
  }

  // The global usage map: every page written is in use, the rest of its range free.
  MutableBytes global = store.Page(kGlobalMapPage);
  format::InitDataPage(global, 1);
  std::vector<std::byte> map(format::kInlineMapRowSize);
  format::InitInlineMap(map, 0);
  for (uint32_t p = page_count; p < format::InlineMapCapacity(map.size()); ++p) format::InlineMapSet(map, p, true);
  uint16_t at = 0;
  JET_TRY(AppendTo(global, map, &at, "the global usage map"));
  std::vector<std::byte> second(format::kInlineMapRowSize);  // all zero, as the engine leaves it
  JET_TRY(AppendTo(global, second, &at, "the global usage map"));

  std::copy(header.begin(), header.end(), store.Page(0).begin());
  ApplyHeaderMask(store.Page(0));
  return store.Take();
}

Status CreateBlankDatabase(const std::string& path, const BlankOptions& options) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (Lower(extension) == ".accdb")
    return MakeError(ErrorCode::kNotSupported, "new .accdb files are not supported yet");
  if (auto exists = file::RefuseExisting(path); !exists) return exists.error();
  JET_ASSIGN_OR_RETURN(pages, BuildBlankDatabase(options));
  return file::WriteNewFile(path, pages);
}

}  // namespace jet
