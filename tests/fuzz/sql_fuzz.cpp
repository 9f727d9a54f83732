// libFuzzer target for the SQL layer: any text must parse or fail with an
// "SQLException: " message, never crash; every literal of a parsed INSERT is
// then converted into each column type, which must also never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/jet/sql/literal.h"
#include "platform/jet/sql/parser.h"

namespace {

void CheckMessage(const jet::Error& error) {
  if (error.message.rfind("SQLException: ", 0) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto statement = jet::sql::Parse(text);
  if (!statement) {
    CheckMessage(statement.error());
    return 0;
  }
  if (const auto* insert = std::get_if<jet::sql::InsertInto>(&*statement)) {
    static const jet::ColumnType kTypes[] = {
        jet::ColumnType::kBoolean, jet::ColumnType::kByte,    jet::ColumnType::kInteger, jet::ColumnType::kLong,
        jet::ColumnType::kMoney,   jet::ColumnType::kSingle,  jet::ColumnType::kDouble,  jet::ColumnType::kDateTime,
        jet::ColumnType::kBinary,  jet::ColumnType::kText,    jet::ColumnType::kOle,     jet::ColumnType::kMemo,
        jet::ColumnType::kGuid,    jet::ColumnType::kNumeric, jet::ColumnType::kBigInt,
    };
    for (const auto& literal : insert->values) {
      for (auto type : kTypes) {
        jet::ColumnSpec column;
        column.name = "c";
        column.type = type;
        column.max_chars = static_cast<uint16_t>(1 + size % 255);
        column.precision = static_cast<uint8_t>(1 + size % 28);
        column.scale = static_cast<uint8_t>(size % (column.precision + 1));
        auto cell = jet::sql::ConvertLiteral(literal, column, insert->table);
        if (!cell) CheckMessage(cell.error());
      }
    }
  }
  return 0;
}
