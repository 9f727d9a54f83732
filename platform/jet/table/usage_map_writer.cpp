#include "platform/jet/table/usage_map_writer.h"

namespace jet::table {

Status SetMapPage(PageStore&, PageAllocator&, format::RowPointer, uint32_t, bool) {
  return MakeError(ErrorCode::kNotSupported, "not yet");
}
Result<bool> MapHasPage(PageStore&, format::RowPointer, uint32_t) {
  return MakeError(ErrorCode::kNotSupported, "not yet");
}

}  // namespace jet::table
