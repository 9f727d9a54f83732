#include "platform/jet/format/index_key.h"

#include <bit>
#include <cstring>
#include <string>

#include <fmt/format.h>

namespace jet::format {
namespace {

constexpr size_t kMaxTextKeyUnits = 255;
constexpr uint8_t kFlagAscending = 0x7F;
constexpr uint8_t kFlagAscendingNull = 0x00;
constexpr uint8_t kFlagDescending = 0x80;
constexpr uint8_t kFlagDescendingNull = 0xFF;
constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kExtraPadding = 0x02;   // "no extra code" for a character
constexpr uint8_t kFlagDefault = 0x03;    // the flag of a Z character without one
constexpr uint8_t kUnprintableMark = 0x06;
constexpr uint8_t kSurrogateExtra = 0x3F;
constexpr size_t kBinarySegment = 8;
constexpr uint8_t kBinaryMoreData = 0x09;  // after a full segment that more data follows
constexpr uint8_t kBooleanTrue = 0x00;
constexpr uint8_t kBooleanFalse = 0xFF;

__extension__ typedef unsigned __int128 u128;

// UTF-8 to UTF-16 code units into `out`; an invalid sequence becomes U+FFFD.
void ToUtf16(std::string_view s, std::u16string& out) {
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  out.clear();
  size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    const int extra = b0 < 0x80 ? 0 : (b0 & 0xE0) == 0xC0 ? 1 : (b0 & 0xF0) == 0xE0 ? 2 : (b0 & 0xF8) == 0xF0 ? 3 : -1;
    if (extra == 0) {
      cp = b0;
    } else if (extra > 0 && i + extra < s.size()) {
      char32_t v = b0 & (0x3F >> extra);
      bool ok = true;
      for (int k = 1; ok && k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        ok = (b & 0xC0) == 0x80;
        v = (v << 6) | (b & 0x3F);
      }
      if (ok && v >= kMin[extra] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
        len = 1 + extra;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
}

// Inline code of a surrogate unit, which the code files leave out.
uint16_t SurrogateInline(char16_t c) {
  if (c <= 0xDBFF) return static_cast<uint16_t>(c - 10238);
  const unsigned offset = (c - 0xDC00) % 1024;
  const unsigned delta = offset < 8 ? 9992 : offset < 262 ? 9990 : offset < 516 ? 9988 : offset < 770 ? 9986 : 9984;
  return static_cast<uint16_t>(c - delta);
}

void AppendBigEndian(uint64_t value, int bytes, bool ascending, IndexKey* key) {
  for (int i = bytes - 1; i >= 0; --i) {
    const auto b = static_cast<uint8_t>(value >> (8 * i));
    key->push_back(ascending ? b : static_cast<uint8_t>(~b));
  }
}

void AppendInteger(int64_t value, int bytes, bool ascending, IndexKey* key) {
  uint64_t v = static_cast<uint64_t>(value);
  v ^= uint64_t{1} << (8 * bytes - 1);  // negative sorts before positive
  AppendBigEndian(v, bytes, ascending, key);
}

void AppendFloat(uint64_t bits, int bytes, bool ascending, IndexKey* key) {
  const uint64_t sign = uint64_t{1} << (8 * bytes - 1);
  const uint64_t all = bytes == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
  bits = (bits & sign) ? (~bits & all) : (bits ^ sign);
  AppendBigEndian(bits, bytes, ascending, key);
}

// Binary data in 8-byte segments; the separators after full segments stay
// uncomplemented in descending keys, the last segment's length does not.
void AppendBinary(std::span<const uint8_t> data, bool ascending, IndexKey* key) {
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  size_t pos = 0;
  for (; data.size() - pos > kBinarySegment; pos += kBinarySegment) {
    for (size_t i = 0; i < kBinarySegment; ++i) key->push_back(static_cast<uint8_t>(data[pos + i] ^ mask));
    key->push_back(kBinaryMoreData);
  }
  const size_t last = data.size() - pos;
  if (last == 0) return;
  for (size_t i = 0; i < kBinarySegment; ++i)
    key->push_back(static_cast<uint8_t>((i < last ? data[pos + i] : 0) ^ mask));
  key->push_back(static_cast<uint8_t>(last ^ mask));
}

// The unscaled magnitude of `d` at `scale` digits after the point, rounded
// half to even as rows store it; nothing when it does not fit 128 bits.
std::optional<u128> DecimalMagnitude(const Decimal& d, uint8_t scale) {
  u128 m = (u128{d.hi} << 64) | (u128{d.mid} << 32) | d.lo;
  for (int s = d.scale; s < scale; ++s) {
    if (m > ~u128{0} / 10) return std::nullopt;
    m *= 10;
  }
  if (d.scale > scale) {
    if (d.scale - scale > 38) return u128{0};  // below half a unit: 10^39 exceeds any magnitude
    u128 factor = 1;
    for (int s = scale; s < d.scale; ++s) factor *= 10;
    const u128 r = m % factor;
    m /= factor;
    if (r * 2 > factor || (r * 2 == factor && (m & 1))) ++m;
  }
  return m;
}

void AppendDecimal(u128 magnitude, bool negative, bool ascending, bool jet4, IndexKey* key) {
  uint8_t raw[17];
  raw[0] = negative ? 0x80 : 0x00;
  for (int i = 0; i < 16; ++i) raw[16 - i] = static_cast<uint8_t>(magnitude >> (8 * i));
  // ACE sets the sign byte first; Jet 4 last, which puts every negative value
  // before the positive ones in a descending index.
  if (!jet4) raw[0] = 0xFF;
  if (negative == ascending)
    for (uint8_t& b : raw) b = static_cast<uint8_t>(~b);
  if (jet4) raw[0] = negative ? 0x00 : 0xFF;
  key->insert(key->end(), raw, raw + 17);
}

}  // namespace

bool IndexKeySupported(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean:
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kMoney:
    case ColumnType::kSingle:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
    case ColumnType::kBinary:
    case ColumnType::kText:
    case ColumnType::kMemo:
    case ColumnType::kGuid:
    case ColumnType::kNumeric:
    case ColumnType::kBigInt:
      return true;
    default:
      return false;
  }
}

std::optional<TextSortOrder> SortOrderOfCollation(uint16_t lcid, uint8_t sort_version) {
  if (lcid != 1033) return std::nullopt;
  if (sort_version == 0) return TextSortOrder::kGeneralLegacy;
  if (sort_version == 1) return TextSortOrder::kGeneral;
  return std::nullopt;
}

namespace {

// The codes of the first 128 units, looked up once per sort order: most key
// text is ASCII, and a key is encoded for every row an indexed table gets.
const CharCode& AsciiCode(TextSortOrder order, char16_t unit) {
  struct Table {
    CharCode codes[128];
    explicit Table(TextSortOrder order) {
      for (char16_t c = 0; c < 128; ++c) codes[c] = LookUpCharCode(order, c);
    }
  };
  static const Table legacy(TextSortOrder::kGeneralLegacy), general(TextSortOrder::kGeneral);
  return (order == TextSortOrder::kGeneralLegacy ? legacy : general).codes[unit];
}

}  // namespace

void AppendTextKey(std::u16string_view text, TextSortOrder order, bool ascending, IndexKey* key) {
  if (text.size() > kMaxTextKeyUnits) text = text.substr(0, kMaxTextKeyUnits);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);

