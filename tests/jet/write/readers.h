#pragma once
// What the independent readers see in an Access file we wrote, and how to
// compare it with the cells that went in: mdbtools (mdb-export) and the npm
// package mdb-reader (tests/readers/dump.mjs). Header-only, for every test of
// the write side.
//
//   auto tools = readers::MdbtoolsRows(path, "Table1");    // nullopt: mdb-export failed
//   auto js = readers::MdbReaderRows(path, "Table1");
//   EXPECT_EQ(readers::Compare(expected, types, *tools, readers::Reader::kMdbtools), "");
//
// Both readers' renderings are normalised to the cell's meaning: numbers are
// compared as numbers, dates as "yyyy-mm-dd hh:mm:ss", binary as upper-case
// hex, GUIDs without case. mdbtools 1.0 cannot show characters outside the
// Basic Multilingual Plane (it writes "??" for each) and cuts long values at
// its bind size; Compare knows both.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "platform/jet/format/numeric.h"
#include "platform/jet/public/value.h"
#include "tests/jet/mini_json.h"
#include "tests/support/environment.h"

namespace readers {

struct Value {
  bool null = true;
  std::string text;
};
using Rows = std::vector<std::vector<Value>>;

enum class Reader { kMdbtools, kMdbReader };

inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// What `pelmora-access check` reports about a file we wrote ("" when nothing).
inline std::string CheckReport(const std::string& path, const std::string& password = "") {
  std::string tool = std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access";
  if (!std::filesystem::exists(tool)) return "pelmora-access is not built (build target pelmora-access)";
  std::string out;
  int status = testing_support::RunCommand(
      tool + " check " + ShellQuote(path) + (password.empty() ? "" : " --password " + ShellQuote(password)) + " 2>&1",
      &out);
  return status == 0 ? "" : out;
}

using testing_support::HaveMdbReader;
using testing_support::HaveMdbtools;

inline std::string ReadersDir() { return std::string(PELMORA_SOURCE_DIR) + "/tests/readers"; }

// Runs a command with its standard output in a file (values may be large).
inline std::optional<std::string> Capture(const std::string& command) {
  std::string out;
  if (testing_support::RunCommand(command, &out) != 0) return std::nullopt;
  return out;
}

// RFC 4180 (CRLF or LF line ends), an unquoted empty field being NULL; the
// header line is dropped.
inline Rows ParseCsv(const std::string& s) {
  Rows rows;
  std::vector<Value> row;
  Value field;
  bool quoted = false, in_quotes = false, any = false;
  auto end_field = [&] {
    field.null = !quoted && field.text.empty();
    row.push_back(std::move(field));
    field = Value{};
    quoted = false;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    any = true;
    if (in_quotes) {
      if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
        field.text += '"';
        ++i;
      } else if (c == '"') {
        in_quotes = false;
      } else {
        field.text += c;
      }
    } else if (c == '"') {
      in_quotes = quoted = true;
    } else if (c == ',') {
      end_field();
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      end_field();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      field.text += c;
    }
  }
  if (any) {
    end_field();
    rows.push_back(std::move(row));
  }
  if (!rows.empty()) rows.erase(rows.begin());
  return rows;
}

// mdb-export's rows of a table (dates as "yyyy-mm-dd hh:mm:ss", binary as hex).
inline std::optional<Rows> MdbtoolsRows(const std::string& path, const std::string& table) {
  auto out = Capture("mdb-export -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " + ShellQuote(path) + " " +
                     ShellQuote(table) + " 2>/dev/null");
  if (!out) return std::nullopt;
  return ParseCsv(*out);
}

struct MdbReaderTable {
  std::vector<std::string> columns;
  Rows rows;
  long long row_count = -1;  // what the table definition says
};

// mdb-reader's view of a table.
inline std::optional<MdbReaderTable> MdbReaderRows(const std::string& path, const std::string& table,
                                                   const std::string& password = "") {
  std::string cmd = "node " + ShellQuote(ReadersDir() + "/dump.mjs") + " " + ShellQuote(path) + " --table " +
                    ShellQuote(table) + (password.empty() ? "" : " --password " + ShellQuote(password)) +
                    " 2>/dev/null";
  auto out = Capture(cmd);
  if (!out) return std::nullopt;
  testing_support::Json json;
  if (!testing_support::JsonParser(*out).Parse(json) || json["tables"].items.empty()) return std::nullopt;
  const auto& t = json["tables"].items[0];
  MdbReaderTable result;
  for (const auto& c : t["columns"].items) result.columns.push_back(c["name"].text);
  for (const auto& r : t["rows"].items) {
    std::vector<Value> row;
    for (const auto& v : r.items) {
      Value f;
      f.null = v.kind == testing_support::Json::kNull;
      f.text = v.kind == testing_support::Json::kBool ? (v.boolean ? "1" : "0") : v.text;
      row.push_back(std::move(f));
    }
    result.rows.push_back(std::move(row));
  }
  result.row_count = std::atoll(t["rowCount"].text.c_str());
  return result;
}

