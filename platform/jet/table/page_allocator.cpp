#include "platform/jet/table/page_allocator.h"

namespace jet::table {

Result<uint32_t> PageAllocator::Allocate() { return MakeError(ErrorCode::kNotSupported, "not yet"); }
Status PageAllocator::Release(uint32_t) { return MakeError(ErrorCode::kNotSupported, "not yet"); }
Result<bool> PageAllocator::IsFree(uint32_t) { return MakeError(ErrorCode::kNotSupported, "not yet"); }

}  // namespace jet::table
