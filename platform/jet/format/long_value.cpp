#include "platform/jet/format/long_value.h"

#include <fmt/format.h>

namespace jet::format {

Result<LongValueRef> ParseLongValue(ConstBytes f) {
  if (f.size() < kLongValueHeaderSize)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("a long value header has {} bytes instead of 12", f.size()));
  LongValueRef r;
  uint32_t word = U32(f, 0);
  r.length = word & 0x3FFFFFFF;
  r.kind = static_cast<uint8_t>(word >> 24) & 0xC0;
  r.first = LoadRowPointer(f, 4);
  if (r.kind == kLongValueInline) {
    if (f.size() - kLongValueHeaderSize < r.length)
      return MakeError(ErrorCode::kCorruption,
                       fmt::format("an inline long value claims {} bytes but holds {}", r.length,
                                   f.size() - kLongValueHeaderSize));
    r.inline_data = f.subspan(kLongValueHeaderSize, r.length);
  } else if (r.kind != kLongValueSingle && r.kind != kLongValueChain) {
    return MakeError(ErrorCode::kCorruption, fmt::format("a long value has an unknown kind {:#04x}", r.kind));
  }
  return r;
}

void PutLongValueHeader(MutableBytes out, uint32_t length, uint8_t kind, RowPointer first) {
  Put32(out, 0, (length & 0x3FFFFFFF) | (static_cast<uint32_t>(kind) << 24));
  PutRowPointer(out, 4, first);
  Put32(out, 8, 0);
}

}  // namespace jet::format
