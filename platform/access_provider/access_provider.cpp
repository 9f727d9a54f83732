// The Access provider: Microsoft.Jet.OLEDB.4.0 / Microsoft.ACE.OLEDB.12.0
// connection strings opened with Pelmora's own Access file engine. The engine
// opens whatever the file is (Jet 4 or ACE); the provider name does not decide.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/access_provider/connection_string.h"
#include "platform/access_provider/database_connection.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/provider.h"
#include "platform/jet/public/database.h"
#include "platform/jet/public/statement.h"
#include "platform/jet/public/value_text.h"

namespace access_provider {
namespace {

using namespace ado;  // the provider speaks ADO's names: Error, Value, adVarWChar...

constexpr long kErrorNotCapable = 3251;  // adErrFeatureNotAvailable

// The engine says what kind of failure it made; the message is only shown.
ErrorKind KindOf(const jet::Error& e) {
  if (e.kind == jet::ErrorKind::kStatementRefused) return ErrorKind::kStatementRefused;
  if (e.kind == jet::ErrorKind::kWriteFailed) return ErrorKind::kWriteFailed;
  switch (e.code) {
    case jet::ErrorCode::kIoError: return ErrorKind::kIo;
    case jet::ErrorCode::kWrongPassword: return ErrorKind::kLoginRefused;
    default: return ErrorKind::kOther;
  }
}

// Raises an engine failure.
[[noreturn]] void Raise(const jet::Error& e) {
  throw Error(kErrorProvider, e.message, KindOf(e), static_cast<long>(e.statements_lost));
}

// Raises the failure of a statement: a failed write as such; anything else
// as a refused statement, with the engine's prefix added when the failure
// came from below the SQL layer.
[[noreturn]] void RaiseStatement(const jet::Error& e) {
  if (e.kind == jet::ErrorKind::kWriteFailed) Raise(e);
  std::string message = e.kind == jet::ErrorKind::kStatementRefused
                            ? e.message
                            : std::string(jet::kSqlExceptionPrefix) + e.message;
  throw Error(kErrorProvider, std::move(message), ErrorKind::kStatementRefused);
}

int16_t AdoType(const jet::ColumnDef& c) {
  using jet::ColumnType;
  switch (c.type()) {
    case ColumnType::kBoolean: return adBoolean;
    case ColumnType::kByte: return adUnsignedTinyInt;
    case ColumnType::kInteger: return adSmallInt;
    case ColumnType::kLong: return adInteger;
    case ColumnType::kMoney: return adCurrency;
    case ColumnType::kSingle: return adSingle;
    case ColumnType::kDouble: return adDouble;
    case ColumnType::kDateTime: return adDate;
    case ColumnType::kBinary: return adVarBinary;
    case ColumnType::kText: return adVarWChar;
    case ColumnType::kOle: return adLongVarBinary;
    case ColumnType::kMemo: return adLongVarWChar;
    case ColumnType::kGuid: return adGUID;
    case ColumnType::kNumeric: return adNumeric;
    case ColumnType::kBigInt: return adBigInt;
    case ColumnType::kComplex: return adInteger;
    case ColumnType::kDateTimeExtended: return adVarWChar;
    default: return adVarBinary;
  }
}

// "3.5000" -> "3.5", "2.0000" -> "2".
std::string TrimDecimal(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

Value ToValue(const jet::ColumnDef& column, const jet::Cell& cell) {
  struct Visitor {
    const jet::ColumnDef& column;
    Value operator()(const jet::Null&) const { return Value(); }
    Value operator()(bool b) const { return Value(b); }
    Value operator()(int64_t n) const { return Value(n); }
    Value operator()(double d) const {
      if (column.type() != jet::ColumnType::kSingle) return Value(d);
      // A Single as the decimal it shows (444.555), not its binary expansion.
      char buffer[32];
      auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(d));
      double shown = d;
      std::from_chars(buffer, r.ptr, shown);
      return Value(shown);
    }
    Value operator()(const jet::Money& m) const { return Value(Decimal{TrimDecimal(jet::MoneyText(m))}); }
    Value operator()(const jet::Decimal& d) const { return Value(Decimal{jet::DecimalText(d)}); }
    Value operator()(const jet::DateTimeValue& d) const {
      auto t = jet::OleDateToCivil(d.days);
      if (!t) return Value(d.days);
      return Value(DateTime{Date{t->year, t->month, t->day},
                            Time{t->hour, t->minute, t->second, static_cast<uint32_t>(t->millisecond) * 1000000u}});
    }
    Value operator()(const jet::Guid& g) const { return Value(jet::GuidText(g)); }
    Value operator()(const std::string& s) const { return Value(s); }
    Value operator()(const jet::Bytes& b) const { return Value(Binary(b)); }
  };
  return std::visit(Visitor{column}, cell);
}

class RowsCursor final : public Cursor {
 public:
  RowsCursor(std::shared_ptr<jet::Database> db, std::unique_ptr<jet::TableReader> reader)
      : db_(std::move(db)), reader_(std::move(reader)) {
    for (const auto& c : reader_->columns()) columns_.push_back(ColumnInfo{c.name, AdoType(c)});
  }
  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<Value>& row) override {
    if (!started_) {
      started_ = true;
    } else if (reader_->Valid()) {
      reader_->Next();
    }
    if (!reader_->Valid()) {
      if (!reader_->status()) Raise(reader_->status().error());
      return false;
    }
    const auto& cells = reader_->row();
    const auto& defs = reader_->columns();
    row.resize(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) row[i] = ToValue(defs[i], cells[i]);
    return true;
  }

