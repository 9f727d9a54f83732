#pragma once
// Little-endian loads and stores on page images. The loads do not check their
// bounds: every caller checks the range it reads against the span first (a
// hostile file must become a Corruption, never an out-of-bounds read).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace jet::format {

using ConstBytes = std::span<const std::byte>;
using MutableBytes = std::span<std::byte>;

// Whether [offset, offset + length) lies inside a buffer of `size` bytes.
inline bool InRange(size_t size, size_t offset, size_t length) {
  return offset <= size && length <= size - offset;
}

inline uint8_t U8(ConstBytes b, size_t at) { return static_cast<uint8_t>(b[at]); }
inline uint16_t U16(ConstBytes b, size_t at) {
  return static_cast<uint16_t>(U8(b, at) | (U8(b, at + 1) << 8));
}
inline uint32_t U24(ConstBytes b, size_t at) {
  return static_cast<uint32_t>(U8(b, at)) | (static_cast<uint32_t>(U8(b, at + 1)) << 8) |
         (static_cast<uint32_t>(U8(b, at + 2)) << 16);
}
inline uint32_t U32(ConstBytes b, size_t at) {
  return static_cast<uint32_t>(U16(b, at)) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}
inline uint64_t U64(ConstBytes b, size_t at) {
  return static_cast<uint64_t>(U32(b, at)) | (static_cast<uint64_t>(U32(b, at + 4)) << 32);
}
inline int16_t I16(ConstBytes b, size_t at) { return static_cast<int16_t>(U16(b, at)); }
inline int32_t I32(ConstBytes b, size_t at) { return static_cast<int32_t>(U32(b, at)); }
inline int64_t I64(ConstBytes b, size_t at) { return static_cast<int64_t>(U64(b, at)); }
inline float F32(ConstBytes b, size_t at) {
  uint32_t bits = U32(b, at);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
inline double F64(ConstBytes b, size_t at) {
  uint64_t bits = U64(b, at);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

inline void Put8(MutableBytes b, size_t at, uint8_t v) { b[at] = static_cast<std::byte>(v); }
inline void Put16(MutableBytes b, size_t at, uint16_t v) {
  Put8(b, at, static_cast<uint8_t>(v));
  Put8(b, at + 1, static_cast<uint8_t>(v >> 8));
}
inline void Put24(MutableBytes b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put8(b, at + 2, static_cast<uint8_t>(v >> 16));
}
inline void Put32(MutableBytes b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
inline void Put64(MutableBytes b, size_t at, uint64_t v) {
  Put32(b, at, static_cast<uint32_t>(v));
  Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}
inline void PutF64(MutableBytes b, size_t at, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  Put64(b, at, bits);
}

// A row pointer ("page/row"): byte 0 the row number, bytes 1-3 the page.
struct RowPointer {
  uint32_t page = 0;
  uint8_t row = 0;
  bool IsNull() const { return page == 0 && row == 0; }
  bool operator==(const RowPointer&) const = default;
};

inline RowPointer LoadRowPointer(ConstBytes b, size_t at) { return RowPointer{U24(b, at + 1), U8(b, at)}; }
inline void PutRowPointer(MutableBytes b, size_t at, RowPointer p) {
  Put8(b, at, p.row);
  Put24(b, at + 1, p.page);
}

}  // namespace jet::format
