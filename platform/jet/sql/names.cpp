#include "platform/jet/sql/names.h"

#include "platform/jet/sql/sql_error.h"
#include "platform/jet/sql/utf8.h"

namespace jet::sql {
namespace {

constexpr size_t kMaxNameLength = 64;

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;                 // Latin-1
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {                                                            // Latin Extended-A
    const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper) return (c & 1) ? c + 1 : c;
    return c & ~char32_t{1};
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;               // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                              // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

std::string Shown(std::string_view value) {
  constexpr size_t kMax = 40;
  std::string out = "'";
  size_t pos = 0, count = 0;
  while (pos < value.size() && count < kMax) {
    size_t start = pos;
    if (!NextCodePoint(value, &pos)) pos = start + 1;  // show broken bytes as they are
    out.append(value.substr(start, pos - start));
    ++count;
  }
  out += pos < value.size() ? "'..." : "'";
  return out;
}

Status CheckName(std::string_view name, std::string_view what) {
  if (name.empty()) return SqlError(ErrorCode::kSyntax, "The {} name is empty.", what);
  auto length = Utf16Length(name);
  if (!length) return SqlError(ErrorCode::kSyntax, "The {} name {} is not valid UTF-8.", what, Shown(name));
  if (*length > kMaxNameLength) {
    return SqlError(ErrorCode::kSyntax, "The {} name {} is longer than {} characters.", what, Shown(name),
                    kMaxNameLength);
  }
  if (name.front() == ' ') {
    return SqlError(ErrorCode::kSyntax, "The {} name {} begins with a space, which Access does not allow.", what,
                    Shown(name));
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      return SqlError(ErrorCode::kSyntax, "The {} name {} contains a control character, which Access does not allow.",
                      what, Shown(name));
    }
    if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']') {
      return SqlError(ErrorCode::kSyntax, "The {} name {} contains '{}', which Access does not allow in names.", what,
                      Shown(name), c);
    }
  }
  return {};
}

bool SameName(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    auto ca = NextCodePoint(a, &i);
    auto cb = NextCodePoint(b, &j);
    if (!ca || !cb) return a == b;
    if (FoldCase(*ca) != FoldCase(*cb)) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace jet::sql
