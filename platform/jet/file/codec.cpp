#include "platform/jet/file/codec.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <utility>

#include "platform/jet/format/text.h"

namespace jet {

void Rc4(std::span<const uint8_t> key, std::span<std::byte> data) {
  std::array<uint8_t, 256> s;
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + s[i] + key[i % key.size()]);
    std::swap(s[i], s[j]);
  }
  uint8_t i = 0;
  j = 0;
  for (std::byte& b : data) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
    b ^= static_cast<std::byte>(s[static_cast<uint8_t>(s[i] + s[j])]);
  }
}

void ApplyHeaderMask(std::span<std::byte> page0) {
  static const std::array<std::byte, format::kMaskedLength> kMask = [] {
    std::array<std::byte, format::kMaskedLength> mask{};
    const uint8_t key[] = {0xC7, 0xDA, 0x39, 0x6B};
    Rc4(key, mask);
    return mask;
  }();
  size_t n = std::min(kMask.size(), page0.size() > format::kMaskedOffset ? page0.size() - format::kMaskedOffset : 0);
  for (size_t i = 0; i < n; ++i) page0[format::kMaskedOffset + i] ^= kMask[i];
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

Status CheckAccess(const format::Header& header, std::string_view password) {
  if (header.IsJet4()) {
    std::string stored = DatabasePassword(header);
    if (!stored.empty() && stored != password)
      return MakeError(ErrorCode::kWrongPassword, "Not a valid password.");
    if (header.db_key != 0)
      return MakeError(ErrorCode::kNotSupported,
                       "The database's pages are encoded (Jet 4 \"Encrypt Database\", RC4); reading "
                       "encoded databases is not supported yet. Decrypt it in Access first.");
    return {};
  }
  if (header.db_key != 0) {
    std::string scheme = "an unknown method";
    uint16_t major = header.encryption_major, minor = header.encryption_minor;
    if (major == 4 && minor == 4)
      scheme = "Office agile encryption (AES)";
    else if ((major == 4 || major == 3 || major == 2) && minor == 2)
      scheme = "Office standard encryption (RC4 CryptoAPI)";
    else if (minor == 3)
      scheme = "Office extensible encryption";
    else if (major == 1 && minor == 1)
      scheme = "Office RC4 encryption";
    return MakeError(ErrorCode::kNotSupported,
                     fmt::format("The database is protected by a database password: its pages are encrypted "
                                 "with {} (version {}.{}). Encrypted .accdb files are not supported yet; "
                                 "remove the database password in Access first.",
                                 scheme, major, minor));
  }
  return {};
}

}  // namespace jet
