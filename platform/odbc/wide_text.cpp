#include "platform/odbc/wide_text.h"

#include <cstdint>

#include "platform/util/utf8.h"

namespace odbc {
namespace {

using util::AppendUtf8;
using util::DecodeUtf8;
using util::kReplacementCharacter;

}  // namespace

WideString ToWide(std::string_view utf8) {
  WideString out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = DecodeUtf8(utf8, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<SQLWCHAR>(0xD800 + (c >> 10)));
      out.push_back(static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<SQLWCHAR>(c));
    }
  }
  return out;
}

void AppendFromWide(const SQLWCHAR* text, size_t length, std::string& out) {
  // Most values are ASCII: copy that stretch in one go, then convert the rest.
  size_t ascii = 0;
  while (ascii < length && text[ascii] < 0x80) ++ascii;
  size_t start = out.size();
  out.resize(start + ascii);
  for (size_t i = 0; i < ascii; ++i) out[start + i] = static_cast<char>(text[i]);
  if (ascii == length) return;
  out.reserve(out.size() + (length - ascii) * 3);
  for (size_t i = ascii; i < length; ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacementCharacter;  // an unpaired surrogate
    }
    AppendUtf8(c, out);
  }
}

std::string FromWide(const SQLWCHAR* text, size_t length) {
  std::string out;
  AppendFromWide(text, length, out);
  return out;
}

}  // namespace odbc
