#pragma once
// Lower-casing as the run compares table names: ASCII letters only, so that
// names in other scripts stay byte-for-byte as they are.

#include <string>
#include <string_view>

namespace engine {

inline std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace engine
