#include "tools/convert/verify.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <tuple>

#include "db/postgresql.h"
#include "engine/conversion_log.h"
#include "engine/conversion_run.h"
#include "engine/row_statement.h"
#include "engine/table_definition.h"
#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/jet/public/database.h"
#include "platform/jet/public/digest.h"
#include "platform/jet/public/statement.h"
#include "platform/jet/public/value_text.h"
#include "platform/ui/line_breaks.h"
#include "platform/util/digits.h"
#include "report/error_report.h"
#include "report/procedures.h"

namespace convert {
namespace {

using jet::ColumnType;
using jet::ColumnDef;
using Row = std::vector<std::string>;  // each value in its compared form

constexpr char kNull[] = "\x01NULL";
constexpr size_t kShown = 5;

bool IsInteger(ColumnType t) {
  return t == ColumnType::kByte || t == ColumnType::kInteger || t == ColumnType::kLong || t == ColumnType::kBigInt;
}

// "+0012.500" -> "12.5"; "-0.0" -> "0"; nothing for text that is not a plain decimal.
std::optional<std::string> PlainDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::string whole, fraction;
  bool point = false;
  for (char c : text) {
    if (c == '.' && !point) point = true;
    else if (c >= '0' && c <= '9') (point ? fraction : whole) += c;
    else return std::nullopt;
  }
  if (whole.empty() && fraction.empty()) return std::nullopt;
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (whole.empty()) whole = "0";
  std::string out = whole + (fraction.empty() ? "" : "." + fraction);
  return (negative && out != "0" ? "-" : "") + out;
}

// A number as written in a statement, in the form the column keeps it. Doubles
// and singles are read as the engine reads them (to the nearest double, then,
// for a single, to the nearest float).
std::string NumberAs(const std::string& text, const ColumnDef& c) {
  if (IsInteger(c.type())) {
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    if (end != text.c_str() && *end == '\0' && std::isfinite(value) && value == std::floor(value) &&
        std::fabs(value) < 9.2e18L)
      return std::to_string(static_cast<long long>(value));
    return text;  // a fraction or worse: never equal to a stored integer
  }
  if (c.type() == ColumnType::kDouble || c.type() == ColumnType::kSingle) {
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    double value = 0;
    auto [at, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error == std::errc() && at == text.data() + text.size())
      return c.type() == ColumnType::kSingle ? fmt::format("{}", static_cast<float>(value)) : fmt::format("{}", value);
    return text;
  }
  if (auto plain = PlainDecimal(text)) return *plain;
  return text;
}

std::string Upper(std::string text) {
  for (char& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return text;
}

// `typed`: the statements of the conversion that keeps types, whose dates
// carry milliseconds and whose GUIDs and binary values are literals of their own.
std::string FromLiteral(const jet::Literal& l, const ColumnDef& c, bool typed = false) {
  using Kind = jet::Literal::Kind;
  switch (l.kind) {
    case Kind::kNull: return kNull;
    case Kind::kNumber: return c.type() == ColumnType::kText || c.type() == ColumnType::kMemo ? l.text : NumberAs(l.text, c);
    case Kind::kBoolean: return l.text == "True" ? "1" : "0";
    case Kind::kDate:
      if (typed) return l.text.size() == 10 ? l.text + " 00:00:00.000" : l.text;
      return l.text;
    case Kind::kBinary: return typed ? Upper(l.text) : l.text;
    case Kind::kString:
      if (typed && c.type() == ColumnType::kGuid) return Upper(l.text);
      return l.text;
    default: return l.text;
  }
}

std::string FromCell(const jet::Cell& cell, const ColumnDef& c, bool typed = false) {
  if (auto* t = std::get_if<jet::DateTimeValue>(&cell); t && typed) {
    auto civil = jet::OleDateToCivil(t->days);
    if (!civil) return jet::OleDateText(t->days);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", civil->year, civil->month, civil->day,
                       civil->hour, civil->minute, civil->second, civil->millisecond);
  }
  if (auto* s = std::get_if<std::string>(&cell)) return *s;
  if (auto* i = std::get_if<int64_t>(&cell)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&cell)) {
    if (c.type() == ColumnType::kSingle) return fmt::format("{}", static_cast<float>(*d));
    return fmt::format("{}", *d);
  }
  if (auto* b = std::get_if<bool>(&cell)) return *b ? "1" : "0";
  if (auto* m = std::get_if<jet::Money>(&cell)) return PlainDecimal(jet::MoneyText(*m)).value_or("?");
  if (auto* n = std::get_if<jet::Decimal>(&cell)) return PlainDecimal(jet::DecimalText(*n)).value_or("?");
  if (auto* t = std::get_if<jet::DateTimeValue>(&cell)) return jet::OleDateText(t->days);
  if (auto* g = std::get_if<jet::Guid>(&cell)) return jet::GuidText(*g);
  if (auto* bytes = std::get_if<jet::Bytes>(&cell)) {
    std::string hex;
    util::AppendHex(*bytes, hex);
    return hex;
  }
  return kNull;
}

