#include "platform/jet/create/blank_database.h"
#include "platform/jet/create/blank_formats.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/jet/file/codec.h"
#include "platform/jet/create/new_file.h"
#include "platform/jet/create/new_file_encryption.h"
#include "platform/jet/format/data_page.h"
#include "platform/jet/format/header.h"
#include "platform/jet/create/header_writer.h"
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
#include "platform/jet/create/system_tables.h"

namespace jet {
namespace {

using format::RowPointer;
using format::RawField;
using format::ConstBytes;
using format::MutableBytes;

constexpr uint32_t kGlobalMapPage = 1;
constexpr uint32_t kFirstTdefPage = 2;
constexpr uint16_t kCollation = 1033;  // General; its version comes with the format
constexpr size_t kJet4TableCount = 4;  // MSysObjects, MSysACEs, MSysQueries, MSysRelationships

// Catalogue ids and flags (docs/access-format.md §10.2).
constexpr int64_t kRootId = 0x0F000000;
constexpr int64_t kTablesId = 0x0F000001;
constexpr int64_t kDatabasesId = 0x0F000002;
constexpr int64_t kRelationshipsId = 0x0F000003;
constexpr int64_t kMSysDbId = 0x10000000;
constexpr int64_t kSystemObjectFlags = static_cast<int32_t>(0x80000000u);
// The ACE engine's templates of multi-value and attachment columns.
constexpr int64_t kComplexTypeFlags = static_cast<int32_t>(0x80030000u);
constexpr int64_t kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

// An access-control entry: whose SID of the format's set (blank_formats.h).
struct AceRow {
  int64_t object;
  Bytes EngineSids::*sid;
  int64_t acm;
  bool inheritable;
};

constexpr auto kAdmin = &EngineSids::admin;
constexpr auto kUsers = &EngineSids::users;
constexpr auto kEngine = &EngineSids::engine;

// The engine's access-control entries for its own objects.
const AceRow kAceRows[] = {
    {2, kAdmin, 393216, false},          {3, kAdmin, 393216, false},
    {4, kAdmin, 393216, false},          {5, kAdmin, 917504, false},
    {kTablesId, kUsers, 983294, true},   {kTablesId, kAdmin, 393217, false},
    {kRelationshipsId, kUsers, 983294, true}, {kRelationshipsId, kAdmin, 393217, false},
    {kDatabasesId, kAdmin, 393216, false}, {kMSysDbId, kAdmin, 393230, false},
    {kMSysDbId, kEngine, 14, false},     {4, kEngine, 20, false},
    {5, kEngine, 20, false},             {2, kEngine, 20, false},
    {kTablesId, kEngine, 1048319, true}, {kRelationshipsId, kEngine, 1048575, true},
};
// What the ACE engine grants on each of its complex-value tables: the Admin
// user's and the engine's rights, as on MSysQueries.
constexpr int64_t kComplexAdminAcm = 393216;
constexpr int64_t kComplexEngineAcm = 20;

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
std::vector<std::byte> DatabaseProperties(const std::u16string& version) {
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

Result<format::IndexKey> LongKey(int64_t v) {
  format::IndexKey key;
  Cell cell = v;
  JET_TRY(format::AppendKeyColumn({&cell, ColumnType::kLong, true}, &key));
  return key;
}

}  // namespace

Result<std::vector<std::vector<std::byte>>> BuildBlankDatabase(const BlankOptions& options) {
  const double now = options.creation_date != 0 ? options.creation_date : table::LocalNowAsOleDate();
  const BlankProfile& profile = ProfileOf(options.format);
  const bool accdb = IsAccdbFormat(options.format);
  const uint8_t sort_version = profile.sort_version;
  // An .accdb's password encrypts its pages; only Jet 4 keeps one in the header.
  JET_ASSIGN_OR_RETURN(header, format::BuildHeader({.version = profile.version,
                                                        .creation_date = now,
                                                        .password = accdb ? std::string() : options.password,
                                                        .sort_order = kCollation,
                                                        .sort_version = sort_version}));
  std::vector<table::SystemTable> tables =
      accdb ? table::AceSystemTables(kCollation, sort_version) : table::Jet4SystemTables(kCollation, sort_version);

  // Pages: the Jet 4 tables' definitions, then their map holders and index
  // roots, MSysObjects' rows; each further table's definition, holder and
  // roots; MSysACEs' rows and MSysDb's properties last, as the engines order them.
  std::vector<Placement> places(tables.size());
  uint32_t next = kFirstTdefPage;
  auto place_maps = [&](Placement& p, const table::SystemTable& t) {
    p.holder = next++;
    for (size_t i = 0; i < t.indexes.size(); ++i) p.index_roots.push_back(next++);
  };
  for (size_t t = 0; t < kJet4TableCount; ++t) places[t].tdef = next++;
  for (size_t t = 0; t < kJet4TableCount; ++t) place_maps(places[t], tables[t]);
  places[0].data = next++;
  for (size_t t = kJet4TableCount; t < tables.size(); ++t) {
    places[t].tdef = next++;
    place_maps(places[t], tables[t]);
  }
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
  std::vector<std::byte> properties = DatabaseProperties(profile.access_version);
  MutableBytes lval = store.Page(properties_page);
  format::InitDataPage(lval, format::kLongValueOwner);
  uint16_t properties_row = 0;
  JET_TRY(AppendTo(lval, properties, &properties_row, "the database properties"));
  std::vector<std::byte> properties_field(format::kLongValueHeaderSize);
  format::PutLongValueHeader(properties_field, static_cast<uint32_t>(properties.size()), format::kLongValueSingle,
                             {properties_page, static_cast<uint8_t>(properties_row)});

  // The catalogue: containers, the database object, the system tables. The
  // ACE engine's own complex-value tables have no owner.
  const EngineSids& sids = profile.sids;
  struct Object {
    int64_t id, parent;
    std::string name;
    int64_t type;
    const Bytes* owner;
    int64_t flags = kSystemObjectFlags;
  };
  std::vector<Object> objects = {{kTablesId, kRootId, "Tables", kTypeContainer, &sids.creator},
                                 {kDatabasesId, kRootId, "Databases", kTypeContainer, &sids.creator},
                                 {kRelationshipsId, kRootId, "Relationships", kTypeContainer, &sids.creator},
                                 {kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, &sids.admin}};
  for (size_t t = 0; t < tables.size(); ++t) {
    if (t < kJet4TableCount) {
      objects.push_back({places[t].tdef, kTablesId, tables[t].name, kTypeTable, &sids.creator});
    } else {
      const bool complex_type = tables[t].name.starts_with("MSysComplexType_");
      objects.push_back({places[t].tdef, kTablesId, tables[t].name, kTypeTable, nullptr,
                         complex_type ? kComplexTypeFlags : kSystemObjectFlags});
    }
  }

  table::IndexTree parent_name(store, places[0].index_roots[0], places[0].tdef);
  table::IndexTree by_id(store, places[0].index_roots[1], places[0].tdef);
  const auto& object_columns = tables[0].columns;
  auto name_order = format::SortOrderOfCollation(kCollation, sort_version);
  if (!name_order) return MakeError(ErrorCode::kNotSupported, "no sort order for the catalogue's names");
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
    if (o.owner) row.Binary(c::kOwner, *o.owner);
    row.Long(c::kFlags, o.flags);
    if (o.id == kMSysDbId) row.Raw(c::kLvProp, properties_field);
    uint16_t at = 0;
    JET_TRY(AppendTo(catalogue, row.Encode(object_columns), &at, "the catalogue"));
    ++defs[0].row_count;

    format::IndexKey key;
    Cell parent = o.parent, name = o.name;
    JET_TRY(format::AppendKeyColumn({&parent, ColumnType::kLong, true}, &key));
    JET_TRY(format::AppendKeyColumn({&name, ColumnType::kText, true, *name_order}, &key));
    JET_ASSIGN_OR_RETURN(new_name, parent_name.Insert(key, places[0].data, static_cast<uint8_t>(at)));
    JET_ASSIGN_OR_RETURN(id_key, LongKey(o.id));
    JET_ASSIGN_OR_RETURN(new_id, by_id.Insert(id_key, places[0].data, static_cast<uint8_t>(at)));
    defs[0].real_indexes[0].unique_entries += new_name;
    defs[0].real_indexes[1].unique_entries += new_id;
  }

