#pragma once
// Per-character sort codes of Access' text index keys (docs/access-format.md
// §9.4), generated into index_codes.cpp by tools/gen_index_codes.py from the
// Apache-2.0 code files of Jackcess (see THIRD_PARTY_NOTICES.md).

#include <cstdint>
#include <span>

namespace jet::format {

// The two sort orders whose text keys we can encode (column collation 1033).
enum class TextSortOrder : uint8_t {
  kGeneralLegacy,  // sort version 0: Jet 4, ACE 12, and Access 2019's template
  kGeneral,        // sort version 1: ACE 14 and later
};

enum class CharCodeType : uint8_t {
  kIgnored = 0,        // X: contributes nothing
  kSimple = 1,         // S: inline bytes only
  kInternational = 2,  // I: inline bytes and extra bytes
  kFlagged = 3,        // Z: like I, plus a 2-bit flag (`aux`)
  kUnprintable = 4,    // U: only unprintable bytes (`inline_bytes`)
  kModifier = 5,       // P: adds `aux` to the last extra byte
  kSurrogate = 6,      // U+D800..U+DFFF: computed by the encoder
};

struct CharCode {
  CharCodeType type = CharCodeType::kIgnored;
  uint8_t aux = 0;
  std::span<const uint8_t> inline_bytes;  // unprintable bytes for kUnprintable
  std::span<const uint8_t> extra_bytes;
};

CharCode LookUpCharCode(TextSortOrder order, char16_t unit);

}  // namespace jet::format