std::string Shown(const std::string& value) {
  if (value == kNull) return "NULL";
  std::string text = value.size() > 60 ? value.substr(0, 57) + "..." : value;
  return "'" + text + "'";
}

struct Digest {
  uint64_t high = 0, low = 0;
  long long row = 0;
  bool operator<(const Digest& o) const { return std::tie(high, low, row) < std::tie(o.high, o.low, o.row); }
  bool SameRow(const Digest& o) const { return high == o.high && low == o.low; }
};

// SHA-256 of the row's values (each with its length), cut to 128 bits.
Digest DigestOf(jet::Sha256& sha256, const Row& row, long long number) {
  std::string joined;
  for (const std::string& v : row) {
    const uint64_t size = v.size();
    joined.append(reinterpret_cast<const char*>(&size), sizeof size);
    joined += v;
  }
  const std::array<uint8_t, 32> hash = sha256.Of(joined);
  Digest d;
  std::memcpy(&d.high, hash.data(), 8);
  std::memcpy(&d.low, hash.data() + 8, 8);
  d.row = number;
  return d;
}

// The table as the conversion that keeps types planned it.
struct TypedSource {
  const engine::TypedConversion* conversion = nullptr;
  const engine::TablePlan* plan = nullptr;
};

// The source side: the run's SELECT, each row turned into the run's statement.
class SourceRows {
 public:
  SourceRows(const db::SourceFields& fields, const std::string& table, const TypedSource* typed = nullptr)
      : trap_(report::procedures::kVerify), typed_(typed) {
    connection_ = ado::CreateConnection();
    connection_->CursorLocation = ado::adUseServer;
    connection_->CommandTimeout = 5000;
    connection_->ConnectionTimeout = 5000;
    connection_->Open(db::PostgreSQLConnectionString(fields));
    records_ = ado::CreateRecordset();
    if (typed_) {
      // Timestamps with time zone read in the zone the run read them in.
      if (!typed_->conversion->TimeZone().empty())
        connection_->Execute("SET TimeZone = " + db::QuoteLiteral(typed_->conversion->TimeZone()));
      records_->Open(typed_->plan->source_query, *connection_);
      return;
    }
    records_->Open(engine::SourceQuery(table), *connection_);
    engine::ConversionLog log;
    auto definition = engine::BuildTableDefinition(table, *records_, log, trap_);
    builder_.emplace(table, engine::NumericPositions::Split(definition.numeric_positions), trap_);
  }
  ~SourceRows() {
    if (records_ && records_->IsOpen()) records_->Close();
  }

  bool Next(const std::vector<ColumnDef>& columns, Row* row) {
    if (records_->Eof()) return false;
    if (typed_) typed_statement_ = typed_->conversion->RowStatement(*typed_->plan, *records_);
    const std::string& statement = typed_ ? typed_statement_ : builder_->Build(*records_);
    records_->MoveNext();
    row->clear();
    auto values = jet::InsertedValues(statement);
    if (!values) {
      row->push_back("(" + statement.substr(0, 60) + ")");
      return true;
    }
    for (size_t i = 0; i < values->size(); ++i)
      row->push_back(i < columns.size() ? FromLiteral((*values)[i], columns[i], typed_ != nullptr) : (*values)[i].text);
    return true;
  }

