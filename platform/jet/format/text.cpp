#include "platform/jet/format/text.h"

#include "platform/util/utf8.h"

namespace jet::format {
namespace {

constexpr char32_t kReplacement = util::kReplacementCharacter;

void AppendUtf8(std::string& out, char32_t c) { util::AppendUtf8(c, out); }

// Appends UTF-16 code units, pairing surrogates; `pending_high` carries a high
// surrogate across calls (compressed text may switch modes between the halves).
void AppendUnit(std::string& out, char16_t unit, char16_t& pending_high) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    if (pending_high) AppendUtf8(out, kReplacement);
    pending_high = unit;
    return;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (pending_high) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(pending_high) - 0xD800) << 10) + (unit - 0xDC00));
      pending_high = 0;
    } else {
      AppendUtf8(out, kReplacement);
    }
    return;
  }
  if (pending_high) {
    AppendUtf8(out, kReplacement);
    pending_high = 0;
  }
  AppendUtf8(out, unit);
}

// Decodes the next code point of UTF-8 at `i`; advances `i`.
char32_t NextCodePoint(std::string_view s, size_t& i) { return util::DecodeUtf8(s, i); }

}  // namespace

std::string Utf16LeToUtf8(ConstBytes b) {
  std::string out;
  out.reserve(b.size() / 2);
  char16_t pending = 0;
  size_t i = 0;
  for (; i + 1 < b.size(); i += 2) AppendUnit(out, static_cast<char16_t>(U16(b, i)), pending);
  if (pending) AppendUtf8(out, kReplacement);
  if (i < b.size()) AppendUtf8(out, kReplacement);
  return out;
}

std::string DecodeText(ConstBytes b) {
  if (b.size() < 2 || U8(b, 0) != 0xFF || U8(b, 1) != 0xFE) return Utf16LeToUtf8(b);
  std::string out;
  out.reserve(b.size());
  char16_t pending = 0;
  bool compressed = true;
  size_t i = 2;
  while (i < b.size()) {
    uint8_t c = U8(b, i);
    if (c == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      AppendUnit(out, c, pending);
      ++i;
    } else if (i + 1 < b.size()) {
      AppendUnit(out, static_cast<char16_t>(U16(b, i)), pending);
      i += 2;
    } else {
      AppendUtf8(out, kReplacement);
      ++i;
    }
  }
  if (pending) AppendUtf8(out, kReplacement);
  return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t c = NextCodePoint(s, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

size_t Utf16Length(std::string_view utf8) { return Utf8ToUtf16(utf8).size(); }

std::vector<std::byte> EncodeText(std::string_view utf8, bool allow_compression) {
  std::u16string units = Utf8ToUtf16(utf8);
  bool compressible = allow_compression && units.size() >= 2;
  for (char16_t u : units)
    if (u == 0 || u > 0xFF) compressible = false;
  std::vector<std::byte> out;
  if (compressible) {
    out.reserve(units.size() + 2);
    out.push_back(std::byte{0xFF});
    out.push_back(std::byte{0xFE});
    for (char16_t u : units) out.push_back(static_cast<std::byte>(u));
    return out;
  }
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<std::byte>(u & 0xFF));
    out.push_back(static_cast<std::byte>(u >> 8));
  }
  return out;
}

}  // namespace jet::format