inline std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

inline std::string Hex(const jet::Bytes& b) {
  std::string out;
  for (uint8_t x : b) out += fmt::format("{:02X}", x);
  return out;
}

// Characters outside the Basic Multilingual Plane as mdbtools 1.0 prints them.
inline std::string AsMdbtoolsText(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xF0 && c < 0xF8 && i + 3 < s.size() + 0) {
      out += "??";
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// mdb-export's bind buffer: longer Memo and OLE values come out cut.
inline constexpr size_t kMdbtoolsValueLimit = 200000;

inline std::string DescribeForMessage(const jet::Cell& cell) {
  if (auto* s = std::get_if<std::string>(&cell)) return "'" + s->substr(0, 40) + "'";
  if (auto* i = std::get_if<int64_t>(&cell)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&cell)) return fmt::format("{}", *d);
  return "a value";
}

// Why `got` does not render `cell` of a column of `type`; "" when it does.
inline std::string Difference(const jet::Cell& cell, jet::ColumnType type, const Value& got, Reader reader) {
  using jet::ColumnType;
  bool is_null = jet::IsNull(cell);
  if (type == ColumnType::kBoolean) {
    bool want = std::holds_alternative<bool>(cell) && std::get<bool>(cell);
    std::string t = Upper(got.text);
    bool have = t == "1" || t == "TRUE";
    return !got.null && want == have ? "" : fmt::format("Yes/No {} read as '{}'", want, got.text);
  }
  if (reader == Reader::kMdbtools && got.null &&
      ((std::holds_alternative<std::string>(cell) && std::get<std::string>(cell).empty()) ||
       (std::holds_alternative<jet::Bytes>(cell) && std::get<jet::Bytes>(cell).empty())))
    return "";  // mdb-export writes an empty text or binary value like a NULL
  if (reader == Reader::kMdbtools && type == ColumnType::kBigInt && got.null)
    return "";  // mdbtools 1.0 does not know the BigInt type and prints nothing
  if (is_null != got.null)
    return is_null ? fmt::format("NULL read as '{}'", got.text) : fmt::format("{} read as NULL", DescribeForMessage(cell));
  if (is_null) return "";
  auto number = [&](long double want, long double tolerance) -> std::string {
    char* end = nullptr;
    long double have = std::strtold(got.text.c_str(), &end);
    if (end == got.text.c_str() || *end) return fmt::format("{} read as '{}'", static_cast<double>(want), got.text);
    if (std::fabs(have - want) > tolerance * std::max<long double>(1, std::fabs(want)))
      return fmt::format("{} read as '{}'", static_cast<double>(want), got.text);
    return "";
  };
  switch (type) {
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kBigInt: {
      std::string want = std::to_string(std::get<int64_t>(cell));
      return got.text == want ? "" : fmt::format("{} read as '{}'", want, got.text);
    }
    case ColumnType::kMoney: {
      std::string want = jet::format::MoneyText(std::get<jet::Money>(cell));
      return number(std::strtold(want.c_str(), nullptr), 1e-18L);
    }
    case ColumnType::kNumeric: {
      std::string want = jet::format::DecimalText(std::get<jet::Decimal>(cell));
      return number(std::strtold(want.c_str(), nullptr), 1e-18L);
    }
    case ColumnType::kSingle: return number(static_cast<float>(std::get<double>(cell)), 1e-6L);
    case ColumnType::kDouble: {
      double want = std::get<double>(cell);
      // mdbtools prints doubles with a limited number of digits.
      return number(want, reader == Reader::kMdbtools ? 1e-9L : 1e-15L);
    }
    case ColumnType::kDateTime: {
      double days = std::get<jet::DateTimeValue>(cell).days;
      // mdbtools 1.0 renders no date before 1899-12-30 or a million days after.
      if (reader == Reader::kMdbtools && (days < 0 || days > 1e6) && got.text == "1900-01-00 00:00:00") return "";
      // mdb-reader reads a negative date as a plain number of days, the
      // fraction counting backwards too (-1.25 = 1899-12-28 18:00), where
      // Access counts the time of day forwards (1899-12-29 06:00).
      if (reader == Reader::kMdbReader && days < 0 && days != std::floor(days)) days = 2 * std::floor(days) - days;
      std::string want = jet::format::OleDateText(days);
      return got.text == want ? "" : fmt::format("{} read as '{}'", want, got.text);
    }
    case ColumnType::kGuid: {
      // mdb-reader leaves out the braces; mdb-export -b hex prints the text in
      // hex, and mdbtools leaves out the last dash: compared as bare digits.
      std::string want = jet::format::GuidText(std::get<jet::Guid>(cell));
      std::string have = got.text;
      if (have.size() % 2 == 0 && have.size() > 4 && have.rfind("7B", 0) == 0 && have.substr(have.size() - 2) == "7D") {
        std::string text;
        for (size_t i = 0; i + 1 < have.size(); i += 2)
          text += static_cast<char>(std::stoi(have.substr(i, 2), nullptr, 16));
        have = text;
      }
      auto bare = [](std::string t) {
        t = Upper(t);
        std::string digits;
        for (char c : t)
          if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
        return digits;
      };
      return bare(have) == bare(want) ? "" : fmt::format("{} read as '{}'", want, got.text);
    }
    case ColumnType::kBinary:
    case ColumnType::kOle: {
      std::string want = Hex(std::get<jet::Bytes>(cell));
      std::string have = Upper(got.text);
      if (reader == Reader::kMdbtools && have.size() < want.size() && have.size() >= 2 * kMdbtoolsValueLimit / 2 &&
          want.compare(0, have.size(), have) == 0)
        return "";
      return have == want ? "" : fmt::format("{} bytes read as {} hex digits", want.size() / 2, have.size());
    }
    default: {  // Text, Memo
      std::string want = std::get<std::string>(cell);
      if (reader == Reader::kMdbtools) {
        want = AsMdbtoolsText(want);
        if (got.text.size() < want.size() && got.text.size() + 8 >= kMdbtoolsValueLimit / 2 &&
            want.compare(0, got.text.size(), got.text) == 0)
          return "";  // cut by mdb-export
      }
      if (got.text == want) return "";
      size_t at = 0;
      while (at < want.size() && at < got.text.size() && want[at] == got.text[at]) ++at;
      return fmt::format("text of {} bytes read as {} bytes, first difference at byte {} ('{}' vs '{}')", want.size(),
                         got.text.size(), at, want.substr(at, 20), got.text.substr(at, 20));
    }
  }
}

