#include "platform/jet/format/header.h"

#include <fmt/format.h>

#include <cstring>

namespace jet::format {
namespace {

bool HasName(ConstBytes b, const char* name) {
  size_t n = std::strlen(name);
  if (!InRange(b.size(), 4, n + 1)) return false;
  return std::memcmp(b.data() + 4, name, n) == 0 && U8(b, 4 + n) == 0;
}

}  // namespace

std::string Header::Describe() const {
  switch (version) {
    case Version::kJet3: return "Access 97 (Jet 3)";
    case Version::kJet4: return "Access 2000-2003 (Jet 4)";
    case Version::kAce12: return "Access 2007 (ACE 12)";
    case Version::kAce14: return "Access 2010 (ACE 14)";
    case Version::kAce15: return "Access 2013 (ACE 15)";
    case Version::kAce16: return "Access 2016 (ACE 16)";
    case Version::kAce17: return "Access 2019 (ACE 17)";
  }
  return "Access";
}

Result<Header> DecodeHeader(ConstBytes b) {
  const char* kNotAccess = "The file is not an Access database (its header has no Jet or ACE signature).";
  if (b.size() < 4 || U8(b, 0) != 0 || U8(b, 1) != 1 || U8(b, 2) != 0 || U8(b, 3) != 0)
    return MakeError(ErrorCode::kCorruption, kNotAccess);
  bool jet = HasName(b, "Standard Jet DB");
  bool ace = HasName(b, "Standard ACE DB");
  if (!jet && !ace) {
    if (HasName(b, "MSISAM Database"))
      return MakeError(ErrorCode::kNotSupported,
                       "The file is a Microsoft Money (MSISAM) database, not an Access database.");
    return MakeError(ErrorCode::kCorruption, kNotAccess);
  }
  if (b.size() <= kVersionOffset)
    return MakeError(ErrorCode::kCorruption, "The Access database file is truncated (its header is incomplete).");
  uint8_t version = U8(b, kVersionOffset);
  if (version == 0)
    return MakeError(ErrorCode::kNotSupported,
                     "The file is an Access 97 (Jet 3) database; only Access 2000 and later files "
                     "(Jet 4 and ACE) are supported. Convert it with Access first.");
  if (version > static_cast<uint8_t>(Version::kAce17))
    return MakeError(ErrorCode::kNotSupported,
                     fmt::format("The Access database has an unknown format version ({}); it was made by a "
                                 "newer Access than this program supports.",
                                 version));
  if (b.size() < kPageSize)
    return MakeError(ErrorCode::kCorruption,
                     fmt::format("The Access database file is truncated ({} bytes, less than one {}-byte page).",
                                 b.size(), kPageSize));
  Header h;
  h.version = static_cast<Version>(version);
  h.ace = ace;
  h.db_key = U32(b, kDbKeyOffset);
  h.code_page = U16(b, 0x3C);
  h.sort_order = U16(b, kSortOrderOffset);
  h.sort_version = U8(b, kSortVersionOffset);
  h.creation_date = F64(b, kCreationDateOffset);
  for (size_t i = 0; i < kPasswordLength; ++i) h.password_field[i] = U8(b, kPasswordOffset + i);
  if (version >= static_cast<uint8_t>(Version::kAce12) && U16(b, kEncryptionBlockOffset) >= 4) {
    h.encryption_major = U16(b, kEncryptionBlockOffset + 2);
    h.encryption_minor = U16(b, kEncryptionBlockOffset + 4);
  }
  return h;
}

bool IsJetHeaderPage(ConstBytes page0) {
  return page0.size() > kVersionOffset && U8(page0, kVersionOffset) < static_cast<uint8_t>(Version::kAce12);
}

}  // namespace jet::format