  // The access-control entries: the Jet 4 engine's, then the ACE engine's
  // for its complex-value tables (the Admin user's first, then the engine's).
  std::vector<AceRow> ace_rows(std::begin(kAceRows), std::end(kAceRows));
  for (auto [sid, acm] : {std::pair{kAdmin, kComplexAdminAcm}, std::pair{kEngine, kComplexEngineAcm}})
    for (size_t t = kJet4TableCount; t < tables.size(); ++t) ace_rows.push_back({places[t].tdef, sid, acm, false});
  table::IndexTree by_object(store, places[1].index_roots[0], places[1].tdef);
  const auto& ace_columns = tables[1].columns;
  MutableBytes aces = store.Page(places[1].data);
  format::InitDataPage(aces, places[1].tdef);
  for (const auto& a : ace_rows) {
    namespace c = table::msys_aces;
    RowBuilder row(ace_columns.size());
    row.Long(c::kObjectId, a.object);
    row.Binary(c::kSid, sids.*a.sid);
    row.Long(c::kAcm, a.acm);
    row.Boolean(c::kInheritable, a.inheritable);
    uint16_t at = 0;
    JET_TRY(AppendTo(aces, row.Encode(ace_columns), &at, "the access-control entries"));
    ++defs[1].row_count;
    JET_ASSIGN_OR_RETURN(object_key, LongKey(a.object));
    JET_ASSIGN_OR_RETURN(new_key, by_object.Insert(object_key, places[1].data, static_cast<uint8_t>(at)));
    defs[1].real_indexes[0].unique_entries += new_key;
  }