// Compares rows read back with the rows expected, all columns in order;
// `expected` may be a subset of `got` when `first_row` says where it starts.
// Returns "" when every value agrees, else the first few differences.
inline std::string Compare(const std::vector<std::vector<jet::Cell>>& expected, const std::vector<jet::ColumnType>& types,
                           const Rows& got, Reader reader, size_t first_row = 0) {
  std::string report;
  int problems = 0;
  const char* name = reader == Reader::kMdbtools ? "mdbtools" : "mdb-reader";
  if (got.size() < first_row + expected.size())
    return fmt::format("{}: {} rows, expected at least {}", name, got.size(), first_row + expected.size());
  for (size_t r = 0; r < expected.size() && problems < 5; ++r) {
    const auto& row = got[first_row + r];
    if (row.size() != types.size()) {
      report += fmt::format("{}: row {} has {} values, expected {}\n", name, first_row + r, row.size(), types.size());
      ++problems;
      continue;
    }
    for (size_t c = 0; c < types.size(); ++c) {
      std::string why = Difference(expected[r][c], types[c], row[c], reader);
      if (!why.empty() && problems++ < 5) report += fmt::format("{}: row {} column {}: {}\n", name, first_row + r, c, why);
    }
  }
  return report;
}

// Rows as the readers render them, for comparing a table before and after.
inline std::string SameRows(const Rows& before, const Rows& after, size_t count) {
  if (after.size() < count) return fmt::format("{} rows left of {}", after.size(), count);
  for (size_t r = 0; r < count; ++r) {
    if (before[r].size() != after[r].size()) return fmt::format("row {} changed its width", r);
    for (size_t c = 0; c < before[r].size(); ++c)
      if (before[r][c].null != after[r][c].null || before[r][c].text != after[r][c].text)
        return fmt::format("row {} column {}: '{}' became '{}'", r, c, before[r][c].text, after[r][c].text);
  }
  return "";
}

}  // namespace readers
