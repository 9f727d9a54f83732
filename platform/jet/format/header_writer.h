#pragma once
// The header page of a new Jet 4 database (docs/access-format.md §2), as
// the Jet engine writes it for a database it creates: "Standard Jet DB",
// version 0x01, code page 1252, no page encryption, the default sort order,
// the creation date, and the database password masked with the creation
// date's whole days. The page is returned unmasked: the writer applies the
// fixed RC4 mask (file/codec.h) before it reaches the file.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/format/bytes.h"
#include "platform/jet/result.h"

namespace jet::format {

inline constexpr size_t kMaxPasswordCharacters = 20;

struct NewHeader {
  double creation_date = 0;   // OLE date
  std::string password;       // UTF-8; empty for none
  uint16_t sort_order = 1033; // General
  uint8_t sort_version = 0;   // 0 = General legacy (the Jet 4 default)
};

// Refuses (kInvalidValue) a password longer than 20 UTF-16 units or holding a NUL.
Result<std::vector<std::byte>> BuildJet4Header(const NewHeader& header);

}  // namespace jet::format
