#pragma once
// A column as a table's definition declares it (docs/access-format.md §6: the
// 25-byte column descriptor), and the names Access and its SQL give its type.

#include <cstdint>
#include <string>

#include "platform/jet/public/value.h"

namespace jet {

inline constexpr uint8_t kColumnFixed = 0x01;
inline constexpr uint8_t kColumnAutoLong = 0x04;
inline constexpr uint8_t kColumnAutoGuid = 0x40;
inline constexpr uint8_t kColumnHyperlink = 0x80;
inline constexpr uint8_t kColumnCompressedUnicode = 0x01;  // extended flags

struct ColumnDef {
  uint8_t type_code = 0;
  uint16_t number = 0;  // bit in the null mask
  uint16_t var_index = 0;
  uint16_t fixed_offset = 0;
  uint16_t length = 0;
  uint8_t flags = 0;
  uint8_t ext_flags = 0;
  uint16_t collation = 0;  // text and memo: LCID
  uint8_t sort_version = 0;
  uint8_t precision = 0;  // decimal
  uint8_t scale = 0;
  uint32_t complex_id = 0;
  std::string name;

  ColumnType type() const { return static_cast<ColumnType>(type_code); }
  bool fixed() const { return flags & kColumnFixed; }
  bool is_boolean() const { return type_code == static_cast<uint8_t>(ColumnType::kBoolean); }
  bool is_long_value() const {
    return type_code == static_cast<uint8_t>(ColumnType::kMemo) || type_code == static_cast<uint8_t>(ColumnType::kOle);
  }
};

// The Access name of a column type with its length: "Text (50)", "Long Integer",
// "Decimal (18, 4)", "Memo", "Attachment/Multi-value (not supported)".
std::string AccessTypeName(const ColumnDef& c);

// The Jet SQL type of a column as CREATE TABLE writes it: "TEXT(50)", "LONG",
// "COUNTER", "DECIMAL(18,4)", "MEMO"; types SQL cannot create get a comment.
std::string SqlTypeName(const ColumnDef& c);

}  // namespace jet
