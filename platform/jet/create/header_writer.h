#pragma once
// The header page of a new database (docs/access-format.md §2), as the Jet
// and ACE engines write it for a database they create: "Standard Jet DB"
// (Jet 4) or "Standard ACE DB" with the version's byte (0x15 is 1 in Access
// 2010's files), code page 1252, no page encryption, the default sort order,
// the creation date, and the Jet 4 database password masked with the creation
// date's whole days (an .accdb has no password here: its password encrypts
// the pages). The page is returned unmasked: the writer applies the fixed RC4
// mask (file/codec.h) before it reaches the file.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/header.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr size_t kMaxPasswordCharacters = 20;

struct NewHeader {
  Version version = Version::kJet4;  // kJet4 or an ACE version
  double creation_date = 0;   // OLE date
  std::string password;       // UTF-8; empty for none
  uint16_t sort_order = 1033; // General
  uint8_t sort_version = 0;   // 0 = General legacy (the Jet 4 default)
};

// Refuses (kInvalidValue) a password longer than 20 UTF-16 units or holding a
// NUL, or any password for an ACE version.
Result<std::vector<std::byte>> BuildHeader(const NewHeader& header);

}  // namespace jet::format
