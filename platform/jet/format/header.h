#pragma once
// The file header, page 0 (docs/access-format.md §2). Offsets from 0x18 to
// 0x97 are read after the fixed RC4 mask has been removed (file/codec.h).
//
//   0x00  1   page type 0x00          0x3E  4   db_key (0 = pages not encrypted)
//   0x04  16  "Standard Jet DB" /     0x42  40  Jet 4 password, UTF-16LE, masked
//             "Standard ACE DB"                 with the creation date (codec)
//   0x14  1   version (table below)   0x6E  2   default sort order (LCID)
//   0x18  128 RC4-masked region       0x71  1   sort order version (0 legacy, 1 General)
//   0x3C  2   code page               0x72  8   creation date (OLE date)
//   0x299 2+n ACE: encryption provider block (length, then version major.minor)
//
//   version 0x00 Jet 3 (Access 97), 0x01 Jet 4 (2000-2003), 0x02 ACE 12 (2007),
//   0x03 ACE 14 (2010), 0x04 ACE 15, 0x05 ACE 16 (2016), 0x06 ACE 17 (2019+)

#include <cstdint>
#include <string>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"

namespace jet::format {

inline constexpr size_t kPageSize = 4096;
inline constexpr size_t kMaskedOffset = 0x18;
inline constexpr size_t kMaskedLength = 128;
inline constexpr size_t kVersionOffset = 0x14;
inline constexpr size_t kDbKeyOffset = 0x3E;
inline constexpr size_t kPasswordOffset = 0x42;
inline constexpr size_t kPasswordLength = 40;
inline constexpr size_t kSortOrderOffset = 0x6E;
inline constexpr size_t kSortVersionOffset = 0x71;
inline constexpr size_t kCreationDateOffset = 0x72;
inline constexpr size_t kEncryptionBlockOffset = 0x299;

enum class Version : uint8_t {
  kJet3 = 0x00,
  kJet4 = 0x01,
  kAce12 = 0x02,
  kAce14 = 0x03,
  kAce15 = 0x04,
  kAce16 = 0x05,
  kAce17 = 0x06,
};

struct Header {
  Version version = Version::kJet4;
  bool ace = false;        // "Standard ACE DB"
  uint32_t db_key = 0;
  uint16_t code_page = 0;
  uint16_t sort_order = 0;  // LCID, 1033 = General
  uint8_t sort_version = 0;
  double creation_date = 0;
  uint8_t password_field[kPasswordLength] = {};  // as stored (date-masked)
  uint16_t encryption_major = 0, encryption_minor = 0;  // ACE encryption block, 0.0 = none

  bool IsJet4() const { return version == Version::kJet4; }
  // Access version names for messages: "Access 2000-2003 (Jet 4)", "Access 2010 (ACE 14)".
  std::string Describe() const;
};

// Checks the signature and version of a header image whose masked region has
// already been unmasked. `image` may be shorter than a page (a truncated file).
Result<Header> DecodeHeader(ConstBytes image);

// Whether page 0 as stored (masked or not: the version byte lies before the
// mask) is that of a Jet file (.mdb) rather than an ACE one (.accdb).
bool IsJetHeaderPage(ConstBytes page0);

}  // namespace jet::format