 private:
  report::Trap trap_;
  const TypedSource* typed_;
  std::string typed_statement_;
  std::unique_ptr<ado::Connection> connection_;
  std::unique_ptr<ado::Recordset> records_;
  std::optional<engine::RowStatementBuilder> builder_;
};

// The Access side, through the engine.
class StoredRows {
 public:
  StoredRows(jet::Database& db, const std::string& table, bool typed = false) : typed_(typed) {
    auto reader = db.ReadTable(table);
    if (!reader) throw ado::Error(ado::kErrorProvider, reader.error().message);
    reader_ = std::move(*reader);
  }
  const std::vector<ColumnDef>& columns() const { return reader_->columns(); }
  bool Next(Row* row) {
    if (!reader_->Valid()) {
      if (!reader_->status()) throw ado::Error(ado::kErrorProvider, reader_->status().error().message);
      return false;
    }
    row->clear();
    const auto& cells = reader_->row();
    for (size_t i = 0; i < cells.size(); ++i) row->push_back(FromCell(cells[i], reader_->columns()[i], typed_));
    reader_->Next();
    return true;
  }

 private:
  std::unique_ptr<jet::TableReader> reader_;
  bool typed_;
};

struct Comparison {
  long long source_rows = 0, stored_rows = 0;
  long long first_disorder = 0;                  // 0: every row agreed in order
  std::vector<long long> only_source, only_stored;  // row numbers, ascending
  bool beyond_limit = false;
};

Comparison Compare(const db::SourceFields& fields, jet::Database& db, const std::string& table,
                   const TypedSource* typed) {
  Comparison out;
  StoredRows stored(db, table, typed != nullptr);
  SourceRows source(fields, table, typed);
  std::vector<Digest> source_digests, stored_digests;
  jet::Sha256 sha256;
  Row a, b;
  for (long long number = 1;; ++number) {
    bool has_a = source.Next(stored.columns(), &a);
    bool has_b = stored.Next(&b);
    if (!has_a && !has_b) break;
    out.source_rows += has_a;
    out.stored_rows += has_b;
    if (out.first_disorder == 0 && has_a && has_b && a == b) continue;
    if (out.first_disorder == 0) out.first_disorder = number;
    if (out.beyond_limit) continue;  // counted only
    if (has_a) source_digests.push_back(DigestOf(sha256, a, number));
    if (has_b) stored_digests.push_back(DigestOf(sha256, b, number));
    if (source_digests.size() > kMaxDigestRows || stored_digests.size() > kMaxDigestRows) {
      out.beyond_limit = true;
      source_digests.clear();
      stored_digests.clear();
    }
  }
  // Multisets: equal digests cancel out, whatever their rows.
  std::sort(source_digests.begin(), source_digests.end());
  std::sort(stored_digests.begin(), stored_digests.end());
  size_t i = 0, j = 0;
  auto less = [](const Digest& x, const Digest& y) { return std::tie(x.high, x.low) < std::tie(y.high, y.low); };
  while (i < source_digests.size() && j < stored_digests.size()) {
    if (source_digests[i].SameRow(stored_digests[j])) {
      ++i;
      ++j;
    } else if (less(source_digests[i], stored_digests[j])) {
      out.only_source.push_back(source_digests[i++].row);
    } else {
      out.only_stored.push_back(stored_digests[j++].row);
    }
  }
  for (; i < source_digests.size(); ++i) out.only_source.push_back(source_digests[i].row);
  for (; j < stored_digests.size(); ++j) out.only_stored.push_back(stored_digests[j].row);
  std::sort(out.only_source.begin(), out.only_source.end());
  std::sort(out.only_stored.begin(), out.only_stored.end());
  return out;
}

