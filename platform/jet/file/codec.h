#pragma once
// The header page's own protections: the fixed RC4 mask over its middle
// (docs/access-format.md §2.3) and the Jet 4 database password (§2.4). Encrypted
// pages are page_cipher.h's.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/jet/format/header.h"
#include "platform/jet/public/result.h"

namespace jet {

// The constant keystream (128 bytes) that masks the header.
std::span<const uint8_t> HeaderMask();

// XORs the constant header keystream over bytes 0x18.. of page 0: applied to
// the bytes on disk it unmasks them, applied again it masks them.
void ApplyHeaderMask(std::span<std::byte> page0);

// The Jet 4 database password as UTF-8 ("" when the file has none). ACE files
// carry no password here.
std::string DatabasePassword(const format::Header& header);

// A Jet 4 file's password must match (a password given for a file without one
// is ignored). ACE files keep theirs in the page encryption (page_cipher.h).
Status CheckPassword(const format::Header& header, std::string_view password);

}  // namespace jet
