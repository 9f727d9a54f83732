#pragma once
// The rows of one executed ODBC statement as an ado::Cursor.
//
// Values are fetched in blocks of rows into column-wise bound arrays (one
// driver call per block, not one per value). A value longer than its buffer is
// read again whole with SQLSetPos + SQLGetData. Drivers that cannot combine the
// two are read one row at a time with SQLGetData alone. The driver decides how
// many rows it holds; with psqlODBC's declare/fetch mode that is a fixed
// number, so memory does not grow with the row count.
//
// The rows may be fetched on another thread (ado::ReadAheadCursor) while the
// connection is closed on the program's thread: the statement is released
// under a lock that Fetch holds too.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ado/provider.h"
#include "platform/odbc/column_types.h"
#include "platform/odbc/session.h"

namespace odbc {

class StatementCursor final : public ado::Cursor, public SessionMember {
 public:
  // Takes over an executed statement that has result columns. `names`, when
  // given, replace the driver's column names by position (for schema rows).
  StatementCursor(std::shared_ptr<Session> session, Handle statement, std::vector<std::string> names = {});
  ~StatementCursor();

  const std::vector<ado::ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<ado::Value>& row) override;
  void ReleaseStatement() override;

  // How many rows one block holds (1 without bound arrays); for tests.
  size_t RowsetSize() const { return rowset_size_; }

 private:
  struct Column {
    ColumnPlan plan;
    SQLSMALLINT c_type = 0;           // the form SQLGetData reads
    SQLSMALLINT bound_type = 0;       // the form the bound arrays hold
    SQLLEN element_bytes = 0;         // the stride of `data`
    std::vector<uint64_t> data;       // rowset_size_ elements, 8-byte aligned
    std::vector<SQLLEN> indicators;  // one per row
    const unsigned char* Element(size_t row) const {
      return reinterpret_cast<const unsigned char*>(data.data()) + row * static_cast<size_t>(element_bytes);
    }
  };

  void Describe(const std::vector<std::string>& names);
  SQLSMALLINT TypeOf(SQLUSMALLINT number) const;
  std::string LocalTypeName(SQLUSMALLINT number) const;
  void Bind();
  bool NextBlock();
  void ReadBound(size_t column, size_t row, ado::Value& out);
  ado::Value BoundValue(size_t column, size_t row);
  ado::Value ReadWhole(size_t column);  // SQLGetData on the current row
  ado::Value ReadAgain(size_t column, size_t row);  // the value whole, in its text form
  ado::Value FromText(ValueForm form, std::string text) const;
  void Finish();

  std::shared_ptr<Session> session_;
  Handle statement_;
  std::vector<ado::ColumnInfo> columns_;
  std::vector<Column> plan_;
  bool bound_ = false;
  size_t rowset_size_ = 1;
  SQLULEN rows_in_block_ = 0;
  size_t next_row_ = 0;
  std::vector<SQLUSMALLINT> row_status_;
  bool finished_ = false;
  std::vector<SQLWCHAR> chunk_;  // SQLGetData's buffer
  std::mutex statement_mutex_;   // Fetch against ReleaseStatement
};

}  // namespace odbc