// A second read for the rows a report shows: their values by row number.
void FetchRows(const db::SourceFields& fields, jet::Database& db, const std::string& table, const TypedSource* typed,
               const std::set<long long>& source_wanted, const std::set<long long>& stored_wanted,
               std::map<long long, Row>* source_rows, std::map<long long, Row>* stored_rows) {
  StoredRows stored(db, table, typed != nullptr);
  Row row;
  long long last = stored_wanted.empty() ? 0 : *stored_wanted.rbegin();
  for (long long n = 1; n <= last && stored.Next(&row); ++n)
    if (stored_wanted.count(n)) (*stored_rows)[n] = row;
  if (source_wanted.empty()) return;
  SourceRows source(fields, table, typed);
  last = *source_wanted.rbegin();
  for (long long n = 1; n <= last && source.Next(stored.columns(), &row); ++n)
    if (source_wanted.count(n)) (*source_rows)[n] = row;
}

std::string FirstLine(const std::string& text) {
  std::string t = ui::WithLineFeeds(text);
  size_t eol = t.find('\n');
  return eol == std::string::npos ? t : t.substr(0, eol);
}

}  // namespace

VerifyTotals VerifyTables(const db::SourceFields& source, const db::TargetFields& target,
                          const std::vector<std::string>& tables, const RefusalLog* refusals, FILE* out,
                          const engine::TypedOptions* keep_types) {
  VerifyTotals totals;
  // Keeping types, the tables are planned again as the run planned them.
  engine::TypedConversion typed;
  if (keep_types) {
    fmt::print(out,
               "Verifying against the values as the statements wrote them, types kept: dates and times to the "
               "millisecond, texts exactly.\n");
    try {
      auto connection = ado::CreateConnection();
      connection->CommandTimeout = 5000;
      connection->Open(db::PostgreSQLConnectionString(source));
      typed.Prepare(*connection, *keep_types);
    } catch (const ado::Error& e) {
      fmt::print(out, "Cannot read the source's catalogue: {}\n", FirstLine(e.Description()));
      totals.tables = static_cast<int>(tables.size());
      return totals;
    }
  } else {
    fmt::print(out,
               "Verifying against the values as the statements wrote them: texts without line breaks, dates as "
               "mm/dd/yyyy [hh:nn:ss] without fractions of a second, empty texts as NULL (by design, not "
               "differences).\n");
  }
  auto db = jet::Database::Open(target.path, {.password = target.password});
  if (!db) {
    fmt::print(out, "Cannot open {}: {}\n", target.path, db.error().message);
    totals.tables = static_cast<int>(tables.size());
    return totals;
  }
  // Keeping types without a run (--verify-only): every table the plan has.
  const std::vector<std::string> planned = keep_types && tables.empty() ? typed.TableNames() : tables;
  for (const std::string& table : planned) {
    ++totals.tables;
    std::vector<RefusalLog::Refusal> refusals_of_table;
    if (refusals) {
      auto it = refusals->by_table.find(table);
      if (it != refusals->by_table.end()) refusals_of_table = it->second;
    }
    Comparison c;
    std::vector<ColumnDef> columns;
    TypedSource typed_source{&typed, keep_types ? typed.Plan(table) : nullptr};
    const TypedSource* typed_table = keep_types ? &typed_source : nullptr;
    try {
      if (keep_types && !typed_source.plan)
        throw ado::Error(ado::kErrorProvider, "the source has no such table to keep types of");
      auto listed = (*db)->TableColumns(table);
      if (!listed) throw ado::Error(ado::kErrorProvider, listed.error().message);
      columns = *listed;
      c = Compare(source, **db, table, typed_table);
    } catch (const ado::Error& e) {
      ++totals.differences;
      fmt::print(out, "{}: not compared: {}\n", table, FirstLine(e.Description()));
      continue;
    }
    // Source rows the run's target refused are missing by design: set apart
    // (by number, or by count where the source's order changed), the other
    // unmatched rows pair into differences; unpaired ones are missing or extra.
    std::set<long long> refused_rows;
    for (const auto& r : refusals_of_table) refused_rows.insert(r.row);
    const size_t unmatched = c.only_source.size();
    std::erase_if(c.only_source, [&](long long row) { return refused_rows.count(row) > 0; });
    const long long refused = static_cast<long long>(refusals_of_table.size());
    // Refusals whose row number found no unmatched row (the source's order changed).
    const long long unplaced = refused - static_cast<long long>(unmatched - c.only_source.size());
    const size_t paired = std::min(c.only_source.size(), c.only_stored.size());
    const long long missing = static_cast<long long>(c.only_source.size() - paired);
    const long long unexplained = std::max<long long>(0, missing - std::max<long long>(0, unplaced));
    const long long extra = static_cast<long long>(c.only_stored.size() - paired);
    long long differences = static_cast<long long>(paired) + unexplained + extra + (c.beyond_limit ? 1 : 0);
    totals.differences += differences;
    totals.refused += refused;
    if (differences == 0 && refused == 0) {
      ++totals.verified;
      fmt::print(out, "{}: verified ({} rows)\n", table, c.source_rows);
      continue;
    }
    std::vector<std::string> parts;
    if (differences > 0) parts.push_back(fmt::format("{} difference{}", differences, differences == 1 ? "" : "s"));
    if (refused > 0) parts.push_back(fmt::format("{} refused", refused));
    fmt::print(out, "{}: {} ({} source rows, {} in the Access file)\n", table, fmt::join(parts, ", "), c.source_rows,
               c.stored_rows);
    if (c.beyond_limit)
      fmt::print(out, "  from row {} on the rows stop agreeing beyond {} rows: the rest was not compared\n",
                 c.first_disorder, kMaxDigestRows);

    std::set<long long> source_wanted, stored_wanted;
    for (size_t k = 0; k < std::min(paired, kShown); ++k) {
      source_wanted.insert(c.only_source[k]);
      stored_wanted.insert(c.only_stored[k]);
    }
    std::map<long long, Row> source_rows, stored_rows;
    try {
      FetchRows(source, **db, table, typed_table, source_wanted, stored_wanted, &source_rows, &stored_rows);
    } catch (const ado::Error&) {
    }
    size_t shown = 0;
    for (size_t k = 0; k < std::min(paired, kShown); ++k) {
      const Row& a = source_rows[c.only_source[k]];
      const Row& b = stored_rows[c.only_stored[k]];
      std::string where = c.only_source[k] == c.only_stored[k]
                              ? fmt::format("row {}", c.only_source[k])
                              : fmt::format("row {} (stored row {})", c.only_source[k], c.only_stored[k]);
      for (size_t col = 0; col < std::max(a.size(), b.size()) && shown < kShown; ++col) {
        std::string va = col < a.size() ? a[col] : "(none)", vb = col < b.size() ? b[col] : "(none)";
        if (va == vb) continue;
        std::string name = col < columns.size() ? columns[col].name : fmt::format("#{}", col + 1);
        fmt::print(out, "  {}, column {}: source {}, stored {}\n", where, name, Shown(va), Shown(vb));
        ++shown;
      }
    }
    // Missing rows: the refused ones are reported with their reasons instead.
    for (size_t k = paired; k < c.only_source.size() && unexplained > 0 && shown < kShown; ++k, ++shown)
      fmt::print(out, "  row {}: missing from the Access file\n", c.only_source[k]);
    for (size_t k = paired; k < c.only_stored.size() && shown < kShown; ++k, ++shown)
      fmt::print(out, "  stored row {}: not in the source\n", c.only_stored[k]);
    for (size_t k = 0; k < refusals_of_table.size() && k < 3; ++k)
      fmt::print(out, "  row {} refused: {}\n", refusals_of_table[k].row, FirstLine(refusals_of_table[k].reason));
  }
  fmt::print(out, "Verified {} of {} tables; {} difference{}, {} row{} refused.\n", totals.verified, totals.tables,
             totals.differences, totals.differences == 1 ? "" : "s", totals.refused, totals.refused == 1 ? "" : "s");
  return totals;
}

}  // namespace convert
