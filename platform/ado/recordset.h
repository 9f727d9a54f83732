#pragma once
// ADODB.RecordSet over a provider cursor. With the client-side cursor every row
// is held so that RecordCount is known; with the server-side cursor rows stream
// one at a time and RecordCount is -1, as in ADO.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/provider.h"
#include "platform/ado/value.h"

namespace ado {

class Connection;
class Recordset;

class Field {
 public:
  const std::string& Name() const { return info_->name; }
  int16_t Type() const { return info_->type; }
  const ado::Value& Value() const;

 private:
  friend class Recordset;
  Field(const Recordset* owner, const ColumnInfo* info, size_t index)
      : owner_(owner), info_(info), index_(index) {}
  const Recordset* owner_;
  const ColumnInfo* info_;
  size_t index_;
};

class Recordset {
 public:
  Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void Open(std::string_view source, Connection& active_connection);
  // Used by Connection: takes over a provider cursor (nullptr: a closed record set).
  void Attach(std::unique_ptr<Cursor> cursor, int cursor_location);
  void Close();
  bool IsOpen() const { return open_; }

  long long RecordCount() const;  // -1 when the cursor cannot tell
  bool Eof() const;
  bool Bof() const;
  void MoveNext();

  size_t FieldCount() const;
  Field& Fields(size_t index);
  Field& Fields(std::string_view name);
  std::vector<Field>& Fields();

 private:
  friend class Field;
  void RequireOpen() const;
  void Load(size_t position);

  std::unique_ptr<Cursor> cursor_;
  std::vector<ColumnInfo> columns_;
  std::vector<Field> fields_;
  std::vector<Value> row_;                    // the current row
  std::vector<std::vector<Value>> held_;      // client-side cursor: every row
  bool client_side_ = false;
  bool open_ = false;
  bool eof_ = true;
  bool bof_ = true;
  size_t position_ = 0;
};

}  // namespace ado
