#pragma once
// A provider cursor over rows held in memory, for building record sets in
// tests without a database:
//
//   auto rs = FakeRecordset({{"id", ado::adInteger}, {"name", ado::adVarWChar}},
//                           {{1, "O'Brien"}, {2, ado::Null{}}});

#include <memory>
#include <utility>
#include <vector>

#include "platform/ado/provider.h"
#include "platform/ado/recordset.h"

namespace testing_support {

class FakeCursor : public ado::Cursor {
 public:
  FakeCursor(std::vector<ado::ColumnInfo> columns, std::vector<std::vector<ado::Value>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}

  const std::vector<ado::ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<ado::Value>& row) override {
    if (next_ >= rows_.size()) return false;
    row = rows_[next_++];
    row.resize(columns_.size());
    return true;
  }

 private:
  std::vector<ado::ColumnInfo> columns_;
  std::vector<std::vector<ado::Value>> rows_;
  size_t next_ = 0;
};

// An open record set on the first of `rows` (server-side cursor by default).
inline std::unique_ptr<ado::Recordset> FakeRecordset(std::vector<ado::ColumnInfo> columns,
                                                     std::vector<std::vector<ado::Value>> rows = {},
                                                     int cursor_location = 2) {
  auto recordset = std::make_unique<ado::Recordset>();
  recordset->Attach(std::make_unique<FakeCursor>(std::move(columns), std::move(rows)), cursor_location);
  return recordset;
}

}  // namespace testing_support