 private:
  std::shared_ptr<jet::Database> db_;  // keeps the pages alive while rows are read
  std::unique_ptr<jet::TableReader> reader_;
  std::vector<ColumnInfo> columns_;
  bool started_ = false;
};

class ListCursor final : public Cursor {
 public:
  ListCursor(std::vector<ColumnInfo> columns, std::vector<std::vector<Value>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}
  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<Value>& row) override {
    if (next_ >= rows_.size()) return false;
    row = rows_[next_++];
    return true;
  }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t next_ = 0;
};

class JetConnection final : public ProviderConnection {
 public:
  explicit JetConnection(std::shared_ptr<jet::Database> db) : db_(std::move(db)) {}
  ~JetConnection() override {
    // Nobody is left to raise to: the failure of the last commit is said on
    // stderr (closing twice is harmless, so the database's own destructor is silent).
    try {
      Close();
    } catch (const ado::Error& e) {
      std::fprintf(stderr, "pelmora: %s\n", e.Description().c_str());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "pelmora: %s\n", e.what());
    }
  }

  std::unique_ptr<Cursor> Execute(std::string_view text) override {
    jet::Database& db = Open();
    if (auto table = jet::SelectAllTable(text)) {  // INSERT texts are never parsed twice
      auto reader = db.ReadTable(*table);
      if (!reader) RaiseStatement(reader.error());
      return std::make_unique<RowsCursor>(db_, std::move(*reader));
    }
    auto done = db.Execute(text);
    if (!done) RaiseStatement(done.error());
    return nullptr;
  }

  std::unique_ptr<Cursor> OpenSchema(int schema) override {
    jet::Database& db = Open();
    if (schema != adSchemaTables)
      throw Error(kErrorNotCapable, "Object or provider is not capable of performing requested operation.");
    struct Entry {
      std::string type, name;
    };
    std::vector<Entry> entries;
    for (auto& o : db.Catalog())
      if (!o.ado_type.empty()) entries.push_back(Entry{std::move(o.ado_type), std::move(o.name)});
    // ADO lists the tables schema ordered by TABLE_TYPE, then TABLE_NAME.
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
      if (a.type != b.type) return a.type < b.type;
      return lower(a.name) < lower(b.name);
    });
    std::vector<ColumnInfo> columns = {{"TABLE_CATALOG", adVarWChar}, {"TABLE_SCHEMA", adVarWChar},
                                       {"TABLE_NAME", adVarWChar},    {"TABLE_TYPE", adVarWChar},
                                       {"TABLE_GUID", adGUID},        {"DESCRIPTION", adVarWChar}};
    std::vector<std::vector<Value>> rows;
    for (auto& e : entries) rows.push_back({Value(), Value(), Value(e.name), Value(e.type), Value(), Value()});
    return std::make_unique<ListCursor>(std::move(columns), std::move(rows));
  }

  void Idle() override {
    if (!db_) return;
    if (auto committed = db_->CommitIfDue(); !committed) Raise(committed.error());
  }

  void Close() override {
    if (!db_) return;
    auto db = std::move(db_);
    // Every change is on disk when Close returns; cursors still reading keep the pages.
    if (auto flushed = db->Flush(); !flushed) Raise(flushed.error());
    if (db.use_count() == 1) {
      if (auto closed = db->Close(); !closed) Raise(closed.error());
    }
  }

 private:
  jet::Database& Open() {
    if (!db_) throw Error(kErrorObjectClosed, "Operation is not allowed when the object is closed.");
    return *db_;
  }

  std::shared_ptr<jet::Database> db_;
};

}  // namespace

std::unique_ptr<ado::ProviderConnection> ConnectionOver(std::unique_ptr<jet::Database> db) {
  return std::make_unique<JetConnection>(std::shared_ptr<jet::Database>(std::move(db)));
}

}  // namespace access_provider

namespace ado {

std::unique_ptr<ProviderConnection> OpenAccessProvider(const std::string& connection_string,
                                                       const ConnectionOptions& options) {
  access_provider::AccessConnection parsed = access_provider::ParseAccessConnectionString(connection_string);
  if (parsed.path.empty())
    throw Error(kErrorProvider, "The connection string names no database file (Data Source is missing or empty).");
  jet::OpenOptions open;
  open.password = parsed.password;
  open.writable = options.mode == adModeReadWrite;
  auto db = jet::Database::Open(parsed.path, open);
  if (!db) access_provider::Raise(db.error());
  return std::make_unique<access_provider::JetConnection>(std::shared_ptr<jet::Database>(std::move(*db)));
}

}  // namespace ado
