#include "platform/jet/create/system_tables.h"

namespace jet::table {
namespace {

using format::ColumnDef;
using format::kTableTypeUser;

// Column flags of the engine's own tables: 0x10 marks a system column, 0x20
// appears on the binary owner/SID columns.
constexpr uint8_t kSystemFixed = 0x13;
constexpr uint8_t kSystemVariable = 0x12;
constexpr uint8_t kSystemSid = 0x32;
constexpr uint8_t kIndexUnique = 0x81;
constexpr uint8_t kIndexRequired = 0x88;
constexpr uint8_t kIndexIgnoreNulls = 0x82;

class Columns {
 public:
  Columns(uint16_t collation, uint8_t sort_version) : collation_(collation), sort_version_(sort_version) {}

  // A fixed column at `offset`.
  Columns& Fixed(const char* name, ColumnType type, uint16_t offset, uint16_t length, uint8_t flags = kSystemFixed,
                 uint8_t ext_flags = 0) {
    ColumnDef c = Make(name, type, flags);
    c.fixed_offset = type == ColumnType::kBoolean ? 0 : offset;
    c.length = length;
    c.ext_flags = ext_flags;
    c.var_index = next_var_;  // the engine leaves the next variable index here
    list_.push_back(c);
    return *this;
  }
  Columns& Variable(const char* name, ColumnType type, uint16_t length, uint8_t flags = kSystemVariable,
                    uint8_t ext_flags = 0) {
    ColumnDef c = Make(name, type, flags);
    c.length = length;
    c.ext_flags = ext_flags;
    c.var_index = next_var_++;
    list_.push_back(c);
    return *this;
  }
  // Precision and scale of the last column (Decimal).
  Columns& Digits(uint8_t precision, uint8_t scale) {
    list_.back().precision = precision;
    list_.back().scale = scale;
    return *this;
  }
  std::vector<ColumnDef> Done() { return std::move(list_); }

 private:
  ColumnDef Make(const char* name, ColumnType type, uint8_t flags) {
    ColumnDef c;
    c.type_code = static_cast<uint8_t>(type);
    c.number = static_cast<uint16_t>(list_.size());
    c.flags = flags;
    c.name = name;
    if (type == ColumnType::kText || type == ColumnType::kMemo) {
      c.collation = collation_;
      c.sort_version = sort_version_;
    }
    return c;
  }

