// Decodes the generated tables of index_codes.cpp; the entry layout is
// described in tools/gen_index_codes.py.
#include "platform/jet/format/index_codes.h"

namespace jet::format {
namespace index_codes {
extern const uint32_t kGeneralLegacyEntries[65536];
extern const uint8_t kGeneralLegacyPool[];
extern const uint32_t kGeneralEntries[65536];
extern const uint8_t kGeneralPool[];
}  // namespace index_codes

CharCode LookUpCharCode(TextSortOrder order, char16_t unit) {
  const bool legacy = order == TextSortOrder::kGeneralLegacy;
  const uint32_t entry = (legacy ? index_codes::kGeneralLegacyEntries : index_codes::kGeneralEntries)[unit];
  const uint8_t* pool = legacy ? index_codes::kGeneralLegacyPool : index_codes::kGeneralPool;
  CharCode code;
  code.type = static_cast<CharCodeType>(entry >> 29);
  code.aux = static_cast<uint8_t>(entry >> 21);
  const uint8_t* record = pool + (entry & 0x1FFFFF);
  switch (code.type) {
    case CharCodeType::kSimple:
    case CharCodeType::kInternational:
    case CharCodeType::kFlagged:
      code.inline_bytes = {record + 1, record[0]};
      record += 1 + record[0];
      code.extra_bytes = {record + 1, record[0]};
      break;
    case CharCodeType::kUnprintable:
      code.inline_bytes = {record + 1, record[0]};
      break;
    default:
      break;
  }
  return code;
}

}  // namespace jet::format
