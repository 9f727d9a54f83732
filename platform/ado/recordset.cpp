#include "platform/ado/recordset.h"

#include <strings.h>

#include "platform/ado/connection.h"
#include "platform/ado/error.h"

namespace ado {

const ado::Value& Field::Value() const {
  if (owner_->eof_ || owner_->bof_)
    throw Error(kErrorNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested "
                "operation requires a current record.");
  return owner_->row_[index_];
}

void Recordset::Open(std::string_view source, Connection& active_connection) {
  if (open_) throw Error(kErrorObjectOpen, "Operation is not allowed when the object is open.");
  Attach(active_connection.ExecuteCursor(source), active_connection.CursorLocation);
}

void Recordset::Attach(std::unique_ptr<Cursor> cursor, int cursor_location) {
  Close();
  if (!cursor) return;  // a statement without rows: the record set stays closed
  cursor_ = std::move(cursor);
  columns_ = cursor_->Columns();
  fields_.clear();
  fields_.reserve(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) fields_.push_back(Field(this, &columns_[i], i));
  client_side_ = cursor_location == 3;
  open_ = true;
  if (client_side_) {
    std::vector<Value> row;
    while (cursor_->Fetch(row)) held_.push_back(row);
    cursor_.reset();
    Load(0);
  } else {
    eof_ = !cursor_->Fetch(row_);
    bof_ = eof_;
  }
}

void Recordset::Load(size_t position) {
  position_ = position;
  eof_ = position_ >= held_.size();
  bof_ = held_.empty();
  if (!eof_) row_ = held_[position_];
}

void Recordset::Close() {
  cursor_.reset();
  held_.clear();
  row_.clear();
  fields_.clear();
  columns_.clear();
  open_ = false;
  eof_ = bof_ = true;
  position_ = 0;
}

void Recordset::RequireOpen() const {
  if (!open_) throw Error(kErrorObjectClosed, "Operation is not allowed when the object is closed.");
}

long long Recordset::RecordCount() const {
  RequireOpen();
  return client_side_ ? static_cast<long long>(held_.size()) : -1;
}

bool Recordset::Eof() const {
  RequireOpen();
  return eof_;
}

bool Recordset::Bof() const {
  RequireOpen();
  return bof_;
}

void Recordset::MoveNext() {
  RequireOpen();
  if (eof_)
    throw Error(kErrorNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested "
                "operation requires a current record.");
  bof_ = false;
  if (client_side_) {
    Load(position_ + 1);
    bof_ = false;
  } else {
    eof_ = !cursor_->Fetch(row_);
  }
}

size_t Recordset::FieldCount() const {
  RequireOpen();
  return fields_.size();
}

std::vector<Field>& Recordset::Fields() {
  RequireOpen();
  return fields_;
}

Field& Recordset::Fields(size_t index) {
  RequireOpen();
  if (index >= fields_.size())
    throw Error(kErrorItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or ordinal.");
  return fields_[index];
}

Field& Recordset::Fields(std::string_view name) {
  RequireOpen();
  for (auto& field : fields_)
    if (field.Name().size() == name.size() &&
        strncasecmp(field.Name().data(), name.data(), name.size()) == 0)
      return field;
  throw Error(kErrorItemNotFound,
              "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

}  // namespace ado