  const size_t start = key->size();
  key->reserve(start + 2 * text.size() + 8);
  // Extra codes: one byte list describing `extra_chars` characters, created by
  // the first character that has one.
  IndexKey extra;
  bool has_extra = false;
  size_t extra_chars = 0;
  bool extra_starts_with_modifier = false;
  IndexKey unprintable;
  bool has_unprintable = false;
  IndexKey flags;
  bool has_flags = false;
  size_t pos = 0;  // characters in the main part so far

  auto pad_extra_to = [&](size_t position) {
    if (!has_extra) {
      has_extra = true;
      extra_chars = 0;
    }
    if (extra_chars < position) {
      extra.insert(extra.end(), position - extra_chars, kExtraPadding);
      extra_chars = position;
    }
  };

  for (char16_t c : text) {
    const CharCode code = c < 128 ? AsciiCode(order, c) : LookUpCharCode(order, c);
    const size_t current = pos;
    switch (code.type) {
      case CharCodeType::kIgnored:
        break;
      case CharCodeType::kSimple:
        for (uint8_t b : code.inline_bytes) key->push_back(b);  // a byte or two: cheaper than a range insert
        ++pos;
        break;
      case CharCodeType::kInternational:
      case CharCodeType::kFlagged:
        key->insert(key->end(), code.inline_bytes.begin(), code.inline_bytes.end());
        ++pos;
        if (!code.extra_bytes.empty()) {
          pad_extra_to(current);
          extra.insert(extra.end(), code.extra_bytes.begin(), code.extra_bytes.end());
          ++extra_chars;
        }
        if (code.type == CharCodeType::kFlagged) {
          has_flags = true;
          flags.push_back(code.aux);
        }
        break;
      case CharCodeType::kSurrogate: {
        const uint16_t inline_code = SurrogateInline(c);
        key->push_back(static_cast<uint8_t>(inline_code >> 8));
        key->push_back(static_cast<uint8_t>(inline_code));
        ++pos;
        pad_extra_to(current);
        extra.push_back(kSurrogateExtra);
        ++extra_chars;
        break;
      }
      case CharCodeType::kModifier:
        if (code.aux == 0) break;
        pad_extra_to(current);
        if (!extra.empty()) {
          extra.back() = static_cast<uint8_t>(extra.back() + code.aux);
        } else {
          extra.push_back(code.aux);
          extra_starts_with_modifier = true;
        }
        break;
      case CharCodeType::kUnprintable: {
        has_unprintable = true;
        size_t q = current;
        if (has_extra) q = extra.size() + (current - extra_chars) - (extra_starts_with_modifier ? 1 : 0);
        const unsigned v = (7 + 4 * static_cast<unsigned>(q)) | 0x8000;
        unprintable.push_back(static_cast<uint8_t>(v >> 8));
        unprintable.push_back(static_cast<uint8_t>(v));
        unprintable.push_back(kUnprintableMark);
        unprintable.insert(unprintable.end(), code.inline_bytes.begin(), code.inline_bytes.end());
        break;
      }
    }
  }
  key->push_back(kEndOfText);

