#include "platform/jet/sql/types.h"

#include <array>

#include "platform/jet/sql/lexer.h"
#include "platform/jet/sql/sql_error.h"

namespace jet::sql {
namespace {

enum class Family {
  kText,     // Text(n), Text(255) without length
  kTextOrMemo,  // TEXT: Text(n) with a length, Memo without
  kMemo,
  kLong,
  kInteger,
  kByte,
  kBigInt,
  kSingle,
  kDouble,
  kDecimal,
  kMoney,
  kDateTime,
  kBoolean,
  kCounter,
  kGuid,
  kBinary,
  kOle,
};

struct TypeName {
  std::string_view phrase;
  Family family;
};

constexpr std::array kTypes = {
    TypeName{"TEXT", Family::kTextOrMemo},
    TypeName{"VARCHAR", Family::kText},
    TypeName{"CHAR", Family::kText},
    TypeName{"CHARACTER", Family::kText},
    TypeName{"CHAR VARYING", Family::kText},
    TypeName{"CHARACTER VARYING", Family::kText},
    TypeName{"NCHAR", Family::kText},
    TypeName{"NVARCHAR", Family::kText},
    TypeName{"NATIONAL CHAR", Family::kText},
    TypeName{"NATIONAL CHARACTER", Family::kText},
    TypeName{"NATIONAL CHAR VARYING", Family::kText},
    TypeName{"NATIONAL CHARACTER VARYING", Family::kText},
    TypeName{"STRING", Family::kText},
    TypeName{"ALPHANUMERIC", Family::kText},
    TypeName{"MEMO", Family::kMemo},
    TypeName{"LONGTEXT", Family::kMemo},
    TypeName{"LONGCHAR", Family::kMemo},
    TypeName{"NOTE", Family::kMemo},
    TypeName{"NTEXT", Family::kMemo},
    TypeName{"INT", Family::kLong},
    TypeName{"INTEGER", Family::kLong},
    TypeName{"LONG", Family::kLong},
    TypeName{"INTEGER4", Family::kLong},
    TypeName{"SMALLINT", Family::kInteger},
    TypeName{"SHORT", Family::kInteger},
    TypeName{"INTEGER2", Family::kInteger},
    TypeName{"TINYINT", Family::kByte},
    TypeName{"BYTE", Family::kByte},
    TypeName{"INTEGER1", Family::kByte},
    TypeName{"BIGINT", Family::kBigInt},
    TypeName{"REAL", Family::kSingle},
    TypeName{"SINGLE", Family::kSingle},
    TypeName{"FLOAT4", Family::kSingle},
    TypeName{"IEEESINGLE", Family::kSingle},
    TypeName{"FLOAT", Family::kDouble},
    TypeName{"DOUBLE", Family::kDouble},
    TypeName{"DOUBLE PRECISION", Family::kDouble},
    TypeName{"FLOAT8", Family::kDouble},
    TypeName{"IEEEDOUBLE", Family::kDouble},
    TypeName{"NUMBER", Family::kDouble},
    TypeName{"DECIMAL", Family::kDecimal},
    TypeName{"NUMERIC", Family::kDecimal},
    TypeName{"DEC", Family::kDecimal},
    TypeName{"MONEY", Family::kMoney},
    TypeName{"CURRENCY", Family::kMoney},
    TypeName{"DATETIME", Family::kDateTime},
    TypeName{"DATE", Family::kDateTime},
    TypeName{"TIME", Family::kDateTime},
    TypeName{"TIMESTAMP", Family::kDateTime},
    TypeName{"BIT", Family::kBoolean},
    TypeName{"YESNO", Family::kBoolean},
    TypeName{"BOOLEAN", Family::kBoolean},
    TypeName{"LOGICAL", Family::kBoolean},
    TypeName{"LOGICAL1", Family::kBoolean},
    TypeName{"COUNTER", Family::kCounter},
    TypeName{"AUTOINCREMENT", Family::kCounter},
    TypeName{"GUID", Family::kGuid},
    TypeName{"UNIQUEIDENTIFIER", Family::kGuid},
    TypeName{"BINARY", Family::kBinary},
    TypeName{"VARBINARY", Family::kBinary},
    TypeName{"BINARY VARYING", Family::kBinary},
    TypeName{"LONGBINARY", Family::kOle},
    TypeName{"OLEOBJECT", Family::kOle},
    TypeName{"IMAGE", Family::kOle},
    TypeName{"GENERAL", Family::kOle},
};

const TypeName* FindType(std::string_view phrase) {
  for (const auto& t : kTypes) {
    if (EqualsIgnoreCase(t.phrase, phrase)) return &t;
  }
  return nullptr;
}

Status NoArguments(std::string_view phrase, const std::optional<std::vector<int64_t>>& args) {
  if (args) return SqlError(ErrorCode::kSyntax, "The type {} takes no size or precision.", phrase);
  return {};
}

}  // namespace

bool IsTypePhrasePrefix(std::string_view phrase) {
  for (const auto& t : kTypes) {
    if (t.phrase.size() < phrase.size()) continue;
    if (!EqualsIgnoreCase(t.phrase.substr(0, phrase.size()), phrase)) continue;
    if (t.phrase.size() == phrase.size() || t.phrase[phrase.size()] == ' ') return true;
  }
  return false;
}

Status ApplyColumnType(std::string_view phrase, const std::optional<std::vector<int64_t>>& args,
                       ColumnSpec* column) {
  const TypeName* type = FindType(phrase);
  if (!type) return SqlError(ErrorCode::kSyntax, "Unknown data type {}.", phrase);
  column->auto_number = false;
  switch (type->family) {
    case Family::kText:
    case Family::kTextOrMemo:
    case Family::kBinary: {
      const bool binary = type->family == Family::kBinary;
      column->type = binary ? ColumnType::kBinary : ColumnType::kText;
      column->max_chars = 255;
      if (!args) {
        if (type->family == Family::kTextOrMemo) column->type = ColumnType::kMemo;
        return {};
      }
      if (args->size() != 1) {
        return SqlError(ErrorCode::kSyntax, "The type {} takes one size, as in {}(50).", phrase, phrase);
      }
      const int64_t size = args->front();
      if (size < 1 || size > 255) {
        return SqlError(ErrorCode::kInvalidValue, "The size of a {} column must be 1 to 255 {}, not {}.", phrase,
                        binary ? "bytes" : "characters", size);
      }
      column->max_chars = static_cast<uint16_t>(size);
      return {};
    }
    case Family::kDecimal: {
      column->type = ColumnType::kNumeric;
      column->precision = 18;
      column->scale = 0;
      if (!args) return {};
      if (args->empty() || args->size() > 2) {
        return SqlError(ErrorCode::kSyntax, "The type {} takes a precision and an optional scale, as in {}(10,2).",
                        phrase, phrase);
      }
      const int64_t precision = (*args)[0];
      const int64_t scale = args->size() == 2 ? (*args)[1] : 0;
      if (precision < 1 || precision > 28) {
        return SqlError(ErrorCode::kInvalidValue, "The precision of a {} column must be 1 to 28, not {}.", phrase,
                        precision);
      }
      if (scale < 0 || scale > precision) {
        return SqlError(ErrorCode::kInvalidValue,
                        "The scale of a {} column must be 0 to its precision ({}), not {}.", phrase, precision, scale);
      }
      column->precision = static_cast<uint8_t>(precision);
      column->scale = static_cast<uint8_t>(scale);
      return {};
    }
    case Family::kCounter:
      // AUTOINCREMENT(seed, step): only the default numbering is stored.
      if (args && !(args->size() == 2 && (*args)[0] == 1 && (*args)[1] == 1)) {
        return SqlError(ErrorCode::kNotSupported, "{} with a seed and step other than (1, 1) is not supported.",
                        phrase);
      }
      column->type = ColumnType::kLong;
      column->auto_number = true;
      return {};
    case Family::kMemo:
      column->type = ColumnType::kMemo;
      break;
    case Family::kLong:
      column->type = ColumnType::kLong;
      break;
    case Family::kInteger:
      column->type = ColumnType::kInteger;
      break;
    case Family::kByte:
      column->type = ColumnType::kByte;
      break;
    case Family::kBigInt:
      column->type = ColumnType::kBigInt;
      break;
    case Family::kSingle:
      column->type = ColumnType::kSingle;
      break;
    case Family::kDouble:
      column->type = ColumnType::kDouble;
      break;
    case Family::kMoney:
      column->type = ColumnType::kMoney;
      break;
    case Family::kDateTime:
      column->type = ColumnType::kDateTime;
      break;
    case Family::kBoolean:
      column->type = ColumnType::kBoolean;
      break;
    case Family::kGuid:
      column->type = ColumnType::kGuid;
      break;
    case Family::kOle:
      column->type = ColumnType::kOle;
      break;
  }
  return NoArguments(phrase, args);
}

}  // namespace jet::sql
