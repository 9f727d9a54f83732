#pragma once
// What stands between the bytes on disk and the page images: the fixed RC4
// mask over the header's middle (access-format.md 1.3), the Jet 4 database
// password (1.4), and the page encryption we recognise but cannot yet read
// (Jet 4 RC4 pages, 1.5; password-protected ACE files, 1.6).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/jet/format/header.h"
#include "platform/jet/result.h"

namespace jet {

// RC4 applied in place (encryption and decryption are the same).
void Rc4(std::span<const uint8_t> key, std::span<std::byte> data);

// XORs the constant header keystream over bytes 0x18.. of page 0: applied to
// the bytes on disk it unmasks them, applied again it masks them.
void ApplyHeaderMask(std::span<std::byte> page0);

// The Jet 4 database password as UTF-8 ("" when the file has none). ACE files
// carry no password here.
std::string DatabasePassword(const format::Header& header);

// Whether the connection may open the file: the Jet 4 password must match
// (a password given for a file without one is ignored), and encrypted pages
// are refused with a description of what they are.
Status CheckAccess(const format::Header& header, std::string_view password);

}  // namespace jet
