#include "platform/odbc/statement.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/ado/error.h"
#include "platform/odbc/diagnostics.h"
#include "platform/odbc/text_values.h"
#include "platform/odbc/wide_text.h"
#include "platform/util/calendar.h"

namespace odbc {
namespace {

// Bound arrays of about this many bytes per block, at most kMaxRowset rows.
constexpr size_t kBlockBytes = 1 << 20;
constexpr size_t kMaxRowset = 1000;
// Characters kept in a bound text buffer before a value is read again whole.
constexpr SQLULEN kMaxInlineChars = 1024;
constexpr SQLULEN kUnknownSizeChars = 256;
// SQLGetData reads long values in pieces of this many characters.
constexpr size_t kChunkChars = 8192;

SQLLEN FixedSize(SQLSMALLINT c_type) {
  switch (c_type) {
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: return 8;
    case SQL_C_DOUBLE: return sizeof(double);
    case SQL_C_BIT: return 1;
    case SQL_C_GUID: return sizeof(SQLGUID);
    case SQL_C_TYPE_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    default: return 0;
  }
}

// Date-times fill bound arrays as structures: the driver then skips writing
// their text and we skip reading it. What the text would not give as a plain
// calendar value (a BC or minus-infinite instant, which the driver writes with
// a " BC" suffix) is read again as text, so the values are the same. Dates stay
// text: psqlODBC gives an infinite date as today's in a structure.
SQLSMALLINT BoundTypeFor(ValueForm form, SQLSMALLINT text_type) {
  return form == ValueForm::kDateTime ? SQL_C_TYPE_TIMESTAMP : text_type;
}

std::optional<ado::DateTime> PlainDateTime(const SQL_TIMESTAMP_STRUCT& ts) {
  if (ts.year < 1 || ts.year > 9999 || !util::IsCalendarDay(ts.year, ts.month, ts.day) || ts.hour > 23 ||
      ts.minute > 59 || ts.second > 59 || ts.fraction > 999999999)
    return std::nullopt;
  return ado::DateTime{ado::Date{ts.year, ts.month, ts.day},
                       ado::Time{ts.hour, ts.minute, ts.second, static_cast<uint32_t>(ts.fraction)}};
}

// Room for a value of this form and declared size (characters for text forms,
// bytes for binary), not counting the terminator.
SQLLEN InlineBytes(ValueForm form, SQLULEN column_size) {
  switch (form) {
    case ValueForm::kDate:
    case ValueForm::kTime: return 32 * sizeof(SQLWCHAR);
    case ValueForm::kDateTime:
    case ValueForm::kMoney: return 48 * sizeof(SQLWCHAR);
    case ValueForm::kDecimal: return static_cast<SQLLEN>(std::clamp<SQLULEN>(std::min<SQLULEN>(column_size, 256) + 3, 32, 256) * sizeof(SQLWCHAR));
    case ValueForm::kBinary: return static_cast<SQLLEN>(column_size == 0 ? 256 : std::clamp<SQLULEN>(column_size, 16, 2048));
    default: {
      // UTF-16 may need two units for one character (an emoji).
      SQLULEN chars = column_size == 0 ? kUnknownSizeChars : std::clamp<SQLULEN>(std::min(column_size, kMaxInlineChars) * 2, 16, kMaxInlineChars);
      return static_cast<SQLLEN>(chars * sizeof(SQLWCHAR));
    }
  }
}

std::string GuidText(const SQLGUID& g) {
  return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                     static_cast<uint32_t>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                     g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

template <typename T>
T Load(const unsigned char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

ado::Error ClosedError() {
  return ado::Error(ado::kErrorObjectClosed, "Operation is not allowed when the object is closed.");
}

}  // namespace

StatementCursor::StatementCursor(std::shared_ptr<Session> session, Handle statement, std::vector<std::string> names)
    : session_(std::move(session)), statement_(std::move(statement)) {
  session_->Join(this);
  try {
    Describe(names);
    Bind();
  } catch (...) {
    session_->Leave(this);
    throw;
  }
}

StatementCursor::~StatementCursor() {
  session_->Leave(this);
  statement_.Reset();
}

void StatementCursor::ReleaseStatement() {
  std::lock_guard lock(statement_mutex_);
  statement_.Reset();
}

void StatementCursor::Describe(const std::vector<std::string>& names) {
  const DriverManager& dm = session_->Dm();
  SQLSMALLINT count = 0;
  Check(dm.NumResultCols(statement_.get(), &count), dm, statement_, "SQLNumResultCols");
  columns_.resize(count);
  plan_.resize(count);
  std::vector<SQLWCHAR> name(256);
  for (SQLUSMALLINT i = 0; i < static_cast<SQLUSMALLINT>(count); ++i) {
    SQLUSMALLINT number = i + 1;
    SQLSMALLINT name_length = 0, digits = 0;
    SQLULEN size = 0;
    // Name, size and digits only: asked for the type (or whether it takes
    // NULL), psqlODBC looks the table up in the server's catalogue first.
    auto describe = [&] {
      Check(dm.DescribeCol(statement_.get(), number, name.data(), static_cast<SQLSMALLINT>(name.size()), &name_length,
                           nullptr, &size, &digits, nullptr),
            dm, statement_, "SQLDescribeColW");
    };
    describe();
    if (name_length >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<size_t>(name_length) + 1);
      describe();
    }
    SQLSMALLINT sql_type = TypeOf(number);
    SQLLEN is_unsigned = SQL_FALSE;
    dm.ColAttribute(statement_.get(), number, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &is_unsigned);
    std::string type_name;
    if (sql_type == SQL_REAL || sql_type == SQL_FLOAT || sql_type == SQL_DOUBLE) type_name = LocalTypeName(number);

    Column& column = plan_[i];
    column.plan = PlanColumn(sql_type, is_unsigned == SQL_TRUE, type_name);
    column.c_type = CTypeFor(column.plan.form);
    column.bound_type = BoundTypeFor(column.plan.form, column.c_type);
    SQLLEN fixed = FixedSize(column.bound_type);
    column.element_bytes = fixed ? fixed : InlineBytes(column.plan.form, size) + (column.bound_type == SQL_C_WCHAR ? 2 : 0);
    if (column.plan.form == ValueForm::kText && column.bound_type == SQL_C_WCHAR && session_->NarrowTextIsUtf8()) {
      // UTF-8 takes at most three bytes where UTF-16 takes two (four for a
      // pair of two units); a longer value is read again whole, as UTF-16.
      column.bound_type = SQL_C_CHAR;
      column.element_bytes = InlineBytes(column.plan.form, size) / 2 * 3 + 1;
    }
    columns_[i].name = i < names.size() ? names[i] : FromWide(name.data(), std::min<size_t>(name_length, name.size() - 1));
    columns_[i].type = column.plan.ado_type;
  }
}

// The data source's own name of a column's type ("money", "date").
std::string StatementCursor::LocalTypeName(SQLUSMALLINT number) const {
  SQLWCHAR buffer[64] = {};
  SQLSMALLINT bytes = 0;
  const DriverManager& dm = session_->Dm();
  if (!Succeeded(dm.ColAttribute(statement_.get(), number, SQL_DESC_LOCAL_TYPE_NAME, buffer, sizeof buffer, &bytes,
                                 nullptr)))
    return {};
  return FromWide(buffer, std::min<size_t>(std::max<SQLSMALLINT>(bytes, 0) / sizeof(SQLWCHAR), 63));
}

// A column's concise SQL type from the result's description: its verbose type,
// made concise for a date or time by the interval code or, where the driver
// has none (psqlODBC), by the size of its structure and the type's name. What
// these do not settle is asked of SQLDescribeCol after all.
SQLSMALLINT StatementCursor::TypeOf(SQLUSMALLINT number) const {
  const DriverManager& dm = session_->Dm();
  SQLHSTMT statement = statement_.get();
  auto described = [&] {
    SQLSMALLINT type = 0;
    Check(dm.DescribeCol(statement, number, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr), dm, statement_,
          "SQLDescribeColW");
    return type;
  };
  SQLLEN verbose = 0;
  if (!Succeeded(dm.ColAttribute(statement, number, SQL_DESC_TYPE, nullptr, 0, nullptr, &verbose))) return described();
  if (verbose == SQL_INTERVAL) return described();
  if (verbose != SQL_DATETIME) return static_cast<SQLSMALLINT>(verbose);
  SQLLEN code = 0;
  if (Succeeded(dm.ColAttribute(statement, number, SQL_DESC_DATETIME_INTERVAL_CODE, nullptr, 0, nullptr, &code))) {
    switch (code) {
      case SQL_CODE_DATE: return SQL_TYPE_DATE;
      case SQL_CODE_TIME: return SQL_TYPE_TIME;
      case SQL_CODE_TIMESTAMP: return SQL_TYPE_TIMESTAMP;
      default: return described();
    }
  }
  SQLLEN length = 0;
  if (!Succeeded(dm.ColAttribute(statement, number, SQL_COLUMN_LENGTH, nullptr, 0, nullptr, &length)))
    return described();
  if (length == static_cast<SQLLEN>(sizeof(SQL_TIMESTAMP_STRUCT))) return SQL_TYPE_TIMESTAMP;
  std::string name = LocalTypeName(number);
  if (length == static_cast<SQLLEN>(sizeof(SQL_DATE_STRUCT)) && name == "date") return SQL_TYPE_DATE;
  if (length == static_cast<SQLLEN>(sizeof(SQL_TIME_STRUCT)) && name == "time") return SQL_TYPE_TIME;
  return described();
}

void StatementCursor::Bind() {
  const DriverManager& dm = session_->Dm();
  bound_ = false;
  rowset_size_ = 1;
  row_status_.assign(1, SQL_ROW_SUCCESS);
  if (!session_->BlockFetchWithGetData() || plan_.empty()) return;

  size_t row_bytes = 0;
  for (const auto& column : plan_) row_bytes += static_cast<size_t>(column.element_bytes) + sizeof(SQLLEN);
  size_t rows = std::clamp<size_t>(kBlockBytes / std::max<size_t>(row_bytes, 1), 1, kMaxRowset);

  SQLHSTMT statement = statement_.get();
  if (!Succeeded(dm.SetStmtAttr(statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
      !Succeeded(dm.SetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0)))
    return;  // the driver will not fill arrays: read row by row
  row_status_.assign(rows, SQL_ROW_SUCCESS);
  Check(dm.SetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, row_status_.data(), 0), dm, statement_, "SQLSetStmtAttrW");
  Check(dm.SetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &rows_in_block_, 0), dm, statement_, "SQLSetStmtAttrW");
  for (size_t i = 0; i < plan_.size(); ++i) {
    Column& column = plan_[i];
    size_t bytes = rows * static_cast<size_t>(column.element_bytes);
    column.data.assign((bytes + 7) / 8, 0);
    column.indicators.assign(rows, 0);
    Check(dm.BindCol(statement, static_cast<SQLUSMALLINT>(i + 1), column.bound_type, column.data.data(),
                     column.element_bytes, column.indicators.data()),
          dm, statement_, "SQLBindCol");
  }
  rowset_size_ = rows;
  bound_ = true;
}

bool StatementCursor::NextBlock() {
  const DriverManager& dm = session_->Dm();
  if (!bound_) rows_in_block_ = 0;
  SQLRETURN rc = dm.Fetch(statement_.get());
  if (rc == SQL_NO_DATA) return false;
  Check(rc, dm, statement_, "SQLFetch");
  if (!bound_) {
    rows_in_block_ = 1;
    row_status_[0] = SQL_ROW_SUCCESS;
  } else if (rc == SQL_SUCCESS_WITH_INFO) {
    // A row the driver could not convert is marked, not skipped: fail on it.
    for (SQLULEN r = 0; r < rows_in_block_; ++r)
      if (row_status_[r] == SQL_ROW_ERROR) throw ToError(ReadDiagnostics(dm, SQL_HANDLE_STMT, statement_.get()), "SQLFetch");
  }
  next_row_ = 0;
  return rows_in_block_ > 0;
}

bool StatementCursor::Fetch(std::vector<ado::Value>& row) {
  std::lock_guard lock(statement_mutex_);
  if (finished_) return false;
  if (!statement_) throw ClosedError();
  if (next_row_ >= rows_in_block_ && !NextBlock()) {
    Finish();
    return false;
  }
  size_t r = next_row_++;
  row.resize(plan_.size());
  for (size_t c = 0; c < plan_.size(); ++c) {
    if (bound_) ReadBound(c, r, row[c]);
    else row[c] = ReadWhole(c);
  }
  return true;
}

void StatementCursor::ReadBound(size_t c, size_t r, ado::Value& out) {
  const Column& column = plan_[c];
  const SQLLEN indicator = column.indicators[r];
  constexpr SQLLEN kTerminator = sizeof(SQLWCHAR);
  // Most values of most tables: a text that fit its buffer, read into the
  // text the row held before.
  if (column.bound_type == SQL_C_CHAR) {
    if (indicator == SQL_NULL_DATA) out = ado::Null{};
    else if (indicator >= 0 && indicator < column.element_bytes)
      out.ResetText().assign(reinterpret_cast<const char*>(column.Element(r)), static_cast<size_t>(indicator));
    else out = ReadAgain(c, r);
    return;
  }
  if (column.plan.form == ValueForm::kText && column.bound_type == SQL_C_WCHAR && indicator >= 0 &&
      indicator <= column.element_bytes - kTerminator) {
    AppendFromWide(reinterpret_cast<const SQLWCHAR*>(column.Element(r)),
                   static_cast<size_t>(indicator) / sizeof(SQLWCHAR), out.ResetText());
    return;
  }
  out = BoundValue(c, r);
}

void StatementCursor::Finish() {
  // The end of the rows: free the statement now, which closes the server's
  // cursor and its transaction instead of holding them until the record set goes.
  finished_ = true;
  statement_.Reset();
  plan_.clear();
}

ado::Value StatementCursor::BoundValue(size_t c, size_t r) {
  const Column& column = plan_[c];
  SQLLEN indicator = column.indicators[r];
  if (indicator == SQL_NULL_DATA) return ado::Null{};
  const unsigned char* element = column.Element(r);
  switch (column.plan.form) {
    case ValueForm::kSigned: return Load<int64_t>(element);
    case ValueForm::kUnsigned: return Load<uint64_t>(element);
    case ValueForm::kDouble: return Load<double>(element);
    case ValueForm::kBoolean: return element[0] != 0;
    case ValueForm::kGuid: return GuidText(Load<SQLGUID>(element));
    case ValueForm::kDateTime:
      if (column.bound_type == SQL_C_TYPE_TIMESTAMP) {
        if (auto date_time = PlainDateTime(Load<SQL_TIMESTAMP_STRUCT>(element))) return *date_time;
        return ReadAgain(c, r);
      }
      break;
    default: break;
  }
  bool is_text = column.c_type == SQL_C_WCHAR;
  SQLLEN room = column.element_bytes - (is_text ? static_cast<SQLLEN>(sizeof(SQLWCHAR)) : 0);
  // Cut short by its buffer: read the value whole.
  if (indicator == SQL_NO_TOTAL || indicator > room) return ReadAgain(c, r);
  if (!is_text) return ado::Binary(element, element + indicator);
  return FromText(column.plan.form,
                  FromWide(reinterpret_cast<const SQLWCHAR*>(element), static_cast<size_t>(indicator) / sizeof(SQLWCHAR)));
}

ado::Value StatementCursor::ReadAgain(size_t c, size_t r) {
  const DriverManager& dm = session_->Dm();
  Check(dm.SetPos(statement_.get(), static_cast<SQLSETPOSIROW>(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), dm,
        statement_, "SQLSetPos");
  return ReadWhole(c);
}

ado::Value StatementCursor::ReadWhole(size_t c) {
  const DriverManager& dm = session_->Dm();
  const Column& column = plan_[c];
  SQLUSMALLINT number = static_cast<SQLUSMALLINT>(c + 1);
  SQLLEN indicator = 0;

  if (SQLLEN fixed = FixedSize(column.c_type)) {
    unsigned char buffer[sizeof(SQLGUID)] = {};
    Check(dm.GetData(statement_.get(), number, column.c_type, buffer, fixed, &indicator), dm, statement_, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return ado::Null{};
    switch (column.plan.form) {
      case ValueForm::kSigned: return Load<int64_t>(buffer);
      case ValueForm::kUnsigned: return Load<uint64_t>(buffer);
      case ValueForm::kDouble: return Load<double>(buffer);
      case ValueForm::kBoolean: return buffer[0] != 0;
      default: return GuidText(Load<SQLGUID>(buffer));
    }
  }

  // Variable length: read piece by piece until the driver reports the end.
  bool is_text = column.c_type == SQL_C_WCHAR;
  if (chunk_.empty()) chunk_.resize(kChunkChars);
  const SQLLEN capacity = static_cast<SQLLEN>(chunk_.size() * sizeof(SQLWCHAR));
  const SQLLEN room = capacity - (is_text ? static_cast<SQLLEN>(sizeof(SQLWCHAR)) : 0);
  std::string text;
  std::vector<SQLWCHAR> wide;  // a text in several pieces, converted once: a piece may end inside a surrogate pair
  ado::Binary bytes;
  for (bool first = true;; first = false) {
    SQLRETURN rc = dm.GetData(statement_.get(), number, column.c_type, chunk_.data(), capacity, &indicator);
    if (rc == SQL_NO_DATA) break;  // every piece has been read
    Check(rc, dm, statement_, "SQLGetData");
    if (indicator == SQL_NULL_DATA) {
      if (first) return ado::Null{};
      break;
    }
    bool more = indicator == SQL_NO_TOTAL || indicator > room;
    SQLLEN got = more ? room : indicator;
    if (is_text && first && !more)
      AppendFromWide(chunk_.data(), static_cast<size_t>(got) / sizeof(SQLWCHAR), text);
    else if (is_text)
      wide.insert(wide.end(), chunk_.data(), chunk_.data() + got / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
    else
      bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(chunk_.data()),
                   reinterpret_cast<const uint8_t*>(chunk_.data()) + got);
    if (!more) break;
  }
  if (!is_text) return bytes;
  if (!wide.empty()) AppendFromWide(wide.data(), wide.size(), text);
  return FromText(column.plan.form, std::move(text));
}

ado::Value StatementCursor::FromText(ValueForm form, std::string text) const {
  switch (form) {
    case ValueForm::kDecimal: return DecimalFromText(std::move(text));
    case ValueForm::kDate: return DateFromText(std::move(text));
    case ValueForm::kTime: return TimeFromText(std::move(text));
    case ValueForm::kDateTime: return DateTimeFromText(std::move(text));
    case ValueForm::kMoney: return MoneyFromText(std::move(text));
    default: return ado::Value(std::move(text));
  }
}

}  // namespace odbc
