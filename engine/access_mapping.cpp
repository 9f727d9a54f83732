#include "engine/access_mapping.h"

#include <fmt/format.h>

#include <algorithm>

namespace engine {
namespace {

constexpr int64_t kLongMin = -2147483648LL;
constexpr int64_t kLongMax = 2147483647LL;
constexpr int kMaxDecimalPrecision = db::kAccessDecimalDigits;
constexpr int64_t kMaxTextLength = 255;
constexpr size_t kMemoRowBytes = 12;  // the long-value header a Memo or OLE Object leaves in the row

// A text column: TEXT(n) for n up to 255 UTF-16 units, else MEMO.
void AsText(TypedColumn& m, int64_t declared, int64_t longest) {
  const int64_t length = std::max<int64_t>({declared, longest, 1});
  m.form = ValueForm::kText;
  if (length <= kMaxTextLength) {
    m.access_type = fmt::format("TEXT({})", length);
    m.row_bytes = 2 * static_cast<size_t>(length);
  } else {
    m.access_type = "MEMO";
    m.row_bytes = kMemoRowBytes;
  }
}

// A column kept as PostgreSQL's text form of its values, and why.
void KeptAsText(TypedColumn& m, const std::string& quoted, const db::ColumnFacts& facts, std::string why) {
  m.select = quoted + "::text";
  AsText(m, 0, facts.max_utf16_length);
  m.change = std::move(why);
  m.changed = -1;
}

void Fixed(TypedColumn& m, const char* type, ValueForm form, size_t bytes) {
  m.access_type = type;
  m.form = form;
  m.row_bytes = bytes;
}

bool FitsLong(const db::ColumnFacts& facts) {
  return (!facts.min_integer || *facts.min_integer >= kLongMin) && (!facts.max_integer || *facts.max_integer <= kLongMax);
}

}  // namespace

TypedColumn MapColumn(const db::SourceColumn& column, const db::ColumnFacts& facts, bool counter_free) {
  TypedColumn m;
  m.name = column.name;
  m.not_null = column.not_null;
  const std::string q = db::QuoteIdentifier(column.name);
  m.select = q + "::text";
  const std::string& t = column.base_type;

  if (t == "int2" || t == "int4" || t == "int8") {
    const bool fits = t != "int8" || FitsLong(facts);
    if (column.identity && fits && counter_free) {
      Fixed(m, "COUNTER", ValueForm::kNumber, 4);
      m.counter = true;
    } else if (t == "int2") {
      Fixed(m, "SHORT", ValueForm::kNumber, 2);
    } else if (fits) {
      Fixed(m, "LONG", ValueForm::kNumber, 4);
    } else {
      Fixed(m, "DECIMAL(19,0)", ValueForm::kNumber, 17);
      m.change = "a bigint with values beyond 32 bits, kept as Decimal(19,0)";
    }
    return m;
  }
  if (t == "numeric") {
    if (facts.special_floats) {
      KeptAsText(m, q, facts, "a numeric holding NaN or infinity, kept as text");
      return m;
    }
    if (const db::DeclaredDecimal d = db::DeclaredDigits(column); d.precision > 0 && d.precision <= kMaxDecimalPrecision) {
      Fixed(m, "", ValueForm::kNumber, 17);
      m.access_type = fmt::format("DECIMAL({},{})", d.precision, d.scale);
      return m;
    }
    if (!facts.any_value) {
      // Nothing to size it by: room for a bigint's digits and ten decimals.
      Fixed(m, "DECIMAL(28,10)", ValueForm::kNumber, 17);
      return m;
    }
    const int scale = std::max(0, facts.max_scale);
    const int precision = std::max(1, facts.max_integer_digits + scale);
    if (precision <= kMaxDecimalPrecision) {
      Fixed(m, "", ValueForm::kNumber, 17);
      m.access_type = fmt::format("DECIMAL({},{})", precision, scale);
      return m;
    }
    if (facts.numeric_text_round_trips_as_double) {
      Fixed(m, "DOUBLE", ValueForm::kNumber, 8);
      m.change = "a numeric beyond 28 digits whose every value a Double holds exactly, kept as Double";
      return m;
    }
    KeptAsText(m, q, facts, "a numeric beyond 28 digits, kept as text with its exact digits");
    return m;
  }
  if (t == "float4" || t == "float8") {
    // Access SQL has no literal for NaN or infinity.
    if (facts.special_floats) {
      KeptAsText(m, q, facts, "a floating column holding NaN or infinity, kept as text");
      return m;
    }
    Fixed(m, t == "float4" ? "SINGLE" : "DOUBLE", ValueForm::kNumber, t == "float4" ? 4 : 8);
    return m;
  }
  if (t == "money") {
    m.select = q + "::numeric::text";  // never the locale's money text
    if (facts.beyond_currency) {
      Fixed(m, "DECIMAL(19,2)", ValueForm::kNumber, 17);
      m.change = "money beyond Currency's range, kept as Decimal(19,2)";
    } else {
      Fixed(m, "CURRENCY", ValueForm::kNumber, 8);
    }
    return m;
  }
  if (t == "bool") {
    // A Yes/No holds no NULL.
    if (facts.has_null) {
      Fixed(m, "SHORT", ValueForm::kYesNoAsNumber, 2);
      m.change = "a Boolean holding NULL, kept as Integer -1 / 0 / NULL";
      m.changed = -1;
    } else {
      Fixed(m, "YESNO", ValueForm::kYesNo, 0);
    }
    return m;
  }
  if (t == "date" || t == "timestamp" || t == "timestamptz" || t == "time") {
    if (t != "time" && facts.dates_outside_access) {
      KeptAsText(m, q, facts, "dates outside Access's years 100 to 9999 (or infinite), kept as text");
      return m;
    }
    Fixed(m, "DATETIME", ValueForm::kDateTime, 8);
    // The session's DateStyle is ISO (psqlODBC sets it): dates as yyyy-mm-dd,
    // timestamps rounded to the millisecond as yyyy-mm-dd hh:mm:ss[.f[f[f]]],
    // which costs the server far less than to_char.
    if (t == "date") m.select = q + "::text";
    else if (t == "time") m.select = "to_char('1899-12-30'::date + " + q + "::time(3), 'YYYY-MM-DD HH24:MI:SS.MS')";
    else m.select = q + "::timestamp(3)::text";
    if (facts.finer_than_millisecond > 0) {
      m.change = "rounded to the millisecond";
      m.changed = facts.finer_than_millisecond;
    }
    return m;
  }
  // char(n) and varchar(n) up to 255 keep their length (longer when the
  // values take more UTF-16 units); text and longer ones are TEXT(255) unless
  // a value is longer.
  if (t == "bpchar" || t == "varchar" || t == "text") {
    const bool declared = column.length > 0 && column.length <= kMaxTextLength;
    AsText(m, declared ? column.length : kMaxTextLength, facts.max_utf16_length);
    return m;
  }
  if (t == "bytea") {
    Fixed(m, "LONGBINARY", ValueForm::kBinary, kMemoRowBytes);
    m.select = "encode(" + q + ", 'hex')";
    m.keyable = false;
    return m;
  }
  if (t == "uuid") {
    Fixed(m, "GUID", ValueForm::kGuid, 16);
    return m;
  }
  // text, name, enums, and every other type as PostgreSQL writes its values.
  AsText(m, 0, facts.max_utf16_length);
  return m;
}

std::vector<TypedColumn> MapColumns(const db::SourceTable& table, const std::vector<db::ColumnFacts>& facts) {
  std::vector<TypedColumn> out;
  bool counter_free = true;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    out.push_back(MapColumn(table.columns[i], i < facts.size() ? facts[i] : db::ColumnFacts{}, counter_free));
    counter_free = counter_free && !out.back().counter;
  }
  // A row holds its fixed values, its variable ones, two bytes of offset per
  // variable column and its null mask.
  auto row_bytes = [&] {
    size_t n = 8 + (out.size() + 7) / 8;
    for (const auto& m : out) n += m.row_bytes + 2;
    return n;
  };
  while (row_bytes() > kAccessRowBytes) {
    TypedColumn* widest = nullptr;
    for (auto& m : out)
      if (m.access_type.starts_with("TEXT(") && (!widest || m.row_bytes > widest->row_bytes)) widest = &m;
    if (!widest) break;  // nothing left to move out of the row: the rows will say what does not fit
    widest->access_type = "MEMO";
    widest->row_bytes = kMemoRowBytes;
    if (widest->change.empty()) widest->change = "kept as Memo: the row would exceed what an Access row holds";
  }
  return out;
}

}  // namespace engine