  uint16_t collation_;
  uint8_t sort_version_;
  uint16_t next_var_ = 0;
  std::vector<ColumnDef> list_;
};

// The flags of the ACE engine's complex-value tables: no system bit.
constexpr uint8_t kPlainFixed = 0x03;
constexpr uint8_t kPlainVariable = 0x02;
constexpr uint8_t kAutoLongSystem = 0x17;    // a system AutoNumber Long
constexpr uint8_t kComplexTypeColumn = 0x10;  // extended flags of the attachment columns
constexpr uint8_t kIndexUniqueRequired = 0x8B;
constexpr uint8_t kIndexRequiredIgnoreNulls = 0x8A;

}  // namespace

std::vector<SystemTable> Jet4SystemTables(uint16_t collation, uint8_t sort_version) {
  using T = ColumnType;
  std::vector<SystemTable> tables;

  tables.push_back({"MSysObjects",
                    Columns(collation, sort_version)
                        .Fixed("Id", T::kLong, 0, 4)
                        .Fixed("ParentId", T::kLong, 4, 4)
                        .Variable("Name", T::kText, 510)
                        .Fixed("Type", T::kInteger, 8, 2)
                        .Fixed("DateCreate", T::kDateTime, 10, 8)
                        .Fixed("DateUpdate", T::kDateTime, 18, 8)
                        .Variable("Owner", T::kBinary, 510, kSystemSid)
                        .Fixed("Flags", T::kLong, 26, 4)
                        .Variable("Database", T::kMemo, 0)
                        .Variable("Connect", T::kMemo, 0)
                        .Variable("ForeignName", T::kText, 510)
                        .Variable("RmtInfoShort", T::kBinary, 510)
                        .Variable("RmtInfoLong", T::kOle, 0)
                        .Variable("Lv", T::kOle, 0)
                        .Variable("LvProp", T::kOle, 0)
                        .Variable("LvModule", T::kOle, 0)
                        .Variable("LvExtra", T::kOle, 0)
                        .Done(),
                    {{"ParentIdName", {1, 2}, kIndexUnique, 0}, {"Id", {0}, kIndexUnique, 1}}});

  tables.push_back({"MSysACEs",
                    Columns(collation, sort_version)
                        .Fixed("ObjectId", T::kLong, 0, 4)
                        .Variable("SID", T::kBinary, 510, kSystemSid)
                        .Fixed("ACM", T::kLong, 4, 4)
                        .Fixed("FInheritable", T::kBoolean, 0, 1)
                        .Done(),
                    {{"ObjectId", {0}, kIndexRequired, 0}}});

  tables.push_back({"MSysQueries",
                    Columns(collation, sort_version)
                        .Fixed("ObjectId", T::kLong, 0, 4)
                        .Fixed("Attribute", T::kByte, 4, 1)
                        .Variable("Order", T::kBinary, 510)
                        .Variable("Name1", T::kText, 510)
                        .Variable("Name2", T::kText, 510)
                        .Variable("Expression", T::kMemo, 0)
                        .Fixed("Flag", T::kInteger, 5, 2)
                        .Fixed("LvExtra", T::kLong, 7, 4)
                        .Done(),
                    {{"ObjectIdAttribute", {0, 1, 2}, kIndexUnique, 1}}});

  tables.push_back({"MSysRelationships",
                    Columns(collation, sort_version)
                        .Variable("szRelationship", T::kText, 510)
                        .Fixed("grbit", T::kLong, 0, 4)
                        .Fixed("ccolumn", T::kLong, 4, 4)
                        .Fixed("icolumn", T::kLong, 8, 4)
                        .Variable("szObject", T::kText, 510)
                        .Variable("szColumn", T::kText, 510)
                        .Variable("szReferencedObject", T::kText, 510)
                        .Variable("szReferencedColumn", T::kText, 510)
                        .Done(),
                    {{"szRelationship", {0}, kIndexIgnoreNulls, 0},
                     {"szObject", {4}, kIndexIgnoreNulls, 0},
                     {"szReferencedObject", {6}, kIndexIgnoreNulls, 0}}});
  return tables;
}

std::vector<SystemTable> AceSystemTables(uint16_t collation, uint8_t sort_version) {
  using T = ColumnType;
  std::vector<SystemTable> tables = Jet4SystemTables(collation, sort_version);
  auto columns = [&] { return Columns(collation, sort_version); };

  tables.push_back({"MSysComplexColumns",
                    columns()
                        .Variable("ColumnName", T::kText, 510)
                        .Fixed("ComplexTypeObjectID", T::kLong, 0, 4)
                        .Fixed("FlatTableID", T::kLong, 4, 4)
                        .Fixed("ConceptualTableID", T::kLong, 8, 4)
                        .Fixed("ComplexID", T::kLong, 12, 4, kAutoLongSystem)
                        .Done(),
                    {{"IdxID", {4}, kIndexUniqueRequired, 1},
                     {"IdxConceptualTableID", {3}, kIndexRequiredIgnoreNulls, 0},
                     {"IdxFlatTableID", {2}, kIndexRequiredIgnoreNulls, 0}},
                    kTableTypeUser});

  // The templates of multi-value columns: one Value column each, and the attachment's fields.
  const std::pair<const char*, std::pair<T, uint16_t>> fixed_types[] = {
      {"UnsignedByte", {T::kByte, 1}}, {"Short", {T::kInteger, 2}},     {"Long", {T::kLong, 4}},
      {"IEEESingle", {T::kSingle, 4}}, {"IEEEDouble", {T::kDouble, 8}}, {"GUID", {T::kGuid, 16}}};
  for (const auto& [name, type] : fixed_types)
    tables.push_back({std::string("MSysComplexType_") + name,
                      columns().Fixed("Value", type.first, 0, type.second, kPlainFixed).Done(), {}, kTableTypeUser});
  tables.push_back({"MSysComplexType_Decimal",
                    columns().Variable("Value", T::kNumeric, 9, kPlainVariable).Digits(18, 0).Done(), {},
                    kTableTypeUser});
  tables.push_back(
      {"MSysComplexType_Text", columns().Variable("Value", T::kText, 510, kPlainVariable).Done(), {}, kTableTypeUser});
  tables.push_back({"MSysComplexType_Attachment",
                    columns()
                        .Variable("FileURL", T::kMemo, 0, kPlainVariable, kComplexTypeColumn)
                        .Variable("FileName", T::kText, 510, kPlainVariable, kComplexTypeColumn)
                        .Variable("FileType", T::kText, 510, kPlainVariable, kComplexTypeColumn)
                        .Variable("FileData", T::kOle, 0, kPlainVariable, kComplexTypeColumn)
                        .Fixed("FileTimeStamp", T::kDateTime, 0, 8, kPlainFixed, kComplexTypeColumn)
                        .Fixed("FileFlags", T::kLong, 8, 4, kPlainFixed, kComplexTypeColumn)
                        .Done(),
                    {},
                    kTableTypeUser});
  return tables;
}

}  // namespace jet::table
