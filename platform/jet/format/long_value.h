#pragma once
// Long values of Memo and OLE columns (docs/access-format.md §8). The row holds
//
//   +0  uint32: bits 0-29 length, byte 3 the kind: 0x80 inline, 0x40 one LVAL
//       row, 0x00 a chain of LVAL rows
//   +4  row pointer of the first LVAL row (0 when inline)
//   +8  uint32 0
//   +12 the data itself when inline
//
// A chain segment is a row on an LVAL page: a 4-byte row pointer to the next
// segment (0 on the last), then data.

#include <cstdint>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr size_t kLongValueHeaderSize = 12;
inline constexpr uint8_t kLongValueInline = 0x80;
inline constexpr uint8_t kLongValueSingle = 0x40;
inline constexpr uint8_t kLongValueChain = 0x00;
inline constexpr size_t kMaxInlineLongValue = 64;
inline constexpr size_t kMaxSingleLongValue = 4076;

struct LongValueRef {
  uint32_t length = 0;
  uint8_t kind = kLongValueInline;
  RowPointer first;
  ConstBytes inline_data;
};

Result<LongValueRef> ParseLongValue(ConstBytes field);

// The 12-byte header for a value stored elsewhere (or inline, then followed by the data).
void PutLongValueHeader(MutableBytes out, uint32_t length, uint8_t kind, RowPointer first);

}  // namespace jet::format
