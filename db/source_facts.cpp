#include "db/source_facts.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ado/recordset.h"

namespace db {

namespace {

enum class Fact {
  kCount,
  kMinInteger,
  kMaxInteger,
  kMaxScale,
  kIntegerDigits,
  kRoundTrip,
  kSpecial,
  kBeyondCurrency,
  kOutsideAccess,
  kFiner,
  kUtf16,
  kOctets,
};

struct Asked {
  size_t column;
  Fact fact;
};

bool Is(const std::string& type, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (type == n) return true;
  return false;
}

// Appends the aggregates that apply to one column. Every aggregate gives
// text, so the driver's type mapping does not matter; the casts name the
// base type, so domains over it are read the same.
void AskAbout(const SourceColumn& column, size_t index, std::string& select, std::vector<Asked>& asked) {
  const std::string c = QuoteIdentifier(column.name);
  const std::string& base = column.base_type;
  auto add = [&](Fact fact, const std::string& expression) {
    select += ", " + expression + "::text";
    asked.push_back({index, fact});
  };
  add(Fact::kCount, "count(" + c + ")");
  if (Is(base, {"int2", "int4", "int8"})) {
    add(Fact::kMinInteger, "min(" + c + "::int8)");
    add(Fact::kMaxInteger, "max(" + c + "::int8)");
  } else if (base == "numeric") {
    // The text as stored: no exponent, the scale's digits after the point.
    const std::string t = "(" + c + "::numeric::text)";
    const std::string special = t + " IN ('NaN', 'Infinity', '-Infinity')";
    if (const int digits = DeclaredDigits(column).precision; digits <= 0 || digits > kAccessDecimalDigits) {
      add(Fact::kMaxScale, "max(length(split_part(" + t + ", '.', 2)))");
      add(Fact::kIntegerDigits, "max(length(ltrim(split_part(" + t + ", '.', 1), '-0')))");
      // A text this long is no float8's shortest text, and could overflow the cast.
      add(Fact::kRoundTrip, "bool_and(CASE WHEN " + special + " THEN true WHEN length(" + t +
                                ") > 300 THEN false ELSE " + t + " = (" + c + "::numeric::float8)::text END)");
    }
    add(Fact::kSpecial, "bool_or(" + special + ")");
  } else if (Is(base, {"float4", "float8"})) {
    add(Fact::kSpecial, "bool_or(" + c + "::float8 IN ('NaN', 'Infinity', '-Infinity'))");
  } else if (base == "money") {
    add(Fact::kBeyondCurrency, "bool_or(abs(" + c + "::money::numeric) > 922337203685477.5807)");
  } else if (Is(base, {"date", "timestamp", "timestamptz", "time", "timetz"})) {
    // Comparisons rather than extract, which makes a numeric of every value:
    // the bounds are read in the session's time zone as the values are, and
    // the infinities fall outside them; a zone's offset is whole seconds, so
    // rounding to the millisecond changes exactly the values with a finer
    // fraction (an infinity stays as it is).
    const std::string v = c + "::" + base;
    if (Is(base, {"date", "timestamp", "timestamptz"}))
      add(Fact::kOutsideAccess, "bool_or(" + v + " < '0100-01-01' OR " + v + " >= '10000-01-01')");
    if (base != "date") add(Fact::kFiner, "count(*) FILTER (WHERE " + v + " <> " + v + "(3))");
  } else if (base == "bytea") {
    add(Fact::kOctets, "max(octet_length(" + c + "::bytea))");
  } else if (base != "bool") {
    // A character outside the BMP is 4 bytes in UTF-8 and 2 units in UTF-16:
    // only a value with at least 3 bytes more than characters can hold one.
    const std::string t = "(" + c + "::text)";
    add(Fact::kUtf16, "max(CASE WHEN octet_length(" + t + ") - length(" + t +
                          ") < 3 OR getdatabaseencoding() <> 'UTF8' THEN length(" + t + ") ELSE length(" + t +
                          ") + length(regexp_replace(" + t + ", E'[^\\\\U00010000-\\\\U0010FFFF]+', '', 'g')) END)");
  }
}

int64_t ToInt64(const std::string& text) {
  try {
    return std::stoll(text);
  } catch (...) {
    return 0;
  }
}

// The one row of a query of aggregates, read whole: the server then scans
// the table in parallel, which it never does for a cursor.
std::unique_ptr<ado::Recordset> AggregateRow(ado::Connection& source, const std::string& query) {
  struct Restore {
    ado::Connection& source;
    int location;
    ~Restore() { source.CursorLocation = location; }
  } restore{source, source.CursorLocation};
  source.CursorLocation = ado::adUseClient;
  return source.Execute(query);
}

// A numeric, floating or date column whose values Access cannot hold is
// kept as PostgreSQL's text of them: how long those texts are is asked only
// then, in a second query over the table. The test is wider than the
// mapping's (a numeric beyond 28 digits that a Double holds is measured too).
void MeasureTextForms(ado::Connection& source, const SourceTable& table, std::vector<ColumnFacts>& facts) {
  std::string select;
  std::vector<size_t> measured;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnFacts& f = facts[i];
    const bool wide_numeric = table.columns[i].base_type == "numeric" &&
                              f.max_integer_digits + f.max_scale > kAccessDecimalDigits;
    if (!f.special_floats && !f.dates_outside_access && !wide_numeric) continue;
    // Their texts are ASCII: characters are UTF-16 units.
    select += (select.empty() ? "" : ", ") + std::string("max(length(") + QuoteIdentifier(table.columns[i].name) +
              "::text))::text";
    measured.push_back(i);
  }
  if (measured.empty()) return;
  auto rows = AggregateRow(source, SourceQuery(table, select));
  for (size_t m = 0; !rows->Eof() && m < measured.size(); ++m) {
    const ado::Value& value = rows->Fields(m).Value();
    if (!value.IsNull()) facts[measured[m]].max_utf16_length = ToInt64(value.ToText());
  }
  rows->Close();
}

}  // namespace

