#include "engine/row_statement.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "engine/null_to_default.h"
#include "engine/table_definition.h"
#include "engine/text_forms.h"
#include "platform/ui/services.h"

namespace engine {
namespace {

constexpr std::string_view kLongBinary = "adlongvarbinary";
constexpr std::string_view kSeparator = ", ";
constexpr std::string_view kNull = "NULL, ";

void CommasToFullStops(std::string& text, size_t from) {
  for (size_t i = from; i < text.size(); ++i)
    if (text[i] == ',') text[i] = '.';
}

}  // namespace

NumericPositions NumericPositions::Split(std::string_view text) {
  NumericPositions out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(pos, end - pos);
    while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    if (!piece.empty()) {
      long value = 0;
      auto result = std::from_chars(piece.data(), piece.data() + piece.size(), value);
      if (result.ec != std::errc() || result.ptr != piece.data() + piece.size())
        throw std::invalid_argument("Type mismatch");
      out.positions_.push_back(value);
    }
    pos = end + 1;
  }
  return out;
}

RowStatementBuilder::RowStatementBuilder(std::string_view table_name, NumericPositions positions,
                                         report::Trap& trap)
    : positions_(std::move(positions)), trap_(trap) {
  start_ = "INSERT INTO \"";
  start_ += table_name;
  start_ += "\" VALUES(";
}

bool RowStatementBuilder::IsLongBinary(int16_t type) {
  // The type name is the same for every row; look it up once per code.
  if (type < 0 || type >= static_cast<int16_t>(long_binary_.size())) return LowerTypeName(type) == kLongBinary;
  int8_t& known = long_binary_[type];
  if (known == 0) known = LowerTypeName(type) == kLongBinary ? 2 : 1;
  return known == 2;
}

// The first value is written directly after "VALUES("; a later one follows the
// previous value's comma without the blank.
void RowStatementBuilder::WriteNull() {
  if (!statement_.empty() && statement_.back() != '(') statement_.pop_back();
  statement_ += kNull;
}

// N1 to N3: a field declared DECIMAL, INT or FLOAT.
void RowStatementBuilder::WriteNumeric(std::string_view text) {
  if (text.empty()) return WriteNull();
  if (text == "False") {
    statement_ += "0, ";
  } else if (text == "True") {
    statement_ += "1, ";
  } else {
    size_t from = statement_.size();
    statement_ += text;
    if (IsNumber(text)) CommasToFullStops(statement_, from);
    statement_ += kSeparator;
  }
}

// T1 to T4 (and T2a in a table without numeric fields).
void RowStatementBuilder::WriteText(std::string_view text, bool table_has_numeric_fields) {
  if (text.empty()) return WriteNull();
  // T2: quotes doubled, line breaks deleted (CR LF, LF and CR alike).
  std::string_view cleaned = text;
  // One pass over the text (find_first_of would search the set per character).
  if (std::any_of(text.begin(), text.end(), [](char c) { return c == '\'' || c == '\r' || c == '\n'; })) {
    cleaned_.clear();
    for (char c : text) {
      if (c == '\'') {
        cleaned_ += "''";
      } else if (c != '\r' && c != '\n') {
        cleaned_ += c;
      }
    }
    cleaned = cleaned_;
  }
  size_t from = statement_.size();
  if (auto date = ParseDate(cleaned)) {  // T3
    statement_ += '\'';
    AppendDate(*date, cleaned.find(':') != std::string_view::npos ? DateForm::kDateTime : DateForm::kDate,
               statement_);
    statement_ += "', ";
    return;
  }
  statement_ += '\'';  // T4
  statement_ += cleaned;
  // T2a. Commas are rewritten only in a number, and a number as IsNumber
  // reads it has none; the rule stays for the day the test accepts more.
  if (!table_has_numeric_fields && IsNumber(cleaned)) CommasToFullStops(statement_, from + 1);
  statement_ += "', ";
}

const std::string& RowStatementBuilder::Build(ado::Recordset& recordset) {
  const std::vector<long>& numeric = positions_.List();
  const bool has_numeric = !numeric.empty();
  size_t cursor = 0;
  long position = 0;
  int written = 0;

  trap_(304, [&] { cursor = 0; });
  trap_(308, [&] { statement_.assign(start_); });
  trap_(310, [&] { position = 0; });
  std::vector<ado::Field>* fields = nullptr;
  trap_(312, [&] { fields = &recordset.Fields(); });
  for (size_t i = 0; fields && i < fields->size(); ++i) {
    ado::Field& field = (*fields)[i];
    bool long_binary = false;
    trap_(314, [&] { long_binary = IsLongBinary(field.Type()); });
    if (!long_binary) {  // 316: a long binary field gets no value and no separator
      trap_(318, [] { ui::Current().ProcessEvents(); });
      // A value that cannot be read is written as NULL, never as the previous field's.
      std::string_view text;
      trap_(320, [&] { text = engine::NullToDefault(field.Value(), "", value_scratch_); });
      if (has_numeric) {
        bool is_numeric = false;
        trap_(322, [&] { is_numeric = cursor < numeric.size() && position == numeric[cursor]; });
        if (is_numeric) {
          if (trap_(324, [&] { WriteNumeric(text); })) ++written;
          trap_(342, [&] { ++cursor; });
        } else {
          if (trap_(344, [&] { WriteText(text, true); })) ++written;
        }
      } else {
        if (trap_(362, [&] { WriteText(text, false); })) ++written;
      }
    }
    trap_(384, [&] { ++position; });
  }

  // No value: "INSERT INTO "t" VALUE)" would only be refused; write nothing.
  if (written == 0) {
    statement_.clear();
    return statement_;
  }
  trap_(386, [&] { statement_.resize(statement_.size() - kSeparator.size()); });
  trap_(388, [&] { statement_ += ')'; });
  return statement_;
}

std::string BuildRowStatement(std::string_view table_name, ado::Recordset& recordset,
                              const NumericPositions& positions, report::Trap& trap) {
  RowStatementBuilder builder(table_name, positions, trap);
  return builder.Build(recordset);
}

}  // namespace engine
