#include "platform/jet/sql/literal.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/jet/sql/date_text.h"
#include "platform/jet/sql/number_text.h"
#include "platform/jet/sql/sql_error.h"
#include "platform/jet/sql/utf8.h"

namespace jet::sql {
namespace {

std::string TypeName(const ColumnSpec& c) {
  switch (c.type) {
    case ColumnType::kBoolean: return "Yes/No";
    case ColumnType::kByte: return "Byte";
    case ColumnType::kInteger: return "Integer";
    case ColumnType::kLong: return c.auto_number ? "AutoNumber" : "Long Integer";
    case ColumnType::kMoney: return "Currency";
    case ColumnType::kSingle: return "Single";
    case ColumnType::kDouble: return "Double";
    case ColumnType::kDateTime: return "Date/Time";
    case ColumnType::kBinary: return fmt::format("Binary({})", c.max_chars);
    case ColumnType::kText: return fmt::format("Text({})", c.max_chars);
    case ColumnType::kOle: return "OLE Object";
    case ColumnType::kMemo: return "Memo";
    case ColumnType::kGuid: return "Replication ID";
    case ColumnType::kNumeric: return fmt::format("Decimal({},{})", c.precision, c.scale);
    case ColumnType::kBigInt: return "Large Number";
    default: return fmt::format("type 0x{:02X}", static_cast<unsigned>(c.type));
  }
}

std::string ShownLiteral(const Literal& l) {
  switch (l.kind) {
    case Literal::Kind::kNull: return "NULL";
    case Literal::Kind::kString: return Shown(l.text);
    case Literal::Kind::kDate: return "#" + l.text + "#";
    case Literal::Kind::kBinary: return Shown("0x" + l.text);
    default: return l.text;
  }
}

// Builds the refusals, each naming value, column and table.
struct Where {
  const Literal& literal;
  const ColumnSpec& column;
  std::string_view table;

