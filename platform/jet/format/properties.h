#pragma once
// Property lists (the LvProp value of a catalogue row, docs/access-format.md),
// as Access lays them out:
//
//   "MR2\0"
//   chunk: u32 length (with this header), u16 type, then its body
//     0x0080 names:   u16 byte length + UTF-16LE name, for each name
//     0x0000 the object's own properties, 0x0001 a column's properties:
//                     u32 6 + name bytes, u16 name bytes, UTF-16LE name (""
//                     for the object), then each property as u16 length
//                     (with this header), u8 DDL flag, u8 type, u16 index
//                     into the names, u16 value length, value
//
// Access writes "Required" on a column as a DDL property of type Boolean
// (0x01), value 01 for Yes; MSysDb's "AccessVersion" is a text (0x0A).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet::format {

inline constexpr uint8_t kPropertyBoolean = 0x01;
inline constexpr uint8_t kPropertyText = 0x0A;
inline constexpr uint8_t kPropertyMemo = 0x0C;  // DefaultValue, as Access writes it

struct Property {
  std::string name;
  uint8_t type = kPropertyBoolean;
  bool ddl = false;
  std::vector<std::byte> value;
};

struct PropertyBlock {
  std::string name;  // a column; "" for the object itself
  std::vector<Property> properties;
};

// The property list of `blocks`, in their order; each name is listed once.
std::vector<std::byte> BuildPropertyList(const std::vector<PropertyBlock>& blocks);

// The property list that marks `required_columns` Required = Yes; empty when
// there are none (a table row without properties is valid).
std::vector<std::byte> RequiredColumnProperties(const std::vector<std::string>& required_columns);

// What CREATE TABLE records of a column: its DefaultValue (a memo of the
// expression), Required = Yes for NOT NULL and AllowZeroLength = Yes, as
// Access writes them (in that order).
struct ColumnProperties {
  std::string column;
  std::string default_value;  // empty: none
  bool required = false;
  bool allow_zero_length = false;
};
std::vector<std::byte> BuildColumnProperties(const std::vector<ColumnProperties>& columns);

// Reads a property list; nothing for bytes of another shape.
std::optional<std::vector<PropertyBlock>> ParsePropertyList(const std::vector<std::byte>& bytes);

}  // namespace jet::format
