#pragma once
// Column types and cell values of the Access file engine, shared by the SQL
// layer (which turns literals into cells) and the table layer (which encodes
// them into rows).

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

// Column type codes as stored in a table definition.
enum class ColumnType : uint8_t {
  kBoolean = 0x01,
  kByte = 0x02,
  kInteger = 0x03,  // 16-bit
  kLong = 0x04,     // 32-bit
  kMoney = 0x05,
  kSingle = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,
  kMemo = 0x0C,
  kGuid = 0x0F,
  kNumeric = 0x10,
  kUnknown11 = 0x11,
  kComplex = 0x12,
  kBigInt = 0x13,
  kDateTimeExtended = 0x14,
};

// A column as CREATE TABLE declares it.
struct ColumnSpec {
  std::string name;  // UTF-8
  ColumnType type = ColumnType::kText;
  uint16_t max_chars = 255;  // Text: characters (1..255); Binary: bytes (1..255)
  uint8_t precision = 18;    // Numeric
  uint8_t scale = 0;         // Numeric
  bool auto_number = false;  // COUNTER / AUTOINCREMENT
  bool not_null = false;
  // DEFAULT: the expression as Access stores it ("0", "\"text\"", "#2020-01-31#"); empty for none.
  std::string default_value;
};

// Money: the amount times 10,000 (four decimals), as stored.
struct Money {
  int64_t scaled = 0;
  bool operator==(const Money&) const = default;
};

// Decimal: an unsigned 96-bit magnitude (lo, mid, hi 32-bit words), a sign and a scale.
struct Decimal {
  uint32_t lo = 0, mid = 0, hi = 0;
  bool negative = false;
  uint8_t scale = 0;
  bool operator==(const Decimal&) const = default;
};

// Date/Time: days since 1899-12-30, the fraction being the time of day.
struct DateTimeValue {
  double days = 0;
  bool operator==(const DateTimeValue&) const = default;
};

struct Guid {
  uint8_t bytes[16] = {};  // as stored
  bool operator==(const Guid&) const = default;
};

struct Null {
  bool operator==(const Null&) const = default;
};

using Bytes = std::vector<uint8_t>;

// Text is UTF-8 here; the table layer stores it as UTF-16.
using Cell = std::variant<Null, bool, int64_t, double, Money, Decimal, DateTimeValue, Guid, std::string, Bytes>;

inline bool IsNull(const Cell& c) { return std::holds_alternative<Null>(c); }

}  // namespace jet