  while (!extra.empty() && extra.back() <= kExtraPadding) extra.pop_back();
  if (!extra.empty() || has_unprintable || has_flags) {
    key->insert(key->end(), extra.begin(), extra.end());
    if (has_unprintable || has_flags) {
      key->push_back(0x01);
      key->push_back(0x01);
      if (has_flags) {
        while (!flags.empty() && flags.back() == kFlagDefault) flags.pop_back();
        uint8_t packed = 0x80;
        int used = 0;
        for (uint8_t f : flags) {
          packed |= static_cast<uint8_t>(f << ((2 - used) * 2));
          if (++used == 3) {
            key->push_back(packed);
            packed = 0x80;
            used = 0;
          }
        }
        if (used) key->push_back(packed);
        for (uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) key->push_back(b);
        if (has_unprintable) key->push_back(0xFF);
      }
      if (has_unprintable) {
        key->push_back(0x01);
        key->insert(key->end(), unprintable.begin(), unprintable.end());
      }
    }
  }
  if (!ascending) {
    key->push_back(0x00);
    for (size_t i = start; i < key->size(); ++i) (*key)[i] = static_cast<uint8_t>(~(*key)[i]);
  }
  key->push_back(0x00);
}

Status AppendKeyColumn(const KeyColumn& column, IndexKey* key) {
  const Cell& value = *column.value;
  const bool asc = column.ascending;
  if (IsNull(value) && column.type != ColumnType::kBoolean) {
    key->push_back(asc ? kFlagAscendingNull : kFlagDescendingNull);
    return {};
  }
  auto mismatch = [&] {
    return MakeError(ErrorCode::kInvalidValue,
                     fmt::format("an index key of column type 0x{:02X} cannot hold this value",
                                 static_cast<unsigned>(column.type)));
  };
  const size_t flag_at = key->size();
  key->push_back(asc ? kFlagAscending : kFlagDescending);
  switch (column.type) {
    case ColumnType::kBoolean: {
      bool v = false;  // NULL is No, as the row stores it
      if (const auto* b = std::get_if<bool>(&value)) {
        v = *b;
      } else if (const auto* i = std::get_if<int64_t>(&value)) {
        v = *i != 0;
      } else if (const auto* d = std::get_if<double>(&value)) {
        v = *d != 0;
      } else if (!IsNull(value)) {
        return mismatch();
      }
      const uint8_t b = v ? kBooleanTrue : kBooleanFalse;
      key->push_back(asc ? b : static_cast<uint8_t>(~b));
      return {};
    }
    case ColumnType::kBinary: {
      const auto* v = std::get_if<Bytes>(&value);
      if (!v) return mismatch();
      AppendBinary(*v, asc, key);
      return {};
    }
    case ColumnType::kGuid: {
      const auto* v = std::get_if<Guid>(&value);
      if (!v) return mismatch();
      const uint8_t* g = v->bytes;  // Data1, Data2, Data3 little-endian, then Data4
      const uint8_t text_order[16] = {g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6],
                                      g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
      AppendBinary(text_order, asc, key);
      return {};
    }
    case ColumnType::kNumeric: {
      const auto* v = std::get_if<Decimal>(&value);
      if (!v) return mismatch();
      const auto magnitude = DecimalMagnitude(*v, column.scale);
      if (!magnitude) return mismatch();
      AppendDecimal(*magnitude, v->negative && *magnitude != 0, asc, column.jet4, key);
      return {};
    }
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kBigInt: {
      const auto* v = std::get_if<int64_t>(&value);
      if (!v) return mismatch();
      if (column.type == ColumnType::kByte) {
        const auto b = static_cast<uint8_t>(*v);
        key->push_back(asc ? b : static_cast<uint8_t>(~b));
      } else {
        const int bytes = column.type == ColumnType::kInteger ? 2 : column.type == ColumnType::kLong ? 4 : 8;
        AppendInteger(*v, bytes, asc, key);
      }
      return {};
    }
    case ColumnType::kMoney: {
      const auto* v = std::get_if<Money>(&value);
      if (!v) return mismatch();
      AppendInteger(v->scaled, 8, asc, key);
      return {};
    }
    case ColumnType::kSingle: {
      const auto* v = std::get_if<double>(&value);
      if (!v) return mismatch();
      AppendFloat(std::bit_cast<uint32_t>(static_cast<float>(*v)), 4, asc, key);
      return {};
    }
    case ColumnType::kDouble:
    case ColumnType::kDateTime: {
      double d;
      if (const auto* v = std::get_if<double>(&value)) {
        d = *v;
      } else if (const auto* t = std::get_if<DateTimeValue>(&value)) {
        d = t->days;
      } else {
        return mismatch();
      }
      AppendFloat(std::bit_cast<uint64_t>(d), 8, asc, key);
      return {};
    }
    case ColumnType::kText:
    case ColumnType::kMemo: {
      const auto* v = std::get_if<std::string>(&value);
      if (!v) return mismatch();
      // One buffer per thread: a key is encoded for every INSERT into an indexed table.
      static thread_local std::u16string units;
      ToUtf16(*v, units);
      AppendTextKey(units, column.sort_order, asc, key);
      return {};
    }
    default:
      key->resize(flag_at);
      return MakeError(ErrorCode::kNotSupported,
                       fmt::format("index keys of column type 0x{:02X} are not supported",
                                   static_cast<unsigned>(column.type)));
  }
}

Result<IndexKey> EncodeIndexKey(std::span<const KeyColumn> columns) {
  IndexKey key;
  key.reserve(64);  // one allocation for most keys, rather than one per doubling
  for (const auto& column : columns) JET_TRY(AppendKeyColumn(column, &key));
  return key;
}

}  // namespace jet::format