  // Definitions: descriptors and logical indexes sorted by name, as the engine stores them.
  for (size_t t = 0; t < tables.size(); ++t) {
    auto& def = defs[t];
    def.table_type = tables[t].table_type;
    def.max_columns = static_cast<uint16_t>(tables[t].columns.size());
    def.columns = tables[t].columns;
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const auto& a, const auto& b) { return Lower(a.name) < Lower(b.name); });
    std::stable_sort(def.logical_indexes.begin(), def.logical_indexes.end(),
                     [](const auto& a, const auto& b) { return Lower(a.name) < Lower(b.name); });
    // The ACE engine lists the Memo/OLE column maps in descriptor order too.
    if (accdb) {
      auto place_of = [&](uint16_t number) {
        return std::find_if(def.columns.begin(), def.columns.end(), [&](const auto& c) { return c.number == number; });
      };
      std::stable_sort(def.column_maps.begin(), def.column_maps.end(), [&](const auto& a, const auto& b) {
        return place_of(a.column_number) < place_of(b.column_number);
      });
    }
    std::vector<std::byte> buffer = format::EncodeIndexedTableDefinition(
        def, accdb ? std::optional(format::AceDescriptorFill{kCollation, sort_version}) : std::nullopt);
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
  std::vector<std::vector<std::byte>> pages = store.Take();
  if (accdb && !options.password.empty()) JET_TRY(create::EncryptNewAccdb(pages, options.password, options.encryption));
  ApplyHeaderMask(pages[0]);
  return pages;
}

Status CreateBlankDatabase(const std::string& path, const BlankOptions& options) {
  const bool accdb_name = Lower(std::filesystem::path(path).extension().string()) == ".accdb";
  if (accdb_name != IsAccdbFormat(options.format))
    return MakeError(ErrorCode::kInvalidValue,
                     "\"" + path + "\" cannot hold an " + DescribeFormat(options.format) + " database: " +
                         (accdb_name ? "Access 2000-2003 databases are .mdb files"
                                     : "Access 2007 and later databases are .accdb files"));
  if (auto exists = create::RefuseExisting(path); !exists) return exists.error();
  JET_ASSIGN_OR_RETURN(pages, BuildBlankDatabase(options));
  return create::WriteNewFile(path, pages);
}

}  // namespace jet