  Error Refuse(ErrorCode code, std::string_view why) const {
    return SqlError(code, "The value {} cannot be stored in column {} ({}) of table {}: {}.", ShownLiteral(literal),
                    Shown(column.name), TypeName(column), Shown(table), why);
  }
  Error NotANumber() const { return Refuse(ErrorCode::kInvalidValue, "it is not a number"); }
  Error OutOfRange() const {
    return Refuse(ErrorCode::kInvalidValue, "numeric field overflow, the number is outside the column's range");
  }
  Error Mismatch() const { return Refuse(ErrorCode::kInvalidValue, "data type mismatch"); }
};

bool IsWholeColumn(ColumnType t) {
  return t == ColumnType::kByte || t == ColumnType::kInteger || t == ColumnType::kLong || t == ColumnType::kBigInt;
}

bool IsNumberColumn(ColumnType t) {
  return IsWholeColumn(t) || t == ColumnType::kSingle || t == ColumnType::kDouble || t == ColumnType::kMoney ||
         t == ColumnType::kNumeric;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

Result<Cell> NumberToColumn(const DecimalNumber& n, const Where& w) {
  switch (w.column.type) {
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kBigInt: {
      int64_t min = std::numeric_limits<int64_t>::min(), max = std::numeric_limits<int64_t>::max();
      if (w.column.type == ColumnType::kByte) min = 0, max = 255;
      if (w.column.type == ColumnType::kInteger) min = -32768, max = 32767;
      if (w.column.type == ColumnType::kLong) min = std::numeric_limits<int32_t>::min(), max = std::numeric_limits<int32_t>::max();
      auto v = ToInteger(n, min, max);
      if (!v) return w.OutOfRange();
      return Cell{*v};
    }
    case ColumnType::kDouble: {
      auto v = ToDouble(n);
      if (!v) return w.OutOfRange();
      return Cell{*v};
    }
    case ColumnType::kSingle: {
      auto v = ToDouble(n);
      if (!v || std::fabs(*v) > static_cast<double>(FLT_MAX)) return w.OutOfRange();
      return Cell{static_cast<double>(static_cast<float>(*v))};
    }
    case ColumnType::kMoney: {
      auto m = ScaledMagnitude(n, 4);
      const Uint128 limit = static_cast<Uint128>(std::numeric_limits<int64_t>::max()) + (n.negative ? 1 : 0);
      if (!m || *m > limit) return w.OutOfRange();
      return Cell{Money{n.negative ? static_cast<int64_t>(-static_cast<Int128>(*m)) : static_cast<int64_t>(*m)}};
    }
    case ColumnType::kNumeric: {
      auto m = ScaledMagnitude(n, w.column.scale);
      Uint128 limit = 1;
      for (int k = 0; k < w.column.precision; ++k) limit *= 10;
      if (!m || *m >= limit) return w.OutOfRange();
      Decimal d;
      d.lo = static_cast<uint32_t>(*m);
      d.mid = static_cast<uint32_t>(*m >> 32);
      d.hi = static_cast<uint32_t>(*m >> 64);
      d.negative = n.negative && *m != 0;
      d.scale = w.column.scale;
      return Cell{d};
    }
    case ColumnType::kBoolean:
      return Cell{!n.digits.empty()};
    case ColumnType::kDateTime: {
      auto v = ToDouble(n);
      if (!v || *v < kMinDateDays || *v > kMaxDateDays) {
        return w.Refuse(ErrorCode::kInvalidValue, "the date is outside the years 100 to 9999");
      }
      return Cell{DateTimeValue{*v}};
    }
    default:
      return w.Mismatch();
  }
}

Status TextToColumnCheck(std::string_view text, const Where& w) {
  const ColumnSpec& c = w.column;
  if (c.type == ColumnType::kText || c.type == ColumnType::kMemo) {
    auto length = Utf16Length(text);
    if (!length) return w.Refuse(ErrorCode::kInvalidValue, "the text is not valid UTF-8");
    if (c.type == ColumnType::kText && *length > c.max_chars) {
      return w.Refuse(ErrorCode::kInvalidValue,
                      fmt::format("the field is too small: {} characters into a column of {}", *length, c.max_chars));
    }
    return {};
  }
  return w.Mismatch();
}

Result<Cell> TextToColumn(std::string_view text, const Where& w) {
  JET_TRY(TextToColumnCheck(text, w));
  return Cell{std::string(text)};
}

std::optional<Guid> ParseGuid(std::string_view s) {
  s = TrimBlanks(s);
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36) return std::nullopt;
  uint8_t raw[16];
  size_t k = 0;
  for (size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (s[i++] != '-') return std::nullopt;
      continue;
    }
    auto hex = [](char ch) -> int {
      if (ch >= '0' && ch <= '9') return ch - '0';
      if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
      if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
      return -1;
    };
    const int hi = hex(s[i]), lo = hex(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    raw[k++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  // Stored as Windows lays out a GUID: the first three groups little-endian.
  Guid g;
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) g.bytes[i] = raw[kOrder[i]];
  return g;
}

std::optional<bool> ParseBooleanWord(std::string_view s) {
  for (std::string_view word : {"True", "Yes", "On"}) {
    if (s.size() == word.size() && std::equal(s.begin(), s.end(), word.begin(), [](char a, char b) {
          return (a | 0x20) == (b | 0x20);
        })) {
      return true;
    }
  }
  for (std::string_view word : {"False", "No", "Off"}) {
    if (s.size() == word.size() && std::equal(s.begin(), s.end(), word.begin(), [](char a, char b) {
          return (a | 0x20) == (b | 0x20);
        })) {
      return false;
    }
  }
  return std::nullopt;
}

Result<Cell> StringToColumn(const std::string& text, const Where& w) {
  const ColumnType type = w.column.type;
  if (type == ColumnType::kText || type == ColumnType::kMemo) return TextToColumn(text, w);
  if (IsNumberColumn(type)) {
    auto n = ParseDecimalNumber(TrimBlanks(text));
    if (!n) return w.NotANumber();
    return NumberToColumn(*n, w);
  }
  switch (type) {
    case ColumnType::kBoolean: {
      if (auto b = ParseBooleanWord(TrimBlanks(text))) return Cell{*b};
      auto n = ParseDecimalNumber(TrimBlanks(text));
      if (!n) return w.Refuse(ErrorCode::kInvalidValue, "expected True, False, Yes, No, On, Off or a number");
      return Cell{!n->digits.empty()};
    }
    case ColumnType::kDateTime: {
      auto d = ParseDateText(text);
      if (!d) {
        return w.Refuse(ErrorCode::kInvalidValue,
                        "expected a date as mm/dd/yyyy or yyyy-mm-dd, optionally with hh:nn:ss, in the years 100 to 9999");
      }
      return Cell{*d};
    }
    case ColumnType::kGuid: {
      auto g = ParseGuid(text);
      if (!g) return w.Refuse(ErrorCode::kInvalidValue, "expected a GUID as {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}");
      return Cell{*g};
    }
    case ColumnType::kBinary:
    case ColumnType::kOle:
      return w.Refuse(ErrorCode::kInvalidValue, "binary values are written in hexadecimal, as 0x0A1B");
    default:
      return w.Mismatch();
  }
}

Result<Cell> HexToColumn(const std::string& hex, const Where& w) {
  if (w.column.type != ColumnType::kBinary && w.column.type != ColumnType::kOle) return w.Mismatch();
  Bytes bytes;
  bytes.reserve(hex.size() / 2);
  auto nibble = [](char ch) {
    return ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10;
  };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  }
  if (w.column.type == ColumnType::kBinary && bytes.size() > w.column.max_chars) {
    return w.Refuse(ErrorCode::kInvalidValue,
                    fmt::format("the field is too small: {} bytes into a column of {}", bytes.size(), w.column.max_chars));
  }
  return Cell{std::move(bytes)};
}

}  // namespace

Result<Cell> ConvertLiteral(const Literal& literal, const ColumnSpec& column, std::string_view table) {
  const Where w{literal, column, table};
  switch (literal.kind) {
    case Literal::Kind::kNull:
      if (column.type == ColumnType::kBoolean) return Cell{false};  // a Yes/No column holds no Null
      if (column.not_null && !column.auto_number) {
        return w.Refuse(ErrorCode::kInvalidValue, "the column is required (NOT NULL)");
      }
      return Cell{Null{}};
    case Literal::Kind::kNumber: {
      auto n = ParseDecimalNumber(literal.text);
      if (!n) return w.Refuse(ErrorCode::kInvalidValue, "NaN and Infinity are not numbers Access can store");
      if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) return TextToColumn(literal.text, w);
      return NumberToColumn(*n, w);
    }
    case Literal::Kind::kString:
      return StringToColumn(literal.text, w);
    case Literal::Kind::kBoolean: {
      const bool value = literal.text == "True";
      if (column.type == ColumnType::kBoolean) return Cell{value};
      if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) return TextToColumn(value ? "-1" : "0", w);
      if (IsNumberColumn(column.type)) return NumberToColumn(DecimalNumber{value, value ? "1" : "", 0}, w);
      return w.Mismatch();
    }
    case Literal::Kind::kDate: {
      auto d = ParseDateText(literal.text);
      if (!d) return w.Refuse(ErrorCode::kInvalidValue, "it is not a date Access can store");
      if (column.type == ColumnType::kDateTime) return Cell{*d};
      if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) return TextToColumn(literal.text, w);
      return w.Mismatch();
    }
    case Literal::Kind::kBinary:
      return HexToColumn(literal.text, w);
  }
  return w.Mismatch();
}

Result<Cell> ConvertLiteral(Literal&& literal, const ColumnSpec& column, std::string_view table) {
  const bool text_column = column.type == ColumnType::kText || column.type == ColumnType::kMemo;
  if (!(literal.kind == Literal::Kind::kString && text_column)) {
    return ConvertLiteral(static_cast<const Literal&>(literal), column, table);
  }
  const Literal& view = literal;
  if (auto refused = TextToColumnCheck(view.text, Where{view, column, table}); !refused) return refused.error();
  return Cell{std::move(literal.text)};
}

}  // namespace jet::sql
