#include "engine/access_names.h"

#include "platform/util/utf8.h"

namespace engine {
namespace {

constexpr size_t kMaxNameUnits = 64;

bool Forbidden(char32_t c) { return c < 0x20 || c == 0x7F || c == '.' || c == '!' || c == '`' || c == '[' || c == ']'; }

// The first characters of `name` that fit in `units` UTF-16 units.
std::string CutToUnits(std::string_view name, size_t units) {
  std::string out;
  size_t used = 0;
  for (size_t pos = 0; pos < name.size();) {
    const size_t start = pos;
    const char32_t c = util::DecodeUtf8(name, pos);
    const size_t width = c > 0xFFFF ? 2 : 1;
    if (used + width > units) break;
    used += width;
    out.append(name.substr(start, pos - start));
  }
  return out;
}

}  // namespace

std::string LegalAccessName(std::string_view name) {
  std::string cleaned;
  bool leading = true;
  for (size_t pos = 0; pos < name.size();) {
    char32_t c = util::DecodeUtf8(name, pos);
    if (leading && c == ' ') continue;
    leading = false;
    util::AppendUtf8(Forbidden(c) ? U'_' : c, cleaned);
  }
  cleaned = CutToUnits(cleaned, kMaxNameUnits);
  return cleaned.empty() ? "_" : cleaned;
}

std::string NameKey(std::string_view name) {
  std::string key;
  for (size_t pos = 0; pos < name.size();) {
    char32_t c = util::DecodeUtf8(name, pos);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
    util::AppendUtf8(c, key);
  }
  // Access ignores trailing spaces when it compares names.
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

std::string NameScope::Claim(std::string_view wanted) {
  const std::string legal = LegalAccessName(wanted);
  std::string name = legal;
  for (int n = 2; Taken(name); ++n) {
    const std::string suffix = "_" + std::to_string(n);
    name = CutToUnits(legal, kMaxNameUnits - suffix.size()) + suffix;
  }
  taken_.insert(NameKey(name));
  return name;
}

std::string Bracketed(std::string_view name) { return "[" + std::string(name) + "]"; }

}  // namespace engine