std::vector<ColumnFacts> ReadColumnFacts(ado::Connection& source, const SourceTable& table, int64_t* rows_counted) {
  std::string select = "count(*)::text";
  std::vector<Asked> asked;
  for (size_t i = 0; i < table.columns.size(); ++i) AskAbout(table.columns[i], i, select, asked);

  std::vector<ColumnFacts> facts(table.columns.size());
  auto rows = AggregateRow(source, SourceQuery(table, select));
  if (rows->Eof()) return facts;  // an aggregate always gives a row; nothing to tell without one
  const int64_t total = ToInt64(rows->Fields(size_t{0}).Value().ToText());
  if (rows_counted) *rows_counted = total;
  for (size_t f = 0; f < asked.size(); ++f) {
    const ado::Value& value = rows->Fields(f + 1).Value();
    if (value.IsNull()) continue;  // no values to aggregate: the defaults hold
    const std::string text = value.ToText();
    ColumnFacts& out = facts[asked[f].column];
    switch (asked[f].fact) {
      case Fact::kCount: {
        int64_t count = ToInt64(text);
        out.any_value = count > 0;
        out.has_null = count < total;
        break;
      }
      case Fact::kMinInteger: out.min_integer = ToInt64(text); break;
      case Fact::kMaxInteger: out.max_integer = ToInt64(text); break;
      case Fact::kMaxScale: out.max_scale = static_cast<int>(ToInt64(text)); break;
      case Fact::kIntegerDigits: out.max_integer_digits = static_cast<int>(ToInt64(text)); break;
      case Fact::kRoundTrip: out.numeric_text_round_trips_as_double = text == "true"; break;
      case Fact::kSpecial: out.special_floats = text == "true"; break;
      case Fact::kBeyondCurrency: out.beyond_currency = text == "true"; break;
      case Fact::kOutsideAccess: out.dates_outside_access = text == "true"; break;
      case Fact::kFiner: out.finer_than_millisecond = ToInt64(text); break;
      case Fact::kUtf16: out.max_utf16_length = ToInt64(text); break;
      case Fact::kOctets: out.max_octets = ToInt64(text); break;
    }
  }
  rows->Close();
  MeasureTextForms(source, table, facts);
  return facts;
}

}  // namespace db
