#include "platform/jet/file/codec.h"

#include <array>
#include <cmath>
#include <utility>

#include "platform/jet/format/text.h"

namespace jet {

// The RC4 keystream of the fixed key C7 DA 39 6B: a constant, so kept as one
// (tests check it against OpenSSL's RC4).
constexpr std::array<uint8_t, format::kMaskedLength> kHeaderMask = {
    0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55, 0xEB, 0xA9, 0x67, 0x72, 0x43, 0x3F, 0x00, 0x9C,
    0x7A, 0x9F, 0x90, 0xFF, 0x80, 0x9A, 0x31, 0xC5, 0x79, 0xBA, 0xED, 0x30, 0xBC, 0xDF, 0xCC, 0x9D,
    0x63, 0xD9, 0xE4, 0xC3, 0x7B, 0x42, 0xFB, 0x8A, 0xBC, 0x4E, 0x86, 0xFB, 0xEC, 0x37, 0x5D, 0x44,
    0x9C, 0xFA, 0xC6, 0x5E, 0x28, 0xE6, 0x13, 0xB6, 0x8A, 0x60, 0x54, 0x94, 0x7B, 0x36, 0xF5, 0x72,
    0xDF, 0xB1, 0x77, 0xF4, 0x13, 0x43, 0xCF, 0xAF, 0xB1, 0x33, 0x34, 0x61, 0x79, 0x5B, 0x92, 0xB5,
    0x7C, 0x2A, 0x05, 0xF1, 0x7C, 0x99, 0x01, 0x1B, 0x98, 0xFD, 0x12, 0x4F, 0x4A, 0x94, 0x6C, 0x3E,
    0x60, 0x26, 0x5F, 0x95, 0xF8, 0xD0, 0x89, 0x24, 0x85, 0x67, 0xC6, 0x1F, 0x27, 0x44, 0xD2, 0xEE,
    0xCF, 0x65, 0xED, 0xFF, 0x07, 0xC7, 0x46, 0xA1, 0x78, 0x16, 0x0C, 0xED, 0xE9, 0x2D, 0x62, 0xD4,
};

std::span<const uint8_t> HeaderMask() { return kHeaderMask; }

void ApplyHeaderMask(std::span<std::byte> page0) {
  size_t n = std::min(kHeaderMask.size(), page0.size() > format::kMaskedOffset ? page0.size() - format::kMaskedOffset : 0);
  for (size_t i = 0; i < n; ++i) page0[format::kMaskedOffset + i] ^= static_cast<std::byte>(kHeaderMask[i]);
}

std::string DatabasePassword(const format::Header& header) {
  if (!header.IsJet4()) return {};
  // The field is XOR-ed with the creation date's whole days, 4 bytes LE, repeated.
  double date = header.creation_date;
  uint32_t days = std::isfinite(date) && std::fabs(date) < 2147483647.0
                      ? static_cast<uint32_t>(static_cast<int32_t>(date))
                      : 0;
  uint8_t mask[4] = {static_cast<uint8_t>(days), static_cast<uint8_t>(days >> 8),
                     static_cast<uint8_t>(days >> 16), static_cast<uint8_t>(days >> 24)};
  std::byte plain[format::kPasswordLength];
  size_t length = 0;
  for (size_t i = 0; i < format::kPasswordLength; ++i) {
    plain[i] = static_cast<std::byte>(header.password_field[i] ^ mask[i % 4]);
  }
  // The password ends at the first NUL character.
  for (length = 0; length + 1 < format::kPasswordLength; length += 2)
    if (plain[length] == std::byte{0} && plain[length + 1] == std::byte{0}) break;
  return format::Utf16LeToUtf8(std::span<const std::byte>(plain, length));
}

Status CheckPassword(const format::Header& header, std::string_view password) {
  if (!header.IsJet4()) return {};
  std::string stored = DatabasePassword(header);
  if (!stored.empty() && stored != password) return MakeError(ErrorCode::kWrongPassword, "Not a valid password.");
  return {};
}

}  // namespace jet
