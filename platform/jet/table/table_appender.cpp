#include "platform/jet/table/table_appender.h"

namespace jet::table {

class TableAppender::Impl {
 public:
  format::TableDefinition def;
  uint32_t tdef_page = 0;
};

TableAppender::TableAppender(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TableAppender::~TableAppender() = default;

Result<std::unique_ptr<TableAppender>> TableAppender::Open(PageStore&, PageAllocator&, uint32_t) {
  return MakeError(ErrorCode::kNotSupported, "not yet");
}
const format::TableDefinition& TableAppender::definition() const { return impl_->def; }
uint32_t TableAppender::tdef_page() const { return impl_->tdef_page; }
Result<format::RowPointer> TableAppender::Insert(std::span<const Cell>) {
  return MakeError(ErrorCode::kNotSupported, "not yet");
}
Status TableAppender::Delete(format::RowPointer) { return MakeError(ErrorCode::kNotSupported, "not yet"); }
Status TableAppender::Finish() { return MakeError(ErrorCode::kNotSupported, "not yet"); }
Status TableAppender::Reload() { return MakeError(ErrorCode::kNotSupported, "not yet"); }

}  // namespace jet::table
