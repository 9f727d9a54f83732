#include "platform/jet/create/header_writer.h"

#include <cmath>
#include <cstring>

#include "platform/jet/format/header.h"
#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

// Fields every Jet 4 header holds with the same values (1.1); their meaning is
// unknown, the engine writes them so.
constexpr uint8_t kMaskedPrefix[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                     0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
constexpr size_t kCodePageOffset = 0x3C;
constexpr uint16_t kCodePage1252 = 1252;
constexpr size_t kUnknown6AOffset = 0x6A;
constexpr uint32_t kUnknown6A = 0x000011A6;
constexpr size_t kUnknown98Offset = 0x98;
constexpr uint32_t kUnknown98 = 0x00000654;
constexpr size_t kUnknown9COffset = 0x9C;
constexpr size_t kTrailerTableOffset = 0xE00;

}  // namespace

Result<std::vector<std::byte>> BuildHeader(const NewHeader& header) {
  const bool ace = header.version != Version::kJet4;
  if (header.version == Version::kJet3)
    return MakeError(ErrorCode::kNotSupported, "new Access 97 (Jet 3) files cannot be made");
  if (ace && !header.password.empty())
    return MakeError(ErrorCode::kInvalidValue,
                     "an .accdb file keeps no password in its header: a database password encrypts its pages");
  std::u16string password = Utf8ToUtf16(header.password);
  if (password.size() > kMaxPasswordCharacters)
    return MakeError(ErrorCode::kInvalidValue, "a database password has at most 20 characters");
  if (password.find(u'\0') != std::u16string::npos)
    return MakeError(ErrorCode::kInvalidValue, "a database password cannot hold a NUL character");
  if (!std::isfinite(header.creation_date) || std::fabs(header.creation_date) >= 2147483647.0)
    return MakeError(ErrorCode::kInvalidValue, "the creation date is out of range");

  std::vector<std::byte> page(kPageSize);
  MutableBytes p(page);
  Put8(p, 0, 0x00);
  Put8(p, 1, 0x01);
  std::memcpy(page.data() + 4, ace ? "Standard ACE DB" : "Standard Jet DB", 16);  // with its NUL
  Put8(p, kVersionOffset, static_cast<uint8_t>(header.version));
  Put8(p, kVersionOffset + 1, header.version == Version::kAce14 ? 0x01 : 0x00);
  std::memcpy(page.data() + kMaskedOffset, kMaskedPrefix, sizeof kMaskedPrefix);
  Put16(p, kCodePageOffset, kCodePage1252);
  Put32(p, kDbKeyOffset, 0);
  Put32(p, kUnknown6AOffset, kUnknown6A);
  Put16(p, kSortOrderOffset, header.sort_order);
  Put8(p, kSortVersionOffset, header.sort_version);
  PutF64(p, kCreationDateOffset, header.creation_date);

  // The password, UTF-16LE and zero-padded, XOR-ed with the creation date's
  // whole days (4 bytes LE, repeated); no password leaves just the mask.
  uint32_t days = static_cast<uint32_t>(static_cast<int32_t>(header.creation_date));
  for (size_t i = 0; i < kPasswordLength; ++i) {
    size_t unit = i / 2;
    uint8_t plain = 0;
    if (unit < password.size()) plain = static_cast<uint8_t>(i % 2 == 0 ? password[unit] : password[unit] >> 8);
    Put8(p, kPasswordOffset + i, plain ^ static_cast<uint8_t>(days >> (8 * (i % 4))));
  }

  Put32(p, kUnknown98Offset, kUnknown98);
  std::memcpy(page.data() + kUnknown9COffset, "4.0", 4);
  // A 256-entry table the engine fills with 0x0101 then 0x0100 (meaning unknown).
  Put16(p, kTrailerTableOffset, 0x0101);
  for (size_t i = 1; i < 256; ++i) Put16(p, kTrailerTableOffset + 2 * i, 0x0100);

  return page;
}

}  // namespace jet::format
